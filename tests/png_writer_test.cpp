#include "png_writer.h"

#include "image_files.h"

using namespace Zeb::Kamblo;
using namespace ImageFiles;

namespace {

class PngWriter : public ScratchFolder {
protected:
    // The written file as another program reads it: RGBA, top row first.
    Bytes readBack(const std::string& file)
    {
        const std::string raw = path("back.rgba");
        EXPECT_TRUE(run("convert '" + file + "' -depth 8 'rgba:" + raw + "'"));
        return readBytes(raw);
    }
};

Pointer<Texture> imageOf(const Picture& picture)
{
    // Engine images keep the bottom row first.
    Pointer<Texture> image = Texture::withSize(picture.width, picture.height);
    for (int y = 0; y < picture.height; ++y)
        std::copy_n(picture.at(0, y), size_t(picture.width) * 4,
                    image->pixels.begin() + std::ptrdiff_t(image->offset(0, picture.height - 1 - y)));
    return image;
}

} // namespace

TEST_F(PngWriter, OtherProgramsReadThePictureUpright)
{
    if (!haveTool("convert"))
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    const Picture picture = testPicture(5, 3);
    const std::string file = path("out.png");
    ASSERT_TRUE(writePNGFile(file.c_str(), *imageOf(picture)));
    EXPECT_EQ(readBack(file), picture.rgba);
}

TEST_F(PngWriter, OpaqueWritesRgbWithoutTheAlphaBytes)
{
    if (!haveTool("convert"))
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    const Picture picture = testPicture(4, 2);
    Pointer<Texture> image = imageOf(picture);
    const std::string file = path("opaque.png");
    ASSERT_TRUE(writePNGFile(file.c_str(), image->width, image->height, image->pixels.data(), true));
    EXPECT_EQ(readBytes(file)[25], 2) << "colour type RGB";
    Bytes expected = picture.rgba;
    for (size_t i = 3; i < expected.size(); i += 4)
        expected[i] = 255;
    EXPECT_EQ(readBack(file), expected);
}

TEST_F(PngWriter, FailuresAreReportedAndLeaveNoFile)
{
    const Bytes pixels(16, 7);
    EXPECT_FALSE(writePNGFile(nullptr, 2, 2, pixels.data()));
    EXPECT_FALSE(writePNGFile(path("empty.png").c_str(), 0, 2, pixels.data()));
    EXPECT_FALSE(writePNGFile(path("null.png").c_str(), 2, 2, nullptr));
    EXPECT_FALSE(std::filesystem::exists(path("empty.png")));
    EXPECT_FALSE(writePNGFile(path("no/such/folder/out.png").c_str(), 2, 2, pixels.data()));
    // A folder in the way is neither written nor removed.
    std::filesystem::create_directory(path("folder.png"));
    EXPECT_FALSE(writePNGFile(path("folder.png").c_str(), 2, 2, pixels.data()));
    EXPECT_TRUE(std::filesystem::is_directory(path("folder.png")));
    // Too large for libpng: its error comes back as false, with no file.
    EXPECT_FALSE(writePNGFile(path("huge.png").c_str(), 0x7fffffff, 1, pixels.data()));
    EXPECT_FALSE(std::filesystem::exists(path("huge.png")));
}
