#include "particle_simulator.h"

#include <cmath>
#include <cstdint>

#include "float_trig.h"

namespace Zeb::Kamblo {

namespace {

// Effect entries the pools get before a scene with emitting matter first
// emits: growing on demand would allocate in whichever step first exceeds the
// pool, so a steady step would not be free of allocations.
constexpr int kEffectRoom = 4096;

void roomForEffects(ParticleData& d, ParticleInfo present)
{
    using namespace Attribute;
    if (!(present & (fuel | hot | jet | aqua)))
        return;
    for (ParticleEffect* pool : {d.fireEffect.get(), d.splashEffect.get(), d.bubbleEffect.get()})
        if (pool && pool->capacity < kEffectRoom)
            pool->setCapacity(kEffectRoom);
}

} // namespace

ParticleSimulator::ParticleSimulator(const Pointer<ParticleData>& scene) : data(scene) {}

ParticleSimulator::~ParticleSimulator() { delete[] bubbleGrid.cells; }

void ParticleSimulator::simulate()
{
    ParticleData& d = *data;
    if (d.pauseFlag)
        return;

    moveAndBound();
    roomForEffects(d, context.presentInfo);
    context.searchNeighbors(d);
    joinParticles();
    gravitateAndWeigh();
    applyStaticPressure();
    pushAndCollide();
    expressAttributes();
    resistParticles();
    pourParticles();
    drainParticles();
    moveFire();
    moveSplash();
    moveBubble();
    if (context.gcRequested) {
        d.gc(&context);
        context.gcRequested = false;
    }

    // A scene file may start the counter anywhere; past the largest int it
    // wraps instead of overflowing.
    d.timeStep = int(uint32_t(d.timeStep) + 1u);
    // The product wraps like the integers it is made of; a zero product gives
    // an infinite time rather than a trap.
    int stepsPerSecond = int(uint32_t(d.timeStepsPerFrame) * uint32_t(d.framesPerSecond));
    d.time += 1.0f / float(stepsPerSecond);
}

float2 ParticleSimulator::gravityNormal() const
{
    if (!data->gravityFlag)
        return {0, 0};
    float a = data->gravityAngle - 1.5707964f;
    return {trig::cos(a), trig::sin(a)};
}

float2 ParticleSimulator::gravity() const
{
    if (!data->gravityFlag)
        return {0, 0};
    float2 n = gravityNormal();
    float g = data->gravityAmplification * data->gravityAcceleration;
    return {g * n.x, g * n.y};
}

float ParticleSimulator::frand()
{
    uint32_t seed = uint32_t(data->randSeed) * 1103515245u + 12345u;
    data->randSeed = int32_t(seed);
    return float(int32_t(seed & 0x7FFFFFFFu)) * 4.656613e-10f;
}

} // namespace Zeb::Kamblo
