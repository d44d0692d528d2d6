#include "export_picture.h"

#include <GL/glew.h>
#include <png_writer.h>

#include <cstdint>
#include <vector>

namespace PudletHost {

bool exportViewportPNG(const char* path)
{
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int width = viewport[2], height = viewport[3];
    if (width <= 0 || height <= 0)
        return false;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(viewport[0], viewport[1], width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    // The frame buffer's alpha is whatever blending left: write RGB.
    return Zeb::Kamblo::writePNGFile(path, width, height, pixels.data(), true);
}

} // namespace PudletHost
