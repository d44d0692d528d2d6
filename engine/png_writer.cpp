#include "png_writer.h"

#include "texture.h"

#include <cstdio>
#include <vector>

#include <png.h>
#include <sys/stat.h>

namespace Zeb::Kamblo {

namespace {

void pngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarning(png_structp, png_const_charp) {}

// libpng's errors jump back here, so this frame owns nothing to destroy.
bool writePng(png_structp png, png_infop info, std::FILE* file, int width, int height, bool opaque,
              std::vector<png_bytep>* rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
                 opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    if (opaque)
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    png_write_image(png, rows->data());
    png_write_end(png, nullptr);
    return true;
}

} // namespace

bool writePNGFile(const char* path, int width, int height, const uint8_t* rgba, bool opaque)
{
    if (!path || !rgba || width < 1 || height < 1)
        return false;
    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    // PNG stores the top row first.
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[size_t(y)] = const_cast<png_bytep>(rgba + size_t(height - 1 - y) * size_t(width) * 4);

    bool ok = false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (png) {
        png_infop info = png_create_info_struct(png);
        ok = info && writePng(png, info, file, width, height, opaque, &rows);
        png_destroy_write_struct(&png, info ? &info : nullptr);
    }
    // Data still buffered is written (or found unwritable) only on closing.
    ok = std::fclose(file) == 0 && ok;
    // Only a half-written ordinary file is removed, never a device that
    // refused the data.
    struct stat written;
    if (!ok && stat(path, &written) == 0 && S_ISREG(written.st_mode))
        std::remove(path);
    return ok;
}

bool writePNGFile(const char* path, const Texture& image, bool opaque)
{
    return writePNGFile(path, image.width, image.height, image.pixels.data(), opaque);
}

} // namespace Zeb::Kamblo
