#pragma once
// Standard benchmark scenes, built with the engine's own particle calls.
#include <algorithm>
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


// Water, elastic slabs, rigid boxes and a wall shelf, n particles in all: the
// water fills the left half as in the dam break; on the right a shelf of wall
// particles carries a row of rigid 6 x 6 boxes, with elastic slabs above them
// that fall onto the boxes and join the shelf where they touch it.
inline void makeMixedScene(ParticleData& d, int n)
{
    d.clear();
    float spacing = d.standardDistance;
    int side = int(std::ceil(std::sqrt(double(n))));
    float extent = side * spacing;
    d.boundsLeft = 0;
    d.boundsBottom = 0;
    d.boundsRight = 2 * extent + 4;
    d.boundsTop = extent + 4;
    auto add = [&d](int code, float2 at, int body) {
        int p = d.createParticle(body);
        d.info[p] = ParticleData::materialInfo(code);
        d.color[p] = ParticleData::materialColor(code);
        d.position[p] = at;
        d.anchor[p] = at;
    };

    float left = extent + 3;
    int across = int((extent - 2) / spacing);
    float shelfY = extent / 3;
    for (int i = 0; i < across; ++i)
        add('w', float2(left + spacing * float(i), shelfY), 0);

    // Boxes in rows above the shelf, a tenth of the particles, one body each.
    constexpr int box = 6;
    int perRow = std::max(1, int((extent - 2) / (box * spacing + 1)));
    int boxes = std::min(n / 10 / (box * box), 200);
    for (int k = 0; k < boxes; ++k) {
        int body = d.createBody();
        float2 corner(left + float(k % perRow) * (box * spacing + 1), shelfY + 1 + float(k / perRow) * (box * spacing + 1));
        for (int j = 0; j < box; ++j)
            for (int i = 0; i < box; ++i)
                add('r', corner + float2(spacing * float(i), spacing * float(j)), body);
    }
    float slabBottom = shelfY + 1 + float((boxes + perRow - 1) / perRow) * (box * spacing + 1) + 1;

    // Elastic slabs of 20 x 4, another tenth.
    int slabs = n / 10 / 80;
    int slabsPerRow = std::max(1, int((extent - 2) / (20 * spacing + 1)));
    for (int k = 0; k < slabs; ++k) {
        float2 corner(left + float(k % slabsPerRow) * (20 * spacing + 1), slabBottom + float(k / slabsPerRow) * (4 * spacing + 1));
        for (int j = 0; j < 4; ++j)
            for (int i = 0; i < 20; ++i)
                add('e', corner + float2(spacing * float(i), spacing * float(j)), 0);
    }

    // Water makes up the rest.
    int water = std::max(0, n - d.count);
    int columns = int(std::ceil(std::sqrt(double(water))));
    for (int i = 0; i < water; ++i)
        add('q', float2(1.5f + spacing * float(i % columns), 1.5f + spacing * float(i / columns)), 0);
}

} // namespace Zeb::Kamblo::Bench
