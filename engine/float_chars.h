#pragma once
// Locale-independent conversions between doubles and text: std::from_chars
// and std::to_chars, or, where the standard library has no floating-point
// versions (emscripten 3.1.6's libc++), the C library's, whose only locale
// there is "C". The C-library versions keep from_chars' rules: no leading
// space or '+', no "0x" in hexadecimal text, and out of range only for a
// value that overflows or underflows to zero.
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

namespace Zeb::Kamblo {

// Through strtod and snprintf: right only while the C locale's decimal point
// is '.'.
inline std::from_chars_result parseDoubleWithCLibrary(const char* first, const char* last, double& value,
                                                      std::chars_format format)
{
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
}

inline std::to_chars_result formatFixedWithCLibrary(char* first, char* last, double value, int decimals)
{
    const int n = std::snprintf(first, size_t(last - first), "%.*f", decimals, value);
    if (n < 0 || n >= last - first)
        return {last, std::errc::value_too_large};
    return {first + n, std::errc()};
}

inline std::from_chars_result parseDouble(const char* first, const char* last, double& value, std::chars_format format)
{
#if defined(__cpp_lib_to_chars)
    return std::from_chars(first, last, value, format);
#else
    return parseDoubleWithCLibrary(first, last, value, format);
#endif
}

// Fixed notation with the given number of decimals.
inline std::to_chars_result formatFixed(char* first, char* last, double value, int decimals)
{
#if defined(__cpp_lib_to_chars)
    return std::to_chars(first, last, value, std::chars_format::fixed, decimals);
#else
    return formatFixedWithCLibrary(first, last, value, decimals);
#endif
}

} // namespace Zeb::Kamblo
