#pragma once
// Small vector types used for positions, velocities, directions and grid cells.

namespace Zeb::Kamblo {

template <class T>
struct number2 {
    T x{};
    T y{};

    constexpr number2() = default;
    constexpr number2(T x_, T y_) : x(x_), y(y_) {}
    template <class U>
    constexpr explicit number2(const number2<U>& o) : x(static_cast<T>(o.x)), y(static_cast<T>(o.y))
    {
    }
};

using float2 = number2<float>;
using int2 = number2<int>;

} // namespace Zeb::Kamblo
