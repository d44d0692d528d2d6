#pragma once
// Four floats in one vector register, through the compiler's vector
// extensions. Each lane of an operation is the IEEE single-precision operation
// the scalar code would do, so vectorised passes give the same bits.
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Zeb::Kamblo {

using Float4 = float __attribute__((vector_size(16)));
using Int4 = int32_t __attribute__((vector_size(16)));
constexpr int kLanes = 4;

inline Float4 load4(const float* from)
{
    Float4 v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

// Bit l set where lane l of a comparison result holds.
inline int laneBits(Int4 mask)
{
#if defined(__SSE2__)
    return _mm_movemask_ps(_mm_castsi128_ps(__m128i(mask)));
#else
    return (mask[0] & 1) | (mask[1] & 2) | (mask[2] & 4) | (mask[3] & 8);
#endif
}

// v where the comparison result holds, +0 elsewhere.
inline Float4 keptIf(Int4 mask, Float4 v) { return Float4(Int4(v) & mask); }

} // namespace Zeb::Kamblo
