#pragma once
// How deep a particle sits in the boundary zone of the rounded container, for
// one particle at a time, so that passes walking the particles anyway can
// take it along.
#include <cmath>

#include "particle_data.h"

namespace Zeb::Kamblo {

class BoundsZone {
public:
    explicit BoundsZone(const ParticleData& d)
        : on(d.boundsFlag), R(d.boundsRadius), left(d.boundsLeft + R + 1), right(d.boundsRight - R - 1),
          bottom(d.boundsBottom + R + 1), top(d.boundsTop - R - 1), R2(R * R)
    {
    }

    // Sets boundWeight[i] and boundNormal[i] from position[i].
    void at(ParticleData& d, int i) const
    {
        if (!on) {
            d.boundWeight[i] = 0;
            d.boundNormal[i] = {0, 0};
            return;
        }
        // The container is every point within R + 1 of the inner rectangle.
        float x = d.position[i].x;
        float y = d.position[i].y;
        float dx = x < left ? left - x : (x > right ? right - x : 0);
        float dy = y < bottom ? bottom - y : (y > top ? top - y : 0);
        float d2 = dx * dx + dy * dy;
        if (d2 > R2) {
            float dist = std::sqrt(d2);
            d.boundWeight[i] = dist - R;
            d.boundNormal[i] = {dx / dist, dy / dist};
        } else {
            d.boundWeight[i] = 0;
            d.boundNormal[i] = {0, 0};
        }
    }

private:
    bool on;
    float R, left, right, bottom, top, R2;
};

} // namespace Zeb::Kamblo
