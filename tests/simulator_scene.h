#pragma once
// Particles placed by hand, and a scene with its simulator for the tests of
// single passes.
#include "particle_simulator.h"

namespace PudletTest {

// A particle of a material (its letter code) in the material's colour,
// anchored where it is placed.
inline int addParticle(Zeb::Kamblo::ParticleData& d, int code, Zeb::Kamblo::float2 at, int body = 0)
{
    int p = d.createParticle(body);
    d.info[p] = Zeb::Kamblo::ParticleData::materialInfo(code);
    d.color[p] = Zeb::Kamblo::ParticleData::materialColor(code);
    d.position[p] = at;
    d.anchor[p] = at;
    return p;
}

struct SimulatorScene {
    Zeb::Kamblo::Pointer<Zeb::Kamblo::ParticleData> data = Zeb::Kamblo::autorelease(new Zeb::Kamblo::ParticleData());
    Zeb::Kamblo::Pointer<Zeb::Kamblo::ParticleSimulator> sim =
        Zeb::Kamblo::autorelease(new Zeb::Kamblo::ParticleSimulator(data));
    Zeb::Kamblo::ParticleData& d = *data;

    // A particle with the given attributes, anchored where it starts.
    int add(Zeb::Kamblo::ParticleInfo info, Zeb::Kamblo::float2 at, Zeb::Kamblo::float2 velocity = {0, 0},
            int body = 0)
    {
        int p = d.createParticle(body);
        d.info[p] = info;
        d.position[p] = at;
        d.anchor[p] = at;
        d.velocity[p] = velocity;
        return p;
    }

    int addMaterial(int code, Zeb::Kamblo::float2 at, Zeb::Kamblo::float2 velocity = {0, 0})
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
