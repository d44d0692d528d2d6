#pragma once
// PNG output for the engine's own pictures (screenshots, the headless tool).
#include <cstdint>

namespace Zeb::Kamblo {

class Texture;

// Writes a width x height RGBA picture whose row 0 is the bottom row. With
// opaque set the file is RGB and the alpha bytes are ignored (a frame buffer's
// alpha is whatever blending left behind). Reports whether the whole file was
// written; a failed write leaves no file behind.
bool writePNGFile(const char* path, int width, int height, const uint8_t* rgba, bool opaque = false);
bool writePNGFile(const char* path, const Texture& image, bool opaque = false);

} // namespace Zeb::Kamblo
