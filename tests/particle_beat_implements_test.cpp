#include "particle_beat_implements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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
