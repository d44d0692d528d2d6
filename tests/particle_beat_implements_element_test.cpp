#include "particle_beat_implements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "scene_script.h"
#include "script.h"
#include "temp_folder.h"

using namespace Zeb::Kamblo;
namespace fs = std::filesystem;

namespace {

class EngineScripts : public PudletTest::TempFolderTest {
protected:
    EngineScripts() : TempFolderTest("pudlet_bind_") {}

    // Runs source with the engine as its outer scope; "" or the error.
    std::string script(const std::string& source) { return executeScript(source, Pointer<Element>(engine)); }

    ParticleData& scene() { return *engine->data; }

    int addParticle(ParticleInfo info, float x, float y)
    {
        int p = scene().createParticle(0);
        scene().info[p] = info;
        scene().position[p] = {x, y};
        return p;
    }

    Pointer<RevivezoRoraImplements> engine = autorelease(new RevivezoRoraImplements());
};

// A scene file with the given parameter lines and an onSimulate section.
std::string sceneWithScript(const std::string& parameters, const std::string& source)
{
    return "version 2\n" + parameters + "onSimulate\n" + source + "\n$\n";
}

} // namespace

// ---- Names -----------------------------------------------------------------

TEST_F(EngineScripts, EveryParameterIsReadAndStoredByItsName)
{
    int i = 0;
#define KAMBLO_CHECK_NAME(type, name, Name, defaultValue)                          \
    {                                                                              \
        ++i;                                                                       \
        const type stored = type(i);                                               \
        engine->set##Name(stored);                                                 \
        EXPECT_EQ(type(engine->getValue(#name)), stored) << #name;                 \
        engine->setValue(#name, Value(type(i + 1)));                               \
        EXPECT_EQ(engine->name(), type(i + 1)) << #name;                           \
    }
    KAMBLO_PARAMETERS(KAMBLO_CHECK_NAME)
#undef KAMBLO_CHECK_NAME
    EXPECT_EQ(i, 102);
}

TEST_F(EngineScripts, StoresConvertToTheParametersType)
{
    EXPECT_EQ(script("timeStep = 2.7"), "");
    EXPECT_EQ(engine->timeStep(), 2);
    EXPECT_EQ(script("gravityFlag = \"\""), "");
    EXPECT_FALSE(engine->gravityFlag());
    EXPECT_EQ(script("gravityFlag = \"no\""), "");
    EXPECT_TRUE(engine->gravityFlag());
    EXPECT_EQ(script("gravityAngle = 3"), "");
    EXPECT_FLOAT_EQ(engine->gravityAngle(), 3.0f);
    // Reads keep the parameter's kind: an int parameter divides as an int.
    engine->setTimeStepsPerFrame(7);
    engine->setMaxSpeed(7);
    EXPECT_EQ(script("timeStepsPerFrame = timeStepsPerFrame / 2\nmaxSpeed = maxSpeed / 2"), "");
    EXPECT_EQ(engine->timeStepsPerFrame(), 3);
    EXPECT_FLOAT_EQ(engine->maxSpeed(), 3.5f);
}

TEST_F(EngineScripts, AttributeNamesAreReadOnlyBits)
{
    EXPECT_EQ(int(engine->getValue("aerated")), 1);
    EXPECT_EQ(int(engine->getValue("spring")), 262144);
    EXPECT_EQ(int(engine->getValue("zombie")), 33554432);
    engine->setValue("spring", Value(5));
    EXPECT_EQ(int(engine->getValue("spring")), 262144);
}

TEST_F(EngineScripts, UnknownNamesReadNullAndStoresAreIgnored)
{
    EXPECT_TRUE(engine->getValue("noSuchName").object.get() == nullObject.get());
    EXPECT_TRUE(engine->getValue(nullptr).object.get() == nullObject.get());
    engine->setValue("noSuchName", Value(1));
    EXPECT_TRUE(engine->exec("noSuchFunction", nullptr, 0).object.get() == nullObject.get());
    // Names are matched whole, not by prefix.
    EXPECT_TRUE(engine->getValue("gravity").object.get() == nullObject.get());
}

TEST_F(EngineScripts, NextParticleSettingsByName)
{
    engine->setValue("nextLayer", Value(3));
    EXPECT_EQ(engine->nextLayer(), 3);
    EXPECT_EQ(int(engine->getValue("nextLayer")), 3);
    engine->setValue("nextColor", Value(int(0x11223344)));
    EXPECT_EQ(int(engine->getValue("nextColor")), 0x11223344);
    engine->setValue("nextMaterial", Value(int('q')));
    EXPECT_EQ(int(engine->getValue("nextMaterial")), 'q');
    EXPECT_EQ(int(engine->getValue("nextInfo")), int(engine->builder->info()));
}

// ---- Colours ---------------------------------------------------------------

TEST_F(EngineScripts, ColorPacksRedGreenBlueAlpha)
{
    EXPECT_EQ(int(engine->exec("color", nullptr, 0)), 255);
    const Value args[] = {Value(1), Value(0.5f), Value(0)};
    EXPECT_EQ(int(engine->exec("color", args, 3)), -8453889);
    // Components beyond 0..1 keep their low byte; NaN gives 0.
    const Value wide[] = {Value(0.0f), Value(0.0f), Value(2.0f), Value(std::numeric_limits<float>::quiet_NaN())};
    EXPECT_EQ(int(engine->exec("color", wide, 4)), 254 << 8);
}

TEST_F(EngineScripts, ClearColorUnpacksIntoItsFourParameters)
{
    EXPECT_EQ(script("clearColor = color(1, 0, 0.2, 1)"), "");
    EXPECT_FLOAT_EQ(engine->clearColorRed(), 1.0f);
    EXPECT_FLOAT_EQ(engine->clearColorGreen(), 0.0f);
    EXPECT_FLOAT_EQ(engine->clearColorBlue(), 51 / 255.0f);
    EXPECT_FLOAT_EQ(engine->clearColorAlpha(), 1.0f);
    EXPECT_EQ(int(engine->getValue("clearColor")), int(0xff0033ffu));
}

// ---- Counting ----------------------------------------------------------------

TEST_F(EngineScripts, CountParticlesUsesMaskAndInclusiveBounds)
{
    engine->setBoundsLeft(0);
    engine->setBoundsRight(64);
    engine->setBoundsBottom(0);
    engine->setBoundsTop(48);
    addParticle(Attribute::aqua, 0, 0);        // on the corner of the bounds
    addParticle(Attribute::wall, 64, 48);      // the opposite corner
    addParticle(Attribute::aqua, 10, 10);
    addParticle(0, 10, 10);                    // no attributes: never counted
    addParticle(Attribute::aqua, 65, 10);      // outside
    EXPECT_EQ(int(engine->exec("countParticles", nullptr, 0)), 3);
    const Value aqua[] = {Value(int(Attribute::aqua))};
    EXPECT_EQ(int(engine->exec("countParticles", aqua, 1)), 2);
    const Value box[] = {Value(-1), Value(5.0f), Value(10.0f), Value(5.0f), Value(10.0f)};
    EXPECT_EQ(int(engine->exec("countParticles", box, 5)), 1);
    // A string mask is read like atoi.
    EXPECT_EQ(script("timeStep = countParticles(\"4194304\")"), "");
    EXPECT_EQ(engine->timeStep(), 1);
}

TEST_F(EngineScripts, CountNeighborsMatchesEitherOrder)
{
    addParticle(Attribute::aqua, 10, 10);
    addParticle(Attribute::wall, 10.5f, 10);
    addParticle(Attribute::aqua, 10.8f, 10);
    addParticle(0, 20, 20);
    addParticle(0, 20.5f, 20); // a pair of empty attribute sets
    EXPECT_EQ(int(engine->exec("countNeighbors", nullptr, 0)), 3);
    const Value wall[] = {Value(int(Attribute::wall))};
    EXPECT_EQ(int(engine->exec("countNeighbors", wall, 1)), 2);
    const Value pair[] = {Value(int(Attribute::wall)), Value(int(Attribute::aqua))};
    EXPECT_EQ(int(engine->exec("countNeighbors", pair, 2)), 2);
    const Value aquaOnly[] = {Value(int(Attribute::aqua)), Value(int(Attribute::aqua))};
    EXPECT_EQ(int(engine->exec("countNeighbors", aquaOnly, 2)), 1);
}

// ---- Clear and load ------------------------------------------------------------

TEST_F(EngineScripts, ClearFromAScriptCanBeUndone)
{
    addParticle(Attribute::aqua, 1, 1);
    EXPECT_EQ(script("clear()"), "");
    EXPECT_EQ(engine->countParticles(), 0);
    engine->undo();
    EXPECT_EQ(engine->countParticles(), 1);
}

TEST_F(EngineScripts, LoadTakesTheArgumentsOwnText)
{
    const std::string file = write("other.pdl", "version 2\n@ randSeed 42\n");
    EXPECT_EQ(script("load(\"" + file + "\")"), "");
    EXPECT_EQ(engine->randSeed(), 42);

    // A variable is a reference, whose own text is empty: that names no file
    // and the scene stays.
    engine->setRandSeed(7);
    EXPECT_EQ(script("var p = \"" + file + "\"\nload(p)"), "");
    EXPECT_EQ(engine->randSeed(), 7);
    EXPECT_EQ(script("load()"), "");
    EXPECT_EQ(engine->randSeed(), 7);
}

TEST_F(EngineScripts, LoadInALoopRunsOutOfBudget)
{
    const std::string file = write("other.pdl", "version 2\n@ randSeed 42\n");
    EXPECT_NE(script("while (true) load(\"" + file + "\")").find("script ran too long"), std::string::npos);
}

// ---- Scene scripts --------------------------------------------------------------

TEST_F(EngineScripts, OnSimulateTurnsGravityEveryStepAndSavesItsSection)
{
    const std::string source = "// tilt a little each step\ngravityAngle = gravityAngle + 0.01\n";
    const std::string file = write("tilt.pdl", sceneWithScript("@ gravityAngle 0.5\n", source));
    ASSERT_TRUE(engine->load(file.c_str()));
    ASSERT_TRUE(scene().onSimulate);
    EXPECT_EQ(std::string(scene().onSimulate->sourceText()), source);

    ::testing::internal::CaptureStderr();
    float expected = 0.5f;
    for (int i = 0; i < 50; ++i) {
        engine->simulate();
        expected = expected + 0.01f;
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_FLOAT_EQ(engine->gravityAngle(), expected);
    EXPECT_EQ(engine->timeStep(), 50);

    const std::string saved = path("saved.pdl");
    ASSERT_TRUE(engine->save(saved.c_str()));
    EXPECT_NE(read(saved).find("\nonSimulate\n" + source + "\n$\n"), std::string::npos);
    auto again = autorelease(new RevivezoRoraImplements());
    ASSERT_TRUE(again->load(saved.c_str()));
    ASSERT_TRUE(again->data->onSimulate);
    EXPECT_EQ(std::string(again->data->onSimulate->sourceText()), source);
    again->simulate();
    EXPECT_FLOAT_EQ(again->gravityAngle(), float(double(expected)) + 0.01f);
}

TEST_F(EngineScripts, PausedSceneStillRunsItsScript)
{
    // The hook follows the step whether or not the step moved anything, so
    // a script can unpause a scene.
    const std::string file = write("unpause.pdl", sceneWithScript("@ pauseFlag 1\n", "pauseFlag = false"));
    ASSERT_TRUE(engine->load(file.c_str()));
    engine->simulate();
    EXPECT_FALSE(engine->pauseFlag());
}

TEST_F(EngineScripts, RunawayScriptsAreStoppedReportedOnceAndKeptForSaving)
{
    struct Case {
        const char* source;
        const char* message;
    };
    const Case cases[] = {
        {"n = 0\nwhile (true) n = n + 1", "line 2: script ran too long"},
        {"(function(self) {\n    return self(self)\n})(function(self) { return self(self) })", "line 3: too many nested calls"},
        {"if (true) break\ngravityAngle = 1", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        const std::string file = write("runaway.pdl", sceneWithScript("", c.source));
        ASSERT_TRUE(engine->load(file.c_str()));
        ::testing::internal::CaptureStderr();
        for (int i = 0; i < 3; ++i)
            engine->simulate();
        const std::string reported = ::testing::internal::GetCapturedStderr();
        // One line, once, however many steps follow.
        ASSERT_FALSE(reported.empty());
        EXPECT_EQ(reported.find('\n'), reported.size() - 1);
        if (c.message) {
            EXPECT_EQ(reported, std::string(c.message) + "\n");
        }
        EXPECT_EQ(engine->timeStep(), 3);
        EXPECT_EQ(engine->gravityAngle(), 0.0f);
        ASSERT_TRUE(scene().onSimulate);
        EXPECT_NE(scene().onSimulate->errorMessage(), nullptr);

        const std::string saved = path("saved.pdl");
        ASSERT_TRUE(engine->save(saved.c_str()));
        EXPECT_NE(read(saved).find(std::string("onSimulate\n") + c.source + "\n$\n"), std::string::npos);
    }
}

TEST_F(EngineScripts, ScriptThatDoesNotParseIsReportedAtLoadAndNeverRuns)
{
    const std::string source = "gravityAngle = 1\nif (";
    const std::string file = write("broken.pdl", sceneWithScript("", source));
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(engine->load(file.c_str()));
    engine->simulate();
    engine->simulate();
    const std::string reported = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(reported.begin(), reported.end(), '\n'), 1) << reported;
    EXPECT_NE(reported.find("line 2"), std::string::npos) << reported;
    EXPECT_EQ(engine->gravityAngle(), 0.0f);
    const std::string saved = path("saved.pdl");
    ASSERT_TRUE(engine->save(saved.c_str()));
    EXPECT_NE(read(saved).find("onSimulate\n" + source + "\n$\n"), std::string::npos);
}

TEST_F(EngineScripts, ScriptThatLoadsItsOwnSceneRunsOncePerStep)
{
    // Each step reloads the file (gravityAngle back to 0) and then adds one:
    // a load runs no script, so nothing recurses.
    const std::string file = path("self.pdl");
    write("self.pdl", sceneWithScript("", "load(\"" + file + "\")\ngravityAngle = gravityAngle + 1\ntimeStep = 100"));
    ASSERT_TRUE(engine->load(file.c_str()));
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 4; ++i) {
        engine->simulate();
        EXPECT_EQ(engine->gravityAngle(), 1.0f);
        EXPECT_EQ(engine->timeStep(), 100);
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    // The fresh copy the load made is the one in the scene, ready to run.
    ASSERT_TRUE(scene().onSimulate);
    EXPECT_EQ(scene().onSimulate->errorMessage(), nullptr);
}

TEST_F(EngineScripts, FailingScriptThatLoadedAnotherSceneLeavesThatScenesScript)
{
    const std::string next = path("next.pdl");
    write("next.pdl", sceneWithScript("", "gravityAngle = 2"));
    const std::string file = write("first.pdl", sceneWithScript("", "load(\"" + next + "\")\nbreak"));
    ASSERT_TRUE(engine->load(file.c_str()));
    ::testing::internal::CaptureStderr();
    engine->simulate();
    EXPECT_FALSE(::testing::internal::GetCapturedStderr().empty());
    engine->simulate();
    EXPECT_EQ(engine->gravityAngle(), 2.0f);
}

TEST_F(EngineScripts, SceneScriptDoesNotRunInsideItself)
{
    // A script whose run is re-entered (the engine calling back into it)
    // does nothing the second time.
    auto self = autorelease(new SceneScript("gravityAngle = gravityAngle + 1"));
    struct Reentering : Element {
        Reentering(SceneScript* s, RevivezoRoraImplements* e) : script(s), engine(e) {}
        Value getValue(const char* name) const override { return engine->getValue(name); }
        void setValue(const char* name, const Value& v) override
        {
            engine->setValue(name, v);
            script->run(Pointer<Element>(this));
        }
        SceneScript* script;
        RevivezoRoraImplements* engine;
    };
    auto outer = autorelease(new Reentering(self.get(), engine.get()));
    self->run(outer);
    EXPECT_EQ(self->errorMessage(), nullptr);
    EXPECT_EQ(engine->gravityAngle(), 1.0f);
}

TEST_F(EngineScripts, DeleteInstanceLeavesASharedFacadeAlive)
{
    RevivezoRora* host = RevivezoRora::newInstance();
    Pointer<Element> held(dynamic_cast<Element*>(host));
    RevivezoRora::deleteInstance(host);
    EXPECT_EQ(held->refCount, 1);
    EXPECT_EQ(int(held->getValue("renderMode")), 6);
}
