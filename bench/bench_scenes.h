#pragma once
// Standard benchmark scenes, built with the engine's own particle calls.
#include <cmath>

#include "particle_data.h"

namespace Zeb::Kamblo::Bench {

// A dam break: a square block of n water particles on the lattice, resting
// against the left wall of bounds twice as wide as the block.
inline void makeWaterScene(ParticleData& d, int n)
{
    d.clear();
    float spacing = d.standardDistance;
    int side = int(std::ceil(std::sqrt(double(n))));
    float extent = side * spacing;
    d.boundsLeft = 0;
    d.boundsBottom = 0;
    d.boundsRight = 2 * extent + 4;
    d.boundsTop = extent + 4;
    Color water = ParticleData::materialColor('q');
    for (int i = 0; i < n; ++i) {
        int p = d.createParticle(0);
        float2 at(1.5f + spacing * float(i % side), 1.5f + spacing * float(i / side));
        d.info[p] = ParticleData::materialInfo('q');
        d.color[p] = water;
        d.position[p] = at;
        d.anchor[p] = at;
    }
}

} // namespace Zeb::Kamblo::Bench
