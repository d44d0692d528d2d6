#pragma once
// Four floats in one vector register, through the compiler's vector
// extensions. Each lane of an operation is the IEEE single-precision operation
// the scalar code would do, so vectorised passes give the same bits.
#include <cstdint>
#include <cstring>

#include "cg_types.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
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

// Two float2 values side by side: p.x, p.y, q.x, q.y. Half-register loads
// and stores: a whole-register access to memory written in halves would wait
// for the halves to be stored.
inline Float4 loadPair(const float2& p, const float2& q)
{
#if defined(__SSE2__)
    __m128 v = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(&p));
    return Float4(_mm_loadh_pi(v, reinterpret_cast<const __m64*>(&q)));
#else
    return Float4{p.x, p.y, q.x, q.y};
#endif
}

inline Float4 loadLow(const float2& p)
{
#if defined(__SSE2__)
    return Float4(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(&p)));
#else
    return Float4{p.x, p.y, 0.0f, 0.0f};
#endif
}

inline void storeLow(float2& to, Float4 v)
{
#if defined(__SSE2__)
    _mm_storel_pi(reinterpret_cast<__m64*>(&to), __m128(v));
#else
    to = float2(v[0], v[1]);
#endif
}

// Lanes picked from a (0-3) and b (4-7), through whichever builtin the
// compiler has.
#if defined(__clang__)
#define KAMBLO_SHUFFLE(a, b, l0, l1, l2, l3) __builtin_shufflevector(a, b, l0, l1, l2, l3)
#else
#define KAMBLO_SHUFFLE(a, b, l0, l1, l2, l3) __builtin_shuffle(a, b, Int4{l0, l1, l2, l3})
#endif

// Lanes 0, 2 of a then of b, and lanes 1, 3: the x and the y of two pairs.
inline Float4 evenLanes(Float4 a, Float4 b) { return KAMBLO_SHUFFLE(a, b, 0, 2, 4, 6); }
inline Float4 oddLanes(Float4 a, Float4 b) { return KAMBLO_SHUFFLE(a, b, 1, 3, 5, 7); }
// The other way round: x0, y0, x1, y1 and x2, y2, x3, y3.
inline Float4 lowPairs(Float4 x, Float4 y) { return KAMBLO_SHUFFLE(x, y, 0, 4, 1, 5); }
inline Float4 highPairs(Float4 x, Float4 y) { return KAMBLO_SHUFFLE(x, y, 2, 6, 3, 7); }
inline Int4 lowPairs(Int4 x, Int4 y) { return KAMBLO_SHUFFLE(x, y, 0, 4, 1, 5); }
inline Int4 highPairs(Int4 x, Int4 y) { return KAMBLO_SHUFFLE(x, y, 2, 6, 3, 7); }
// Lanes 2, 3 moved to lanes 0, 1.
inline Float4 upperHalf(Float4 v) { return KAMBLO_SHUFFLE(v, v, 2, 3, 2, 3); }

// to += lanes 0, 1 and to -= lanes 0, 1, lane by lane as the scalar code would.
inline void addLow(float2& to, Float4 v) { storeLow(to, loadLow(to) + v); }
inline void subtractLow(float2& to, Float4 v) { storeLow(to, loadLow(to) - v); }

// v where the comparison result holds, +0 elsewhere.
inline Float4 keptIf(Int4 mask, Float4 v) { return Float4(Int4(v) & mask); }

} // namespace Zeb::Kamblo
