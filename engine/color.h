#pragma once
#include <cstdint>

namespace Zeb::Kamblo {

// Four bytes in the order red, green, blue, alpha.
struct Color {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 0;

    friend constexpr bool operator==(const Color&, const Color&) = default;
};

// Float components are bytes over 255; a float becomes a byte by scaling and
// truncating toward zero. Values outside 0..1 (and NaN) are held to the byte
// range: converting them unchecked would be undefined.
inline constexpr float colorComponentToFloat(uint8_t c) { return float(c / 255.0); }
inline constexpr uint8_t colorComponentFromFloat(float f)
{
    double scaled = f * 255.0;
    if (!(scaled > 0))
        return 0;
    if (scaled >= 255)
        return 255;
    return static_cast<uint8_t>(scaled);
}

} // namespace Zeb::Kamblo
