#pragma once
// Component-wise arithmetic on number2. Every operation is written out in the
// order the simulation relies on, so results are reproducible bit for bit.
#include <cstdint>

#include "bit_cast.h"
#include "cg_types.h"

namespace Zeb::Kamblo {

template <class T> constexpr number2<T> operator+(number2<T> a, number2<T> b) { return {a.x + b.x, a.y + b.y}; }
template <class T> constexpr number2<T> operator-(number2<T> a, number2<T> b) { return {a.x - b.x, a.y - b.y}; }
template <class T> constexpr number2<T> operator-(number2<T> a) { return {-a.x, -a.y}; }
template <class T> constexpr number2<T> operator*(number2<T> a, T s) { return {a.x * s, a.y * s}; }
template <class T> constexpr number2<T> operator*(T s, number2<T> a) { return {s * a.x, s * a.y}; }
template <class T> constexpr number2<T> operator/(number2<T> a, T s) { return {a.x / s, a.y / s}; }

template <class T> constexpr number2<T>& operator+=(number2<T>& a, number2<T> b) { a.x += b.x; a.y += b.y; return a; }
template <class T> constexpr number2<T>& operator-=(number2<T>& a, number2<T> b) { a.x -= b.x; a.y -= b.y; return a; }
template <class T> constexpr number2<T>& operator*=(number2<T>& a, T s) { a.x *= s; a.y *= s; return a; }
template <class T> constexpr number2<T>& operator/=(number2<T>& a, T s) { a.x /= s; a.y /= s; return a; }

template <class T> constexpr bool operator==(number2<T> a, number2<T> b) { return a.x == b.x && a.y == b.y; }
template <class T> constexpr bool operator!=(number2<T> a, number2<T> b) { return !(a == b); }

template <class T> constexpr T dot(number2<T> a, number2<T> b) { return a.x * b.x + a.y * b.y; }
// z component of the 3-D cross product: positive when b lies counter-clockwise of a.
template <class T> constexpr T cross(number2<T> a, number2<T> b) { return a.x * b.y - a.y * b.x; }

// v when keep holds, otherwise (+0, +0); a mask rather than a branch.
inline number2<float> keptIf(bool keep, number2<float> v)
{
    uint32_t mask = 0u - uint32_t(keep);
    return {bit_cast<float>(bit_cast<uint32_t>(v.x) & mask),
            bit_cast<float>(bit_cast<uint32_t>(v.y) & mask)};
}

} // namespace Zeb::Kamblo
