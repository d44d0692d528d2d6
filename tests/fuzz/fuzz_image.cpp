// The PNG, JPEG and GIF decoding path (the platform's decoder) on arbitrary
// bytes. The decoder recognises the format by content, so one target covers
// all three; the seed corpus holds one small file of each.
#include "fuzz_file.h"
#include "texture.h"

using namespace Zeb::Kamblo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = PudletFuzz::scratchPath("image", ".img");
    if (!PudletFuzz::writeFile(path, data, size))
        return 0;
    Pointer<Texture> image = Texture::withContentsOfOtherFile(path.c_str());
    if (image && image->pixels.size() != size_t(image->width) * size_t(image->height) * 4)
        __builtin_trap();
    return 0;
}
