// The BMP reader on arbitrary bytes: it must return an image or null.
#include "fuzz_file.h"
#include "texture.h"

using namespace Zeb::Kamblo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = PudletFuzz::scratchPath("bmp", ".bmp");
    if (!PudletFuzz::writeFile(path, data, size))
        return 0;
    Pointer<Texture> image = Texture::withContentsOfBMPFile(path.c_str());
    if (image && image->pixels.size() != size_t(image->width) * size_t(image->height) * 4)
        __builtin_trap();
    return 0;
}
