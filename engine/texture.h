#pragma once
// The engine's RGBA image: body pictures, scene backgrounds and foregrounds,
// effect sprites and the renderer's off-screen images.
#include "object.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Zeb::Kamblo {

class Texture : public Object {
public:
    // Images larger than this are refused by the file readers: their sizes
    // come from the file, and no picture the engine draws needs more.
    static constexpr int maxSide = 32768;
    static constexpr int64_t maxPixels = int64_t(1) << 26;
    static bool isReasonableSize(int64_t w, int64_t h);

    // A zero-filled (transparent black) image; negative sizes count as 0.
    Texture(int w, int h);
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    static Pointer<Texture> withSize(int w, int h);

    // Null on failure. BMP and TIFF (by exact lower-case extension) are read
    // here; anything else, or a failed read, goes to withContentsOfOtherFile.
    static Pointer<Texture> withContentsOfFile(const char* path);
    static Pointer<Texture> withContentsOfBMPFile(const char* path);
    static Pointer<Texture> withContentsOfTIFFFile(const char* path);
    // The platform's decoder (PNG, JPEG, GIF on Linux).
    static Pointer<Texture> withContentsOfOtherFile(const char* path);

    const char* name() const { return name_.c_str(); }
    void setName(const char* name) { name_ = name ? name : ""; }

    // Reverses the order of the rows.
    void flipH();
    // Binds to GL_TEXTURE_2D, uploading on the first call (needs a current
    // OpenGL context).
    void bind();
    // Copies the lower-left textureWidth x textureHeight pixels of the current
    // frame buffer into the GL texture; pixels is left as it was.
    void copy();

    // Byte offset of pixel (x, y) in pixels.
    size_t offset(int x, int y) const { return (size_t(y) * size_t(width) + size_t(x)) * 4; }

    int width = 0;
    int height = 0;
    // Red, green, blue, alpha per pixel; row 0 is the bottom row.
    std::vector<uint8_t> pixels;
    int glName = -1;
    int textureWidth = 0;
    int textureHeight = 0;

private:
    std::string name_;
};

} // namespace Zeb::Kamblo
