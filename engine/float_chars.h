#pragma once
// Locale-independent conversions between doubles and text: std::from_chars
// and std::to_chars, or, where the standard library has no floating-point
// versions (emscripten 3.1.6's libc++), the C library's, whose only locale
// there is "C". The fallback keeps from_chars' rules: no leading space or
// '+', no "0x" in hexadecimal text, and out of range only for a value that
// overflows or underflows to zero.
#include <charconv>
#include <system_error>

#if !defined(__cpp_lib_to_chars)
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#endif

namespace Zeb::Kamblo {

inline std::from_chars_result parseDouble(const char* first, const char* last, double& value, std::chars_format format)
{
#if defined(__cpp_lib_to_chars)
    return std::from_chars(first, last, value, format);
#else
    const bool negative = first != last && *first == '-';
    const char* digits = first + (negative ? 1 : 0);
    if (digits == last || *digits == '+' || *digits == '-' || *digits == ' ' || (*digits >= '\t' && *digits <= '\r'))
        return {first, std::errc::invalid_argument};
    const bool special = (*digits | 0x20) == 'i' || (*digits | 0x20) == 'n'; // inf, nan
    const bool hex = format == std::chars_format::hex && !special;
    if (!hex && !special && last - digits > 1 && digits[0] == '0' && (digits[1] | 0x20) == 'x') {
        // Decimal text reads "0x1" as 0 followed by "x1".
        value = negative ? -0.0 : 0.0;
        return {digits + 1, std::errc()};
    }
    // strtod reads hexadecimal only after its prefix, and needs an end.
    const std::string text = std::string(hex ? "0x" : "") + std::string(digits, last);
    const size_t prefix = hex ? 2 : 0;
    char* end = nullptr;
    errno = 0;
    const double x = std::strtod(text.c_str(), &end);
    const size_t used = size_t(end - text.c_str());
    if (used <= prefix)
        return {first, std::errc::invalid_argument};
    const char* stop = digits + (used - prefix);
    if (errno == ERANGE && (std::isinf(x) || x == 0))
        return {stop, std::errc::result_out_of_range};
    value = negative ? -x : x;
    return {stop, std::errc()};
#endif
}

// Fixed notation with the given number of decimals; the caller's buffer must
// be large enough.
inline std::to_chars_result formatFixed(char* first, char* last, double value, int decimals)
{
#if defined(__cpp_lib_to_chars)
    return std::to_chars(first, last, value, std::chars_format::fixed, decimals);
#else
    const int n = std::snprintf(first, size_t(last - first), "%.*f", decimals, value);
    if (n < 0 || n >= last - first)
        return {last, std::errc::value_too_large};
    return {first + n, std::errc()};
#endif
}

} // namespace Zeb::Kamblo
