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

// Float components are bytes over 255; a float becomes a byte by scaling and truncating.
inline constexpr float colorComponentToFloat(uint8_t c) { return c / 255.0f; }
inline constexpr uint8_t colorComponentFromFloat(float f) { return static_cast<uint8_t>(static_cast<int>(f * 255.0f)); }

} // namespace Zeb::Kamblo
