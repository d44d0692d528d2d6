#pragma once
// A headless OpenGL compatibility context that renders into an RGBA frame
// buffer object of a chosen size, for the command-line tool and the tests.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Pudlet {

class OffscreenContext {
public:
    // Makes the context current with a width x height frame buffer bound and
    // the viewport covering it. Null, with the reason in *error, when no
    // context can be made. With logRenderer the chosen GL_RENDERER is written
    // to the standard error stream.
    static std::unique_ptr<OffscreenContext> create(int width, int height, std::string* error = nullptr,
                                                    bool logRenderer = false);
    ~OffscreenContext();
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;

    // Makes this context current again and binds its frame buffer.
    bool makeCurrent();
    // Replaces the frame buffer by a cleared one of the new size and sets the
    // viewport to it. Sizes below 1 or above the implementation's limit fail
    // and keep the old buffer.
    bool resize(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    // GL_RENDERER of the context, e.g. "llvmpipe (...)".
    const std::string& renderer() const { return renderer_; }

    // The frame buffer as red, green, blue, alpha bytes, row 0 at the bottom;
    // this context must be current.
    std::vector<uint8_t> readPixels() const;

private:
    OffscreenContext() = default;
    bool createFramebuffer(int width, int height);

    void* display_ = nullptr;
    void* context_ = nullptr;
    unsigned framebuffer_ = 0;
    unsigned colorBuffer_ = 0;
    int width_ = 0;
    int height_ = 0;
    std::string renderer_;
};

} // namespace Pudlet
