// How deep each particle sits in the boundary zone of the rounded container.
#include <algorithm>
#include <cmath>

#include "particle_simulator.h"

namespace Zeb::Kamblo {

void ParticleSimulator::searchBoundParticles()
{
    ParticleData& d = *data;
    if (!d.boundsFlag) {
        std::fill_n(d.boundWeight, d.count, 0.0f);
        std::fill_n(d.boundNormal, d.count, float2(0, 0));
        return;
    }
    // The container is every point within R + 1 of this inner rectangle.
    float R = d.boundsRadius;
    float left = d.boundsLeft + R + 1;
    float right = d.boundsRight - R - 1;
    float bottom = d.boundsBottom + R + 1;
    float top = d.boundsTop - R - 1;
    float R2 = R * R;
    context.forRanges(d.count, [&](int, int first, int end) {
        for (int i = first; i < end; ++i) {
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
    });
}

} // namespace Zeb::Kamblo
