#include "texture.h"

#include "regular_file.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_set>

namespace Zeb::Kamblo {

namespace {

// Random access to an image file that refuses every read reaching past its
// end, so sizes and offsets taken from the file are checked before use.
class ImageFile {
public:
    explicit ImageFile(const char* path) : file_(openRegularFile(path))
    {
        if (file_ && fseeko(file_, 0, SEEK_END) == 0)
            size_ = ftello(file_);
    }
    ~ImageFile()
    {
        if (file_)
            std::fclose(file_);
    }
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    int64_t size() const { return size_; }
    bool fits(int64_t offset, int64_t bytes) const
    {
        return offset >= 0 && bytes >= 0 && offset <= size_ && bytes <= size_ - offset;
    }
    bool read(int64_t offset, void* buffer, int64_t bytes)
    {
        if (!file_ || !fits(offset, bytes))
            return false;
        if (bytes == 0)
            return true;
        return fseeko(file_, off_t(offset), SEEK_SET) == 0 && std::fread(buffer, 1, size_t(bytes), file_) == size_t(bytes);
    }

private:
    std::FILE* file_;
    int64_t size_ = -1;
};

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]); }

// Converts one row of 1 (grey), 3 or 4 samples per pixel into RGBA. BMP
// stores its colour samples blue first.
bool convertRow(const uint8_t* source, int samples, bool blueFirst, int width, uint8_t* destination)
{
    if (samples != 1 && samples != 3 && samples != 4)
        return false;
    for (int x = 0; x < width; ++x, source += samples, destination += 4) {
        if (samples == 1) {
            destination[0] = destination[1] = destination[2] = source[0];
            destination[3] = 255;
            continue;
        }
        destination[0] = source[blueFirst ? 2 : 0];
        destination[1] = source[1];
        destination[2] = source[blueFirst ? 0 : 2];
        destination[3] = samples == 4 ? source[3] : 255;
    }
    return true;
}

int powerOfTwoAtMost(int size)
{
    int power = 1024;
    while (power > 1 && power > size)
        power /= 2;
    return power;
}

} // namespace

bool Texture::isReasonableSize(int64_t w, int64_t h)
{
    return w >= 0 && h >= 0 && w <= maxSide && h <= maxSide && w * h <= maxPixels;
}

Texture::Texture(int w, int h)
    : width(std::max(w, 0)), height(std::max(h, 0)), pixels(size_t(width) * size_t(height) * 4),
      textureWidth(width), textureHeight(height)
{
}

Pointer<Texture> Texture::withSize(int w, int h) { return autorelease(new Texture(w, h)); }

Pointer<Texture> Texture::withContentsOfFile(const char* path)
{
    if (!path)
        return nullptr;
    std::string_view extension = path;
    if (const char* dot = std::strrchr(path, '.'); dot && dot != path)
        extension = dot;

    Pointer<Texture> image;
    if (extension == ".bmp")
        image = withContentsOfBMPFile(path);
    else if (extension == ".tiff" || extension == ".tif")
        image = withContentsOfTIFFFile(path);
    if (!image)
        image = withContentsOfOtherFile(path);
    if (image)
        image->setName(path);
    return image;
}

Pointer<Texture> Texture::withContentsOfBMPFile(const char* path)
{
    if (!path)
        return nullptr;
    ImageFile file(path);
    uint8_t header[14];
    uint8_t info[40];
    if (!file.read(0, header, sizeof header) || header[0] != 'B' || header[1] != 'M')
        return nullptr;
    if (!file.read(sizeof header, info, sizeof info) || le32(info) != 40)
        return nullptr;
    const int64_t pixelOffset = le32(header + 10);
    const int32_t storedHeight = int32_t(le32(info + 8));
    const int64_t width = int32_t(le32(info + 4));
    const int64_t height = storedHeight < 0 ? -int64_t(storedHeight) : storedHeight;
    const int bytesPerPixel = le16(info + 14) / 8;
    if (le32(info + 16) != 0 || (bytesPerPixel != 1 && bytesPerPixel != 3 && bytesPerPixel != 4))
        return nullptr;
    if (!isReasonableSize(width, height))
        return nullptr;
    const int64_t rowSize = (bytesPerPixel * width + 3) / 4 * 4;
    // Every row must be complete, so a file too short for them all is refused
    // before the image is made.
    if (!file.fits(pixelOffset, rowSize * height))
        return nullptr;

    Pointer<Texture> image = withSize(int(width), int(height));
    std::vector<uint8_t> row(static_cast<size_t>(rowSize));
    for (int64_t k = 0; k < height; ++k) {
        if (!file.read(pixelOffset + k * rowSize, row.data(), rowSize))
            return nullptr;
        const int y = int(storedHeight < 0 ? height - 1 - k : k);
        convertRow(row.data(), bytesPerPixel, true, image->width, image->pixels.data() + image->offset(0, y));
    }
    return image;
}

namespace {

// The directories of a TIFF file, read in the file's byte order.
class TiffDirectoryReader {
public:
    TiffDirectoryReader(ImageFile& file, bool bigEndian) : file_(file), bigEndian_(bigEndian) {}

    uint16_t u16(const uint8_t* p) const { return bigEndian_ ? be16(p) : le16(p); }
    uint32_t u32(const uint8_t* p) const { return bigEndian_ ? be32(p) : le32(p); }

    // The values of a 12-byte directory entry. Fails on a read past the end
    // of the file, or once the directories have asked for more value bytes
    // than any honest file needs.
    bool values(const uint8_t* entry, std::vector<uint32_t>& out)
    {
        const uint16_t type = u16(entry + 2);
        const int64_t count = u32(entry + 4);
        const uint8_t* field = entry + 8;
        const int size = type == 1 || type == 2 ? 1 : type == 3 ? 2 : type == 4 ? 4 : 0;
        // Every value of any type takes at least one byte of the file.
        if (count > file_.size())
            return false;
        out.assign(size_t(count), 0);
        if (size == 0)
            return true;
        std::vector<uint8_t> outOfLine;
        const uint8_t* data = field;
        if (count * size > 4) {
            budget_ -= count * size;
            if (budget_ < 0)
                return false;
            outOfLine.resize(size_t(count * size));
            if (!file_.read(u32(field), outOfLine.data(), count * size))
                return false;
            data = outOfLine.data();
        }
        for (int64_t i = 0; i < count; ++i) {
            const uint8_t* p = data + i * size;
            out[size_t(i)] = size == 1 ? *p : size == 2 ? u16(p) : u32(p);
        }
        return true;
    }

private:
    ImageFile& file_;
    bool bigEndian_;
    int64_t budget_ = int64_t(64) << 20;
};

uint32_t firstValue(const std::vector<uint32_t>& values) { return values.empty() ? 0 : values[0]; }

} // namespace

Pointer<Texture> Texture::withContentsOfTIFFFile(const char* path)
{
    if (!path)
        return nullptr;
    ImageFile file(path);
    uint8_t header[8];
    if (!file.read(0, header, sizeof header))
        return nullptr;
    bool bigEndian;
    if (header[0] == 'I' && header[1] == 'I')
        bigEndian = false;
    else if (header[0] == 'M' && header[1] == 'M')
        bigEndian = true;
    else
        return nullptr;
    TiffDirectoryReader reader(file, bigEndian);
    if (reader.u16(header + 2) != 42)
        return nullptr;

    int64_t width = 0, height = 0, bitsPerSample = 8, samplesPerPixel = 1, rowsPerStrip = 0;
    std::vector<uint32_t> stripOffsets, stripByteCounts, values;
    // A chain that comes back to a directory already read would never end;
    // it ends there instead, as does an implausibly long one.
    std::unordered_set<uint32_t> visited;
    constexpr size_t maxDirectories = 1024;
    for (uint32_t directory = reader.u32(header + 4); directory != 0;) {
        if (visited.size() == maxDirectories || !visited.insert(directory).second)
            break;
        uint8_t countBytes[2];
        if (!file.read(directory, countBytes, 2))
            return nullptr;
        const int64_t n = reader.u16(countBytes);
        for (int64_t k = 0; k < n; ++k) {
            uint8_t entry[12];
            if (!file.read(directory + 2 + 12 * k, entry, sizeof entry))
                return nullptr;
            const uint16_t tag = reader.u16(entry);
            if (tag != 256 && tag != 257 && tag != 258 && tag != 259 && tag != 273 && tag != 277 && tag != 278
                && tag != 279)
                continue;
            if (!reader.values(entry, values))
                return nullptr;
            switch (tag) {
            case 256: width = firstValue(values); break;
            case 257: height = firstValue(values); break;
            case 258: bitsPerSample = firstValue(values); break;
            case 259:
                if (firstValue(values) != 1)
                    return nullptr;
                break;
            case 273: stripOffsets = values; break;
            case 277: samplesPerPixel = firstValue(values); break;
            case 278: rowsPerStrip = firstValue(values); break;
            case 279: stripByteCounts = values; break;
            }
        }
        uint8_t next[4];
        if (!file.read(directory + 2 + 12 * n, next, sizeof next))
            return nullptr;
        directory = reader.u32(next);
    }

    if (width < 1 || height < 1 || rowsPerStrip < 1 || bitsPerSample != 8)
        return nullptr;
    if (!isReasonableSize(width, height))
        return nullptr;
    // The pixel data the directories declare must fit in the file: a few
    // bytes claiming a huge picture would otherwise cost its whole size in
    // memory, once for every record that names it.
    if (std::max<int64_t>(samplesPerPixel, 1) * width * height > file.size())
        return nullptr;

    Pointer<Texture> image = withSize(int(width), int(height));
    std::vector<uint8_t> row;
    size_t strip = 0;
    for (int64_t r = 0; r < height; r += rowsPerStrip, ++strip) {
        if (strip >= stripOffsets.size())
            break;
        if (samplesPerPixel != 1 && samplesPerPixel != 3 && samplesPerPixel != 4)
            return nullptr;
        const int64_t rowSize = samplesPerPixel * width;
        const int64_t rows = std::min(rowsPerStrip, height - r);
        const int64_t start = stripOffsets[strip];
        // A strip is taken whole or not at all.
        if (!file.fits(start, rows * rowSize))
            break;
        row.resize(size_t(rowSize));
        int64_t i = 0;
        for (; i < rows; ++i) {
            if (!file.read(start + i * rowSize, row.data(), rowSize))
                break;
            convertRow(row.data(), int(samplesPerPixel), false, image->width,
                       image->pixels.data() + image->offset(0, int(r + i)));
        }
        if (i < rows) {
            std::fill(image->pixels.begin() + std::ptrdiff_t(image->offset(0, int(r))),
                      image->pixels.begin() + std::ptrdiff_t(image->offset(0, int(r + i))), 0);
            break;
        }
    }
    image->flipH();
    return image;
}

void Texture::flipH()
{
    const size_t rowBytes = size_t(width) * 4;
    for (int i = 0; i < height / 2; ++i) {
        auto lower = pixels.begin() + std::ptrdiff_t(offset(0, i));
        auto upper = pixels.begin() + std::ptrdiff_t(offset(0, height - 1 - i));
        std::swap_ranges(lower, lower + std::ptrdiff_t(rowBytes), upper);
    }
}

void Texture::bind()
{
    if (glName >= 0) {
        glBindTexture(GL_TEXTURE_2D, GLuint(glName));
        return;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glName = int(name);
    glBindTexture(GL_TEXTURE_2D, name);
    textureWidth = width;
    textureHeight = height;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    if (glGetError() != GL_NO_ERROR) {
        // Older implementations take only power-of-two sizes: scale down to
        // the nearest one that fits.
        textureWidth = powerOfTwoAtMost(width);
        textureHeight = powerOfTwoAtMost(height);
        std::vector<uint8_t> scaled(size_t(textureWidth) * size_t(textureHeight) * 4);
#if defined(__EMSCRIPTEN__)
        // No GLU in the browser: the nearest pixel (WebGL refuses only sizes
        // beyond its limit, where a coarse picture is the least evil).
        for (int j = 0; j < textureHeight; ++j)
            for (int i = 0; i < textureWidth; ++i)
                std::copy_n(&pixels[offset(int(int64_t(i) * width / textureWidth), int(int64_t(j) * height / textureHeight))],
                            4, &scaled[(size_t(j) * size_t(textureWidth) + size_t(i)) * 4]);
#else
        gluScaleImage(GL_RGBA, width, height, GL_UNSIGNED_BYTE, pixels.data(), textureWidth, textureHeight,
                      GL_UNSIGNED_BYTE, scaled.data());
#endif
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, textureWidth, textureHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     scaled.data());
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

void Texture::copy()
{
    glPushAttrib(GL_TEXTURE_BIT);
    bind();
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, textureWidth, textureHeight);
    glPopAttrib();
}

} // namespace Zeb::Kamblo
