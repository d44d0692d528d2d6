#pragma once
#include "cg_types.h"
#include "float4.h"

namespace Zeb::Kamblo {

// One unordered pair of particles closer than 1; a comes first in sweep order.
struct ParticleNeighbor {
    int a = 0;
    int b = 0;
    float weight = 0;   // about 1 - r
    float2 direction;   // about (position[b] - position[a]) / r
};
static_assert(sizeof(ParticleNeighbor) == 20);

} // namespace Zeb::Kamblo

namespace Zeb::Kamblo {

// The pair kernel: for an offset d with r^2 < 1 (strictly), weight is about
// 1 - r and direction about d / r, from s = (4 + 4r^2) / (1 + 6r^2 + r^4), a
// rational stand-in for 1/r that is exact at r = 1 and needs no square root.
// Single precision, evaluated in exactly this order: results are part of the
// scene's reproducible evolution. `neighborWeight` is the formula alone, for
// callers that have r^2 = d.d already.
inline void neighborWeight(float2 d, float r2, float& weight, float2& direction)
{
    float s = (r2 * 4.0f + 4.0f) / (r2 * 6.0f + 1.0f + r2 * r2);
    weight = 1.0f - r2 * s;
    direction = float2(d.x * s, d.y * s);
}

// The same formula in four lanes, each lane the scalar operations in the
// same order: offsets (dx, dy) with r2 = dx^2 + dy^2 already taken.
inline void neighborWeight4(Float4 dx, Float4 dy, Float4 r2, Float4& weight, Float4& ux, Float4& uy)
{
    Float4 s = (r2 * 4.0f + 4.0f) / (r2 * 6.0f + 1.0f + r2 * r2);
    weight = 1.0f - r2 * s;
    ux = dx * s;
    uy = dy * s;
}

inline bool neighborKernel(float2 d, float& weight, float2& direction)
{
    float r2 = d.x * d.x + d.y * d.y;
    if (!(r2 < 1.0f))
        return false;
    neighborWeight(d, r2, weight, direction);
    return true;
}

} // namespace Zeb::Kamblo
