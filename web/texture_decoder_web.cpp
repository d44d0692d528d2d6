// The engine's decoder for the files it does not read itself, in the browser:
// a look-up of what the page has already decoded (decoded_images.h).
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "decoded_images.h"
#include "texture.h"

namespace Pudlet::Web {

namespace {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels; // row 0 at the bottom, as the engine keeps it
};

std::map<std::string, Picture>& pictures()
{
    static std::map<std::string, Picture> table;
    return table;
}

} // namespace

bool provideDecodedImage(const char* path, int width, int height, const uint8_t* rgba)
{
    using Zeb::Kamblo::Texture;
    if (!path)
        return false;
    if (!rgba || width < 1 || height < 1 || !Texture::isReasonableSize(width, height)) {
        pictures().erase(path);
        return false;
    }
    Picture picture{width, height, std::vector<uint8_t>(size_t(width) * size_t(height) * 4)};
    const size_t rowBytes = size_t(width) * 4;
    for (int y = 0; y < height; ++y)
        std::memcpy(picture.pixels.data() + size_t(height - 1 - y) * rowBytes, rgba + size_t(y) * rowBytes, rowBytes);
    pictures()[path] = std::move(picture);
    return true;
}

void forgetDecodedImages() { pictures().clear(); }

} // namespace Pudlet::Web

namespace Zeb::Kamblo {

Pointer<Texture> Texture::withContentsOfOtherFile(const char* path)
{
    if (!path)
        return nullptr;
    const auto found = Pudlet::Web::pictures().find(path);
    if (found == Pudlet::Web::pictures().end())
        return nullptr;
    const Pudlet::Web::Picture& picture = found->second;
    Pointer<Texture> image = Texture::withSize(0, 0);
    image->width = image->textureWidth = picture.width;
    image->height = image->textureHeight = picture.height;
    image->pixels = picture.pixels;
    return image;
}

} // namespace Zeb::Kamblo
