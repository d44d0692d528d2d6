#include "particle_beat_implements.h"

#include <gtest/gtest.h>

#include <string_view>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <memory>

using namespace Zeb::Kamblo;

namespace {

struct EngineDeleter {
    void operator()(RevivezoRora* e) const { RevivezoRora::deleteInstance(e); }
};
using Engine = std::unique_ptr<RevivezoRora, EngineDeleter>;

Engine makeEngine() { return Engine(RevivezoRora::newInstance()); }

ParticleData& sceneOf(RevivezoRora& engine) { return *static_cast<RevivezoRoraImplements&>(engine).data; }

} // namespace

TEST(RevivezoRora, EveryParameterReadsBackWhatWasSet)
{
    Engine engine = makeEngine();
    // Each accessor pair is generated from the table; check that every one
    // reaches its own field and that defaults come through.
    EXPECT_FLOAT_EQ(engine->scale(), 8);
    EXPECT_EQ(engine->renderMode(), 6);
    EXPECT_FALSE(engine->pauseFlag());
    int i = 0;
#define KAMBLO_CHECK_ACCESSOR(type, name, Name, defaultValue) \
    {                                                          \
        ++i;                                                   \
        EXPECT_EQ(engine->name(), type(defaultValue)) << #name; \
        type value = type(i % 2 ? 1 : 0) + type(i);            \
        engine->set##Name(value);                              \
        EXPECT_EQ(engine->name(), value) << #name;             \
        EXPECT_EQ(sceneOf(*engine).name, value) << #name;      \
    }
    KAMBLO_PARAMETERS(KAMBLO_CHECK_ACCESSOR)
#undef KAMBLO_CHECK_ACCESSOR
    EXPECT_EQ(i, 102);
}

TEST(RevivezoRora, SettersStoreAnyValue)
{
    Engine engine = makeEngine();
    engine->setMaxSpeed(-5);
    EXPECT_EQ(engine->maxSpeed(), -5);
    engine->setTimeStepsPerFrame(-1);
    EXPECT_EQ(engine->timeStepsPerFrame(), -1);
}

TEST(RevivezoRora, ClearColorIsRgbaAlthoughStoredRedBlueGreen)
{
    Engine engine = makeEngine();
    engine->setClearColor(0.1f, 0.2f, 0.3f, 0.4f);
    float r, g, b, a;
    engine->getClearColor(r, g, b, a);
    EXPECT_EQ(r, 0.1f);
    EXPECT_EQ(g, 0.2f);
    EXPECT_EQ(b, 0.3f);
    EXPECT_EQ(a, 0.4f);
    EXPECT_EQ(engine->clearColorBlue(), 0.3f);
    EXPECT_EQ(engine->clearColorGreen(), 0.2f);
}

TEST(RevivezoRora, MaterialColorNeedsNoInstance)
{
    float r, g, b, a;
    RevivezoRora::getMaterialColor('g', r, g, b, a);
    EXPECT_FLOAT_EQ(r, 153 / 255.0f);
    EXPECT_FLOAT_EQ(g, 178 / 255.0f);
    EXPECT_FLOAT_EQ(b, 229 / 255.0f);
    EXPECT_FLOAT_EQ(a, 178 / 255.0f);
    RevivezoRora::getMaterialColor('n', r, g, b, a);
    EXPECT_FLOAT_EQ(r, 127 / 255.0f);
    EXPECT_FLOAT_EQ(a, 1);
    RevivezoRora::deleteInstance(nullptr);
}

TEST(RevivezoRora, FreshEngineCounts)
{
    Engine engine = makeEngine();
    EXPECT_EQ(engine->countParticles(), 0);
    EXPECT_EQ(engine->countBodies(), 1);
    EXPECT_EQ(engine->countJoints(), 0);
    EXPECT_FALSE(engine->canUndo());
}

TEST(RevivezoRora, UndoWithoutSnapshotDoesNothing)
{
    Engine engine = makeEngine();
    engine->setPouringFlag(true);
    for (int i = 0; i < 20; ++i)
        engine->simulate();
    int n = engine->countParticles();
    ASSERT_GT(n, 0);
    engine->undo();
    EXPECT_EQ(engine->countParticles(), n);
}

TEST(RevivezoRora, UndoAndUndoOfTheUndo)
{
    Engine engine = makeEngine();
    engine->setPouringFlag(true);
    for (int i = 0; i < 10; ++i)
        engine->simulate();
    int before = engine->countParticles();
    engine->registerUndo();
    EXPECT_TRUE(engine->canUndo());
    for (int i = 0; i < 30; ++i)
        engine->simulate();
    int after = engine->countParticles();
    ASSERT_GT(after, before);
    engine->undo();
    EXPECT_EQ(engine->countParticles(), before);
    EXPECT_TRUE(engine->canUndo());
    engine->undo();
    EXPECT_EQ(engine->countParticles(), after);
}

TEST(RevivezoRora, ClearThenUndoRestoresTheScene)
{
    Engine engine = makeEngine();
    engine->setPouringFlag(true);
    for (int i = 0; i < 30; ++i)
        engine->simulate();
    int n = engine->countParticles();
    ASSERT_GT(n, 0);
    engine->clear();
    EXPECT_EQ(engine->countParticles(), 0);
    EXPECT_EQ(engine->countBodies(), 1);
    EXPECT_FALSE(engine->pouringFlag());
    engine->undo();
    EXPECT_EQ(engine->countParticles(), n);
    EXPECT_TRUE(engine->pouringFlag());
}

// The first milestone of the engine, seen only through the host interface:
// poured rows appear under the top, fall no faster than maxSpeed, are damped,
// and drain away when the container is open.
TEST(RevivezoRora, PouredWaterFallsAndDrainsThroughTheInterface)
{
    Engine engine = makeEngine();
    ParticleData& scene = sceneOf(*engine);
    engine->setPouringFlag(true);
    engine->setMaxSpeed(0.3f);
    int maxCount = 0;
    for (int step = 0; step < 400; ++step) {
        engine->simulate();
        for (int i = 0; i < scene.count; ++i) {
            float2 v = scene.velocity[i];
            ASSERT_LE(std::sqrt(v.x * v.x + v.y * v.y), 0.3f + 0.05f);
            ASSERT_LE(scene.position[i].y, engine->boundsTop() - 1 + 1e-4f);
        }
        maxCount = std::max(maxCount, engine->countParticles());
    }
    EXPECT_EQ(engine->countParticles(), scene.count);
    EXPECT_GT(maxCount, 6 * 40);

    // Open the container and stop pouring: everything falls out and is drained.
    engine->setPouringFlag(false);
    engine->setBoundsFlag(false);
    for (int step = 0; step < 2000 && engine->countParticles() > 0; ++step)
        engine->simulate();
    EXPECT_EQ(engine->countParticles(), 0);
}

TEST(RevivezoRora, PouredWaterIsDampedAndHeldByTheContainer)
{
    Engine engine = makeEngine();
    ParticleData& scene = sceneOf(*engine);
    engine->setPouringFlag(true);
    for (int step = 0; step < 600; ++step)
        engine->simulate();
    engine->setPouringFlag(false);
    for (int step = 0; step < 3000; ++step)
        engine->simulate();
    ASSERT_GT(scene.count, 100);
    float maxSpeed = 0;
    for (int i = 0; i < scene.count; ++i) {
        float2 p = scene.position[i];
        EXPECT_GT(p.y, -0.5f);
        EXPECT_GT(p.x, -0.5f);
        EXPECT_LT(p.x, 64.5f);
        float2 v = scene.velocity[i];
        maxSpeed = std::max(maxSpeed, std::sqrt(v.x * v.x + v.y * v.y));
    }
    // Resting water: nothing moves faster than a small fraction of a step.
    EXPECT_LT(maxSpeed, 0.05f);
}

TEST(RevivezoRoraForwarding, UndoSnapshotsOnlyBeforeDestructiveKeys)
{
    Engine engine = makeEngine();
    engine->onKeyDown('q');
    EXPECT_FALSE(engine->canUndo());
    engine->onKeyUp('q');
    engine->onKeyDown(',');
    EXPECT_TRUE(engine->canUndo());
}

TEST(RevivezoRoraForwarding, UndoSnapshotsOnlyBeforeEditingTools)
{
    Engine engine = makeEngine();
    engine->setLeftButtonTool('a');
    engine->onMouseDown(1, 10, 10);
    engine->onMouseUp();
    EXPECT_FALSE(engine->canUndo());
    engine->setLeftButtonTool('b');
    engine->onMouseDown(1 | 4, 10, 10); // modifier bits are ignored
    engine->onMouseUp();
    EXPECT_TRUE(engine->canUndo());
    // Exactly the editing tools, and the letters reserved for them.
    for (int letter = '@'; letter <= 'z'; ++letter) {
        Engine fresh = makeEngine();
        fresh->setLeftButtonTool(letter);
        fresh->onMouseDown(1, 10, 10);
        fresh->onMouseUp();
        EXPECT_EQ(fresh->canUndo(), std::string_view("bcegjkoprsuv").find(char(letter)) != std::string_view::npos)
            << char(letter);
    }
}

TEST(RevivezoRoraForwarding, NextColorConvertsToBytes)
{
    Engine engine = makeEngine();
    engine->setNextColor(1, 0.5f, 0, 1);
    float r, g, b, a;
    engine->getNextColor(r, g, b, a);
    EXPECT_EQ(r, 1.0f);
    EXPECT_FLOAT_EQ(g, 127 / 255.0f);
    EXPECT_EQ(b, 0.0f);
    EXPECT_EQ(a, 1.0f);
    // Out-of-range components are held to the byte range.
    engine->setNextColor(2, -1, std::nanf(""), 0.999f);
    engine->getNextColor(r, g, b, a);
    EXPECT_EQ(r, 1.0f);
    EXPECT_EQ(g, 0.0f);
    EXPECT_EQ(b, 0.0f);
    EXPECT_FLOAT_EQ(a, 254 / 255.0f);
}

TEST(RevivezoRoraForwarding, AttributeAccessorsEditTheBuildersSet)
{
    Engine engine = makeEngine();
    engine->setNextMaterial('q');
    EXPECT_EQ(engine->nextMaterial(), 'q');
    EXPECT_TRUE(engine->nextAquaAttribute());
    EXPECT_FALSE(engine->nextHotAttribute());
    engine->setNextHotAttribute(true);
    EXPECT_TRUE(engine->nextHotAttribute());
    EXPECT_TRUE(engine->nextAquaAttribute());
    engine->setNextAquaAttribute(false);
    EXPECT_FALSE(engine->nextAquaAttribute());
}

TEST(RevivezoRoraForwarding, ImageNamesOfMissingFilesReadBackEmpty)
{
    Engine engine = makeEngine();
    engine->setBackgroundImageName("/nonexistent/picture.bmp");
    EXPECT_STREQ(engine->backgroundImageName(), "");
    engine->setBackgroundImageName(nullptr);
    EXPECT_STREQ(engine->backgroundImageName(), "");
    EXPECT_STREQ(engine->fireImageName(), "");
}

TEST(RevivezoRoraForwarding, LoadClearsTheUndoFlag)
{
    Engine engine = makeEngine();
    engine->registerUndo();
    std::string path = ::testing::TempDir() + "pudlet_facade_load.pdl";
    ASSERT_TRUE(engine->save(path.c_str()));
    EXPECT_TRUE(engine->load(path.c_str()));
    EXPECT_FALSE(engine->canUndo());
    std::remove(path.c_str());
}

// Whole gestures through the host interface alone.
TEST(RevivezoRoraForwarding, BrushStrokePaintsAndUndoRemovesIt)
{
    Engine engine = makeEngine();
    engine->setNextMaterial('q');
    engine->setLeftButtonTool('b');
    engine->onMouseDown(1, 10, 10);
    EXPECT_TRUE(engine->pauseFlag()); // the world stands still while painted
    engine->onMouseMove(20, 10);
    engine->onMouseUp();
    EXPECT_FALSE(engine->pauseFlag());
    int painted = engine->countParticles();
    EXPECT_GT(painted, 10);
    engine->undo();
    EXPECT_EQ(engine->countParticles(), 0);
    engine->undo();
    EXPECT_EQ(engine->countParticles(), painted);
}

TEST(RevivezoRoraForwarding, EraserRemovesWhatTheBrushPainted)
{
    Engine engine = makeEngine();
    engine->setNextMaterial('w');
    engine->setLeftButtonTool('b');
    engine->onMouseDown(1, 10, 10);
    engine->onMouseMove(30, 10);
    engine->onMouseUp();
    int painted = engine->countParticles();
    ASSERT_GT(painted, 0);
    engine->setRightButtonTool('e');
    engine->onMouseDown(2, 10, 10);
    engine->onMouseMove(20, 10);
    engine->onMouseUp();
    engine->simulate(); // removal happens by the end of the gesture or the next step
    EXPECT_LT(engine->countParticles(), painted);
    EXPECT_GT(engine->countParticles(), 0);
}
