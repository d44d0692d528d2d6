#include "particle_beat_implements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>
#include <string>
#include <string_view>

#include "scene_session.h"
#include "texture.h"

using namespace Zeb::Kamblo;

namespace {

ParticleData& sceneOf(RevivezoRora& engine) { return *static_cast<RevivezoRoraImplements&>(engine).data; }

// Everything an undo snapshot holds: the particles' persistent arrays, the
// bodies, the joints and the parameters, byte for byte.
std::string snapshotBytes(const ParticleData& d)
{
    std::string bytes;
    auto add = [&bytes](const void* p, size_t size) { bytes.append(static_cast<const char*>(p), size); };
    add(&d.count, sizeof d.count);
#define SNAPSHOT_ARRAY(type, name, persistence) KAMBLO_IF_##persistence(add(d.name, sizeof(type) * size_t(d.count));)
    KAMBLO_PARTICLE_ARRAYS(SNAPSHOT_ARRAY)
#undef SNAPSHOT_ARRAY
    for (const ParticleBody& b : d.bodies) {
        const Texture* texture = b.texture.get();
        add(&texture, sizeof texture);
        add(&b.textureMin, sizeof b.textureMin);
        add(&b.textureMax, sizeof b.textureMax);
    }
    for (const ParticleJoint& j : d.joints)
        add(&j, sizeof j);
#define SNAPSHOT_PARAMETER(type, name, Name, defaultValue) add(&d.name, sizeof d.name);
    KAMBLO_PARAMETERS(SNAPSHOT_PARAMETER)
#undef SNAPSHOT_PARAMETER
    return bytes;
}

} // namespace

TEST(RevivezoRora, EveryParameterReadsBackWhatWasSet)
{
    auto engine = Pudlet::newEngine();
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
    auto engine = Pudlet::newEngine();
    engine->setMaxSpeed(-5);
    EXPECT_EQ(engine->maxSpeed(), -5);
    engine->setTimeStepsPerFrame(-1);
    EXPECT_EQ(engine->timeStepsPerFrame(), -1);
}

TEST(RevivezoRora, ClearColorIsRgbaAlthoughStoredRedBlueGreen)
{
    auto engine = Pudlet::newEngine();
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
    auto engine = Pudlet::newEngine();
    EXPECT_EQ(engine->countParticles(), 0);
    EXPECT_EQ(engine->countBodies(), 1);
    EXPECT_EQ(engine->countJoints(), 0);
    EXPECT_FALSE(engine->canUndo());
}

TEST(RevivezoRora, UndoWithoutSnapshotDoesNothing)
{
    auto engine = Pudlet::newEngine();
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
    auto engine = Pudlet::newEngine();
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
    auto engine = Pudlet::newEngine();
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
    auto engine = Pudlet::newEngine();
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
    auto engine = Pudlet::newEngine();
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

// Every tool pressed, dragged and released, and every key that edits, on a
// scene of water crossed by a rigid bar: the scene is either as it was, or
// there is an undo snapshot and undo brings the scene back exactly.
TEST(RevivezoRoraForwarding, EveryEditCanBeUndoneExactly)
{
    std::set<int> edited;
    auto check = [&edited](int what, const std::function<void(RevivezoRora&)>& gesture) {
        auto engine = Pudlet::newEngine();
        ParticleBuilder& builder = *static_cast<RevivezoRoraImplements&>(*engine).builder;
        builder.setMaterial('q');
        builder.drawLine({10, 11}, {20, 11}, 0.5f);
        builder.setMaterial('r');
        builder.prepareForDrawing({15, 11}, 1);
        builder.drawLine({15, 9}, {15, 13}, 0.5f);
        const std::string before = snapshotBytes(sceneOf(*engine));
        gesture(*engine);
        if (snapshotBytes(sceneOf(*engine)) == before)
            return;
        edited.insert(what);
        ASSERT_TRUE(engine->canUndo()) << char(what) << " " << what;
        engine->undo();
        EXPECT_TRUE(snapshotBytes(sceneOf(*engine)) == before) << char(what) << " " << what;
    };
    for (const ToolEntry& tool : kTools)
        check(tool.letter, [&tool](RevivezoRora& engine) {
            engine.setLeftButtonTool(tool.letter);
            engine.onMouseDown(Button::left | Button::shift, 10, 11); // modifier bits do not change the tool
            engine.onMouseMove(20, 11.5f);
            engine.onMouseUp();
        });
    const int editingKeys[] = {'%', ',', '.', '/', ';', Key::del};
    for (int key : editingKeys)
        check(key, [key](RevivezoRora& engine) {
            engine.onKeyDown(key);
            engine.onKeyUp(key);
        });
    // The scene gives every editing tool and key something to change.
    EXPECT_EQ(edited, (std::set<int>{'b', 'e', 'g', 'j', 'k', 'p', 'u', 'v', '%', ',', '.', '/', ';', Key::del}));

    // Choosing a material is no edit; of the letters, exactly the editing tools
    // and the letters reserved for them take a snapshot.
    auto engine = Pudlet::newEngine();
    engine->onKeyDown('q');
    EXPECT_FALSE(engine->canUndo());
    for (int letter = '@'; letter <= 'z'; ++letter) {
        auto fresh = Pudlet::newEngine();
        fresh->setLeftButtonTool(letter);
        fresh->onMouseDown(Button::left, 10, 10);
        fresh->onMouseUp();
        EXPECT_EQ(fresh->canUndo(), std::string_view("bcegjkoprsuv").find(char(letter)) != std::string_view::npos)
            << char(letter);
    }
}

TEST(RevivezoRoraForwarding, NextColorConvertsToBytes)
{
    auto engine = Pudlet::newEngine();
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
    auto engine = Pudlet::newEngine();
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
    auto engine = Pudlet::newEngine();
    engine->setBackgroundImageName("/nonexistent/picture.bmp");
    EXPECT_STREQ(engine->backgroundImageName(), "");
    engine->setBackgroundImageName(nullptr);
    EXPECT_STREQ(engine->backgroundImageName(), "");
    EXPECT_STREQ(engine->fireImageName(), "");
}

// Whole gestures through the host interface alone.
TEST(RevivezoRoraForwarding, BrushStrokePaintsAndUndoRemovesIt)
{
    auto engine = Pudlet::newEngine();
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
    auto engine = Pudlet::newEngine();
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
