#pragma once
// Drawing tests share one headless OpenGL context and read back whole frames.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "offscreen_context.h"

namespace PudletTest {

// The test run's one context, made on first use and kept to the end (it is
// shared across tests, and its display with every EGL user of the process).
// Made current with a width x height frame buffer; null with the reason.
inline Pudlet::OffscreenContext* offscreenContext(int width, int height, std::string* reason)
{
    static std::string failure;
    static Pudlet::OffscreenContext* context = Pudlet::OffscreenContext::create(width, height, &failure).release();
    if (!context) {
        *reason = failure;
        return nullptr;
    }
    if (!context->makeCurrent()) {
        *reason = "the headless context cannot be made current";
        return nullptr;
    }
    if ((context->width() != width || context->height() != height) && !context->resize(width, height)) {
        *reason = "the headless frame buffer cannot be resized";
        return nullptr;
    }
    return context;
}

using Rgba = std::array<int, 4>;

struct Frame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    Rgba at(int x, int y) const
    {
        const size_t i = (size_t(y) * size_t(width) + size_t(x)) * 4;
        return {pixels[i], pixels[i + 1], pixels[i + 2], pixels[i + 3]};
    }
};

// Red, green and blue each within tolerance of the expectation (alpha is
// whatever blending left behind).
inline ::testing::AssertionResult rgbNear(const Rgba& got, const Rgba& want, int tolerance)
{
    for (int c = 0; c < 3; ++c) {
        if (std::abs(got[c] - want[c]) > tolerance)
            return ::testing::AssertionFailure() << "got (" << got[0] << ", " << got[1] << ", " << got[2]
                                                 << "), want (" << want[0] << ", " << want[1] << ", " << want[2]
                                                 << ") within " << tolerance;
    }
    return ::testing::AssertionSuccess();
}

} // namespace PudletTest
