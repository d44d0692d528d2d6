#pragma once
// Helpers for the image tests: a scratch folder, raw pictures handed to
// ImageMagick and libtiff's tools, and comparisons in picture coordinates.
#include "texture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace ImageFiles {

using Bytes = std::vector<uint8_t>;

inline bool haveTool(const char* tool)
{
    return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0;
}

inline bool run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

inline Bytes readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void writeBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A picture as image tools see it: top row first, RGBA.
struct Picture {
    int width;
    int height;
    Bytes rgba;

    const uint8_t* at(int x, int yFromTop) const { return rgba.data() + (size_t(yFromTop) * size_t(width) + size_t(x)) * 4; }

    // The same picture with `channels` samples per pixel (4 RGBA, 3 RGB, 1 the red sample as grey).
    Bytes samples(int channels) const
    {
        Bytes out;
        for (size_t i = 0; i < rgba.size(); i += 4)
            out.insert(out.end(), rgba.begin() + std::ptrdiff_t(i), rgba.begin() + std::ptrdiff_t(i) + channels);
        return out;
    }
};

// Distinct colours and alpha levels in every pixel, so misplaced rows,
// columns or channels show.
inline Picture testPicture(int width, int height)
{
    Picture p{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.rgba.insert(p.rgba.end(), {uint8_t(20 + 40 * x + y), uint8_t(250 - 30 * y), uint8_t(7 * x * y + 3),
                                         uint8_t(255 - 17 * (x + 2 * y))});
    return p;
}

// The pixel of an engine image at picture coordinates (row 0 at the top).
inline Bytes pixelAt(const Zeb::Kamblo::Texture& image, int x, int yFromTop)
{
    const uint8_t* p = image.pixels.data() + image.offset(x, image.height - 1 - yFromTop);
    return {p[0], p[1], p[2], p[3]};
}

// Compares the colour samples (and alpha unless opaque, when it must be 255)
// of every pixel, within tolerance.
inline void expectPicture(const Zeb::Kamblo::Texture* image, const Picture& expected, bool opaque, int tolerance = 0,
                          bool grey = false)
{
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->width, expected.width);
    ASSERT_EQ(image->height, expected.height);
    ASSERT_EQ(image->pixels.size(), size_t(expected.width) * size_t(expected.height) * 4);
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x) {
            const Bytes got = pixelAt(*image, x, y);
            const uint8_t* want = expected.at(x, y);
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(got[size_t(c)], want[grey ? 0 : c], tolerance) << "pixel " << x << "," << y << " channel " << c;
            EXPECT_EQ(got[3], opaque ? 255 : want[3]) << "alpha of pixel " << x << "," << y;
        }
}

// A fresh folder per test, removed afterwards.
class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::temp_directory_path()
                  / ("pudlet-" + std::string(info->test_suite_name()) + "-" + info->name() + "-"
                     + std::to_string(::getpid()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    // Writes the picture as raw samples and converts it with ImageMagick:
    // `options` go before the output name, which may carry a format prefix.
    std::string convertPicture(const Picture& picture, int channels, const std::string& options,
                               const std::string& output)
    {
        const char* kind = channels == 4 ? "rgba" : channels == 3 ? "rgb" : "gray";
        const std::string raw = path(std::string("picture.") + kind);
        writeBytes(raw, picture.samples(channels));
        const std::string name = output.substr(output.find(':') + 1);
        const std::string command = "convert -size " + std::to_string(picture.width) + "x"
                                    + std::to_string(picture.height) + " -depth 8 " + kind + ":'" + raw + "' "
                                    + options + " '" + (output.find(':') != std::string::npos ? output.substr(0, output.find(':') + 1) : "")
                                    + path(name) + "'";
        EXPECT_TRUE(run(command)) << command;
        return path(name);
    }

    std::filesystem::path folder_;
};

} // namespace ImageFiles
