#pragma once
// Pictures the browser has decoded. The page decodes PNG, JPEG and GIF files
// itself (createImageBitmap) and hands the RGBA pixels over under the file's
// path before the engine asks for them; the engine's own readers keep BMP and
// TIFF.
#include <cstdint>

namespace Pudlet::Web {

// rgba holds width x height pixels, top row first, as the browser gives them.
// False for no pixels or a size the engine would refuse: then nothing is kept
// under path, not even a picture handed over before (the file has changed).
bool provideDecodedImage(const char* path, int width, int height, const uint8_t* rgba);
// Forgets every picture handed over, when a scene is closed.
void forgetDecodedImages();

} // namespace Pudlet::Web
