#pragma once
// std::bit_cast, or the compiler builtin it is made of where the standard
// library lags behind the compiler (emscripten 3.1.6's libc++ has none).
#include <bit>
#include <type_traits>

namespace Zeb::Kamblo {

#if defined(__cpp_lib_bit_cast)
using std::bit_cast;
#else
template <class To, class From>
    requires(sizeof(To) == sizeof(From) && std::is_trivially_copyable_v<To> && std::is_trivially_copyable_v<From>)
constexpr To bit_cast(const From& from) noexcept
{
    return __builtin_bit_cast(To, from);
}
#endif

} // namespace Zeb::Kamblo
