#pragma once
#include <cstdint>

#include "cg_types.h"
#include "particle_info.h"

namespace Zeb::Kamblo {

// A tie between two particles that remembers their relation when it formed.
struct ParticleJoint {
    ParticleInfo info = 0; // union of both particles' attributes
    int a = 0;             // always the smaller particle number
    int b = 0;
    float length = 0;      // distance at creation
    float strength = 0;    // max(1 - length, 0)
    float2 offset;         // position[b] - position[a] at creation
    float angleA = 0;
    float angleB = 0;

    // Only the pair takes part: the set holds at most one joint per pair.
    friend bool operator<(const ParticleJoint& x, const ParticleJoint& y)
    {
        return x.a < y.a || (x.a == y.a && x.b < y.b);
    }
};
static_assert(sizeof(ParticleJoint) == 36);

} // namespace Zeb::Kamblo
