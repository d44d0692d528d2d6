#pragma once
// Geometry helpers that need <cmath>.
#include <cmath>

#include "cg_math.h"
#include "float_trig.h"

namespace Zeb::Kamblo {

inline float length(float2 v) { return std::sqrt(dot(v, v)); }

inline float distance(float2 a, float2 b) { return length(b - a); }

// The vector turned a quarter turn counter-clockwise.
inline float2 perpendicular(float2 v) { return {-v.y, v.x}; }

inline float2 rotate(float2 v, float angle)
{
    float c = trig::cos(angle);
    float s = trig::sin(angle);
    return {c * v.x - s * v.y, s * v.x + c * v.y};
}

inline bool isFinite(float2 v) { return std::isfinite(v.x) && std::isfinite(v.y); }

} // namespace Zeb::Kamblo
