#include "particle_data.h"

#include <gtest/gtest.h>

#include "simulator_scene.h"

using namespace Zeb::Kamblo;
using PudletTest::addParticle;

namespace {

Pointer<ParticleData> makeScene() { return autorelease(new ParticleData()); }

} // namespace

TEST(ParticleData, ConstructorSetsDefaultsAndOneBody)
{
    auto d = makeScene();
    EXPECT_EQ(d->count, 0);
    EXPECT_EQ(d->capacity, 0);
    ASSERT_EQ(d->bodies.size(), 1u);
    EXPECT_FALSE(d->bodies[0].texture);
    EXPECT_FLOAT_EQ(d->scale, 8);
    EXPECT_EQ(d->timeStepsPerFrame, 8);
    EXPECT_FLOAT_EQ(d->standardDensity, 1.002498f);
    EXPECT_EQ(d->pouringMaterial, 'q');
    EXPECT_EQ(d->pouringLayer, -1);
    EXPECT_EQ(d->renderMode, 6);
    EXPECT_TRUE(d->fireEffect && d->splashEffect && d->bubbleEffect);
    EXPECT_EQ(d->templateKind, 0);
}

TEST(ParticleData, GrowthStartsAt256AndDoubles)
{
    auto d = makeScene();
    d->createParticle(0);
    EXPECT_EQ(d->capacity, 256);
    for (int i = 1; i < 256; ++i)
        d->createParticle(0);
    EXPECT_EQ(d->capacity, 256);
    int p = d->createParticle(3);
    EXPECT_EQ(p, 256);
    EXPECT_EQ(d->capacity, 512);
    EXPECT_EQ(d->count, 257);
    EXPECT_EQ(d->body[p], 3);
    EXPECT_EQ(d->layer[p], 255);
    EXPECT_EQ(d->order[p], 256);
    EXPECT_EQ(d->color[p], (Color{0, 0, 0, 0}));
}

TEST(ParticleData, GrowthKeepsExistingContents)
{
    auto d = makeScene();
    for (int i = 0; i < 300; ++i)
        addParticle(*d, 'q', {float(i), 2.0f * i});
    for (int i = 0; i < 300; ++i) {
        EXPECT_EQ(d->position[i], float2(float(i), 2.0f * i));
        EXPECT_EQ(d->info[i], Attribute::aqua);
    }
}

TEST(ParticleData, ClearKeepsParametersAndAllocation)
{
    auto d = makeScene();
    for (int i = 0; i < 10; ++i)
        addParticle(*d, 'e', {float(i), 0});
    d->bodies.resize(4);
    d->joints.insert(ParticleJoint{0, 1, 2, 0.5f, 0.5f, {0.5f, 0}, 0, 0});
    d->fireEffect->create();
    d->pouringFlag = true;
    d->gravityAcceleration = 0.5f;
    d->clear();
    EXPECT_EQ(d->count, 0);
    EXPECT_EQ(d->capacity, 256);
    EXPECT_EQ(d->bodies.size(), 1u);
    EXPECT_TRUE(d->joints.empty());
    EXPECT_EQ(d->fireEffect->count, 0);
    EXPECT_FALSE(d->pouringFlag);
    EXPECT_FLOAT_EQ(d->gravityAcceleration, 0.5f);
}

TEST(ParticleData, CopyThenSwapReturnsToTheCopiedState)
{
    auto scene = makeScene();
    auto snapshot = makeScene();
    for (int i = 0; i < 5; ++i) {
        int p = addParticle(*scene, 'q', {float(i), 1});
        scene->layer[p] = uint8_t(i + 1);
    }
    scene->randSeed = 77;
    snapshot->copy(scene);
    EXPECT_EQ(snapshot->count, 5);
    EXPECT_EQ(snapshot->capacity, 5); // exactly what is needed, not doubled
    EXPECT_EQ(snapshot->randSeed, 77);

    // Change the scene, then exchange: the scene is back to the copy.
    addParticle(*scene, 'w', {9, 9});
    scene->layer[0] = 200;
    scene->randSeed = 5;
    scene->swap(snapshot);
    ASSERT_EQ(scene->count, 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(scene->layer[i], i + 1);
        EXPECT_EQ(scene->position[i], float2(float(i), 1));
    }
    EXPECT_EQ(scene->randSeed, 77);
    EXPECT_EQ(snapshot->count, 6);
    EXPECT_EQ(snapshot->layer[0], 200);
    EXPECT_EQ(scene->capacity, snapshot->capacity);
}

TEST(ParticleData, CopyAndSwapLeaveEffectPoolsAndImagesWithTheirObject)
{
    auto a = makeScene();
    auto b = makeScene();
    a->fireEffect->create();
    auto poolA = a->fireEffect;
    b->copy(a);
    EXPECT_EQ(b->fireEffect->count, 0);
    a->swap(b);
    EXPECT_EQ(a->fireEffect, poolA);
    EXPECT_EQ(a->fireEffect->count, 1);
}

TEST(ParticleData, MaterialTable)
{
    EXPECT_EQ(ParticleData::materialInfo('q'), Attribute::aqua);
    EXPECT_EQ(ParticleData::materialInfo('@'), Attribute::fuel | Attribute::hot);
    EXPECT_EQ(ParticleData::materialInfo('y'), Attribute::aerated | Attribute::aqua | Attribute::yuki);
    EXPECT_EQ(ParticleData::materialColor('g'), (Color{153, 178, 229, 178}));
    const Color grey{127, 127, 127, 255};
    for (int code : {97, 110, 63, 123, 0, -1, 1000}) {
        EXPECT_EQ(ParticleData::materialInfo(code), 0u) << code;
        EXPECT_EQ(ParticleData::materialColor(code), grey) << code;
    }
    EXPECT_EQ(ParticleData::materialInfo('z'), Attribute::zombie);
}

TEST(ParticleData, ColorForInfoTakesTheFirstMatchingRule)
{
    using namespace Attribute;
    EXPECT_EQ(ParticleData::colorForInfo(outflow | hot), (Color{25, 25, 25, 255}));
    EXPECT_EQ(ParticleData::colorForInfo(hot | wall), (Color{255, 25, 0, 255}));
    EXPECT_EQ(ParticleData::colorForInfo(aqua | yuki), (Color{229, 255, 255, 178}));
    EXPECT_EQ(ParticleData::colorForInfo(rigid | novel), (Color{127, 255, 102, 255}));
    EXPECT_EQ(ParticleData::colorForInfo(novel | zombie), (Color{127, 127, 127, 255}));
}
