#include "texture.h"

#include "image_files.h"

#include <fstream>
#include <string>

using namespace Zeb::Kamblo;
using namespace ImageFiles;

namespace {

class TextureDecoder : public ScratchFolder {
protected:
    void SetUp() override
    {
        ScratchFolder::SetUp();
        if (!haveTool("convert"))
            GTEST_SKIP() << "ImageMagick's convert is not installed";
    }

    Pointer<Texture> decode(const Bytes& bytes)
    {
        writeBytes(path("patched"), bytes);
        return Texture::withContentsOfOtherFile(path("patched").c_str());
    }

    // Every prefix of a file decodes to null or to a whole image, without
    // reading or writing out of bounds and without a message.
    void expectTruncationsAreSafe(const Bytes& good, size_t pixelBytes)
    {
        testing::internal::CaptureStderr();
        for (size_t size = 0; size < good.size(); ++size) {
            Pointer<Texture> image = decode(Bytes(good.begin(), good.begin() + std::ptrdiff_t(size)));
            if (image) {
                EXPECT_EQ(image->pixels.size(), pixelBytes) << "cut to " << size;
            }
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
};

// Square blocks of flat colour, which lossy coding keeps nearly exact.
Picture blocks()
{
    const uint8_t colours[4][3] = {{250, 20, 20}, {20, 240, 30}, {30, 40, 230}, {240, 240, 40}};
    Picture p{16, 16, {}};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint8_t* c = colours[(y / 8) * 2 + x / 8];
            p.rgba.insert(p.rgba.end(), {c[0], c[1], c[2], 255});
        }
    return p;
}

uint32_t crc32(const uint8_t* data, size_t size)
{
    uint32_t crc = 0xffffffff;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void putBe32(Bytes& b, size_t at, uint32_t v)
{
    for (size_t i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (24 - 8 * i));
}

// A picture in which two pixels are fully transparent and the rest opaque.
Picture withHoles(int width, int height)
{
    Picture p = testPicture(width, height);
    for (size_t i = 3; i < p.rgba.size(); i += 4)
        p.rgba[i] = 255;
    for (size_t pixel : {size_t(1), size_t(width * height - 2)})
        for (size_t c = 0; c < 4; ++c)
            p.rgba[4 * pixel + c] = 0;
    return p;
}

} // namespace

TEST_F(TextureDecoder, PngKeepsAlphaAndRowOrder)
{
    const Picture picture = testPicture(3, 4);
    expectPicture(Texture::withContentsOfOtherFile(convertPicture(picture, 4, "", "PNG32:p.png").c_str()).get(),
                  picture, false);
    expectPicture(
        Texture::withContentsOfOtherFile(convertPicture(picture, 4, "-interlace PNG", "PNG32:i.png").c_str()).get(),
        picture, false);
}

TEST_F(TextureDecoder, PngWithoutAlphaIsOpaque)
{
    const Picture picture = testPicture(5, 3);
    expectPicture(Texture::withContentsOfOtherFile(convertPicture(picture, 3, "", "PNG24:rgb.png").c_str()).get(),
                  picture, true);
    expectPicture(Texture::withContentsOfOtherFile(convertPicture(picture, 3, "", "PNG48:deep.png").c_str()).get(),
                  picture, true);
    expectPicture(
        Texture::withContentsOfOtherFile(convertPicture(picture, 1, "-type Grayscale", "PNG:grey.png").c_str()).get(),
        picture, true, 0, true);
}

TEST_F(TextureDecoder, PalettedPngAndGifKeepTheirTransparentColour)
{
    // Tall enough for every pass of an interlaced GIF.
    const Picture picture = withHoles(5, 16);
    for (const char* output : {"PNG8:p.png", "GIF:p.gif", "GIF:i.gif"}) {
        SCOPED_TRACE(output);
        const std::string options = std::string(output) == "GIF:i.gif" ? "-interlace GIF" : "";
        Pointer<Texture> image = Texture::withContentsOfOtherFile(convertPicture(picture, 4, options, output).c_str());
        ASSERT_TRUE(image);
        ASSERT_EQ(image->width, 5);
        ASSERT_EQ(image->height, 16);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 5; ++x) {
                const uint8_t* want = picture.at(x, y);
                const Bytes got = pixelAt(*image, x, y);
                EXPECT_EQ(got[3], want[3]) << x << "," << y;
                if (want[3] == 255) {
                    EXPECT_EQ(got, (Bytes{want[0], want[1], want[2], 255})) << x << "," << y;
                }
            }
    }
}

TEST_F(TextureDecoder, GifIsOpaqueWithoutATransparentColourAndUsesTheFirstFrame)
{
    const Picture picture = testPicture(3, 2);
    expectPicture(Texture::withContentsOfOtherFile(convertPicture(picture, 3, "", "GIF:p.gif").c_str()).get(),
                  picture, true);

    const std::string animation = path("animation.gif");
    ASSERT_TRUE(run("convert -size 4x3 xc:'#ff0000' xc:'#0000ff' '" + animation + "'"));
    Pointer<Texture> first = Texture::withContentsOfOtherFile(animation.c_str());
    ASSERT_TRUE(first);
    ASSERT_EQ(first->width, 4);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(pixelAt(*first, x, y), (Bytes{255, 0, 0, 255}));
}

TEST_F(TextureDecoder, JpegIsCloseToThePictureAndOpaque)
{
    const Picture picture = blocks();
    expectPicture(Texture::withContentsOfOtherFile(
                      convertPicture(picture, 3, "-quality 95 -sampling-factor 1x1", "JPEG:p.jpg").c_str())
                      .get(),
                  picture, true, 12);
    expectPicture(Texture::withContentsOfOtherFile(
                      convertPicture(picture, 3, "-quality 95 -sampling-factor 1x1 -interlace JPEG", "JPEG:s.jpg").c_str())
                      .get(),
                  picture, true, 24);
    // CMYK files come back as RGB.
    expectPicture(Texture::withContentsOfOtherFile(
                      convertPicture(picture, 3, "-quality 95 -sampling-factor 1x1 -colorspace CMYK", "JPEG:cmyk.jpg").c_str())
                      .get(),
                  picture, true, 24);
}

TEST_F(TextureDecoder, UnknownOrMissingFilesAreNull)
{
    EXPECT_FALSE(Texture::withContentsOfOtherFile(nullptr));
    EXPECT_FALSE(Texture::withContentsOfOtherFile(path("missing.png").c_str()));
    EXPECT_FALSE(Texture::withContentsOfOtherFile(folder_.c_str()));
    EXPECT_FALSE(decode({}));
    EXPECT_FALSE(decode({'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}));
    // BMP is the engine's own business, not this decoder's.
    EXPECT_FALSE(Texture::withContentsOfOtherFile(convertPicture(testPicture(3, 2), 3, "", "BMP3:p.bmp").c_str()));
}

TEST_F(TextureDecoder, TruncatedFilesAreSafe)
{
    const Picture picture = testPicture(6, 5);
    const size_t pixelBytes = 6 * 5 * 4;
    for (const char* output : {"PNG32:p.png", "GIF:p.gif", "JPEG:p.jpg"}) {
        SCOPED_TRACE(output);
        expectTruncationsAreSafe(readBytes(convertPicture(picture, 4, "", output)), pixelBytes);
    }
}

TEST_F(TextureDecoder, CorruptPngIsNullAndSilent)
{
    Bytes bytes = readBytes(convertPicture(testPicture(3, 2), 4, "", "PNG32:p.png"));
    bytes[20] ^= 0x40; // inside the header chunk, so its checksum fails
    testing::internal::CaptureStderr();
    EXPECT_FALSE(decode(bytes));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(TextureDecoder, HugeDeclaredSizesAreRefused)
{
    // PNG: a 100000 x 100000 header with a correct checksum.
    Bytes png = readBytes(convertPicture(testPicture(3, 2), 4, "", "PNG32:p.png"));
    putBe32(png, 16, 100000);
    putBe32(png, 20, 100000);
    putBe32(png, 29, crc32(png.data() + 12, 17));
    EXPECT_FALSE(decode(png));

    // GIF: a 65535 x 65535 screen.
    Bytes gif = readBytes(convertPicture(testPicture(3, 2), 3, "", "GIF:p.gif"));
    for (size_t at : {6, 7, 8, 9})
        gif[at] = 0xff;
    EXPECT_FALSE(decode(gif));

    // JPEG: a 65000 x 65000 frame.
    Bytes jpeg = readBytes(convertPicture(blocks(), 3, "", "JPEG:p.jpg"));
    bool patched = false;
    for (size_t i = 2; i + 9 < jpeg.size() && !patched; ++i)
        if (jpeg[i] == 0xff && (jpeg[i + 1] == 0xc0 || jpeg[i + 1] == 0xc2)) {
            jpeg[i + 5] = jpeg[i + 7] = 0xfd;
            jpeg[i + 6] = jpeg[i + 8] = 0xe8;
            patched = true;
        }
    ASSERT_TRUE(patched);
    EXPECT_FALSE(decode(jpeg));
}

namespace {

// Peak resident memory so far, in kB, after resetting the peak to now.
long residentPeakSinceReset(bool reset)
{
    if (reset) {
        std::ofstream("/proc/self/clear_refs") << "5";
        return 0;
    }
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

} // namespace

// Found by fuzzing: a 2 x 2 PNG whose text chunk declares 1.6 GB. The
// decoder must not set that much aside; the picture itself still reads.
TEST_F(TextureDecoder, HugeDeclaredChunkIsNotAllocated)
{
    Bytes png = readBytes(convertPicture(testPicture(2, 2), 4, "", "PNG32:p.png"));
    // A tEXt chunk right after the header, declaring 0x60000025 bytes and
    // holding a few.
    Bytes chunk = {0x60, 0x00, 0x00, 0x25, 't', 'E', 'X', 't', 'd', 'a', 't', 'e', 0, '2', '0', '2', '6'};
    png.insert(png.begin() + 33, chunk.begin(), chunk.end());
    residentPeakSinceReset(true);
    long before = residentPeakSinceReset(false);
    Pointer<Texture> image = decode(png);
    long grown = residentPeakSinceReset(false) - before;
    EXPECT_LT(grown, 256L * 1024) << "kB of peak resident memory for a " << png.size() << "-byte file";
    EXPECT_FALSE(image); // the chunk runs past the end of the file
}
