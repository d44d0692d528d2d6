// How deep each particle sits in the boundary zone of the rounded container.
#include "particle_bounds_zone.h"
#include "particle_simulator.h"

namespace Zeb::Kamblo {

void ParticleSimulator::searchBoundParticles()
{
    ParticleData& d = *data;
    BoundsZone zone(d);
    context.forRanges(d.count, [&](int, int first, int end) {
        for (int i = first; i < end; ++i)
            zone.at(d, i);
    });
}

} // namespace Zeb::Kamblo
