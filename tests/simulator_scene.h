#pragma once
// Particles placed by hand, and a scene with its simulator for the tests of
// single passes.
#include "particle_simulator.h"

namespace PudletTest {

using Zeb::Kamblo::float2;
using Zeb::Kamblo::ParticleData;
using Zeb::Kamblo::ParticleInfo;

// A particle with the given attributes, anchored where it is placed.
inline int placeParticle(ParticleData& d, ParticleInfo info, float2 at, int body = 0)
{
    int p = d.createParticle(body);
    d.info[p] = info;
    d.position[p] = at;
    d.anchor[p] = at;
    return p;
}

// The same for a material (its letter code), in the material's colour.
inline int addParticle(ParticleData& d, int code, float2 at, int body = 0)
{
    int p = placeParticle(d, ParticleData::materialInfo(code), at, body);
    d.color[p] = ParticleData::materialColor(code);
    return p;
}

struct SimulatorScene {
    Zeb::Kamblo::Pointer<ParticleData> data = Zeb::Kamblo::autorelease(new ParticleData());
    Zeb::Kamblo::Pointer<Zeb::Kamblo::ParticleSimulator> sim =
        Zeb::Kamblo::autorelease(new Zeb::Kamblo::ParticleSimulator(data));
    ParticleData& d = *data;

    int add(ParticleInfo info, float2 at, float2 velocity = {0, 0}, int body = 0)
    {
        int p = placeParticle(d, info, at, body);
        d.velocity[p] = velocity;
        return p;
    }

    int addMaterial(int code, float2 at, float2 velocity = {0, 0})
    {
        int p = addParticle(d, code, at);
        d.velocity[p] = velocity;
        return p;
    }

    // The state the pressure and material passes find in a step: attributes
    // summed up, container contact, neighbours and density.
    void prepare()
    {
        sim->addUpInfo();
        sim->searchBoundParticles();
        d.searchParticleNeighbors();
        sim->updateParticleDensity();
    }
};

} // namespace PudletTest
