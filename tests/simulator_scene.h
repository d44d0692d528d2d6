#pragma once
// A scene with its simulator, and particles placed by hand, for the tests of
// single passes.
#include "particle_simulator.h"

namespace PudletTest {

struct SimulatorScene {
    Zeb::Kamblo::Pointer<Zeb::Kamblo::ParticleData> data = Zeb::Kamblo::autorelease(new Zeb::Kamblo::ParticleData());
    Zeb::Kamblo::Pointer<Zeb::Kamblo::ParticleSimulator> simulator =
        Zeb::Kamblo::autorelease(new Zeb::Kamblo::ParticleSimulator(data));

    // A particle with the given attributes, anchored where it starts.
    int add(Zeb::Kamblo::ParticleInfo info, Zeb::Kamblo::float2 at, Zeb::Kamblo::float2 velocity = {0, 0})
    {
        Zeb::Kamblo::ParticleData& d = *data;
        int p = d.createParticle(0);
        d.info[p] = info;
        d.position[p] = at;
        d.anchor[p] = at;
        d.velocity[p] = velocity;
        return p;
    }
};

} // namespace PudletTest
