#include "texture.h"

#include "image_files.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <dlfcn.h>

#include <climits>

using namespace Zeb::Kamblo;
using namespace ImageFiles;

namespace {

uint32_t le32(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24; }
void putLe32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}
void putLe16(Bytes& b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

// Reads and patches the first directory of a TIFF file written by a real tool.
struct TiffFile {
    Bytes bytes;
    bool big() const { return bytes[0] == 'M'; }
    uint32_t u16(size_t at) const { return big() ? bytes[at] << 8 | bytes[at + 1] : bytes[at] | bytes[at + 1] << 8; }
    uint32_t u32(size_t at) const
    {
        return big() ? uint32_t(bytes[at]) << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3]
                     : le32(bytes, at);
    }
    void put16(size_t at, uint32_t v)
    {
        bytes[at + (big() ? 1 : 0)] = uint8_t(v);
        bytes[at + (big() ? 0 : 1)] = uint8_t(v >> 8);
    }
    void put32(size_t at, uint32_t v)
    {
        for (size_t i = 0; i < 4; ++i)
            bytes[at + (big() ? 3 - i : i)] = uint8_t(v >> (8 * i));
    }
    size_t directory() const { return u32(4); }
    size_t entry(uint32_t tag) const
    {
        const size_t n = u16(directory());
        for (size_t k = 0; k < n; ++k)
            if (u16(directory() + 2 + 12 * k) == tag)
                return directory() + 2 + 12 * k;
        ADD_FAILURE() << "no tag " << tag;
        return 0;
    }
    size_t nextDirectoryField() const { return directory() + 2 + 12 * u16(directory()); }
};

class TextureFiles : public ScratchFolder {
protected:
    void SetUp() override
    {
        ScratchFolder::SetUp();
        if (!haveTool("convert"))
            GTEST_SKIP() << "ImageMagick's convert is not installed";
    }

    Pointer<Texture> bmp(const Bytes& bytes)
    {
        writeBytes(path("patched.bmp"), bytes);
        return Texture::withContentsOfBMPFile(path("patched.bmp").c_str());
    }
    Pointer<Texture> tiff(const Bytes& bytes)
    {
        writeBytes(path("patched.tif"), bytes);
        return Texture::withContentsOfTIFFFile(path("patched.tif").c_str());
    }
    std::string tiffcp(const std::string& options, const std::string& input, const std::string& output)
    {
        EXPECT_TRUE(run("tiffcp " + options + " '" + input + "' '" + path(output) + "'"));
        return path(output);
    }
};

} // namespace

TEST(Texture, NewImageIsTransparentBlackAndNotUploaded)
{
    Pointer<Texture> image = Texture::withSize(3, 2);
    EXPECT_EQ(image->width, 3);
    EXPECT_EQ(image->height, 2);
    EXPECT_EQ(image->pixels, Bytes(24, 0));
    EXPECT_EQ(image->glName, -1);
    EXPECT_EQ(image->textureWidth, 3);
    EXPECT_EQ(image->textureHeight, 2);
    EXPECT_STREQ(image->name(), "");

    Pointer<Texture> negative = Texture::withSize(-4, 5);
    EXPECT_EQ(negative->width, 0);
    EXPECT_TRUE(negative->pixels.empty());
}

TEST(Texture, FlipHReversesRowsAndKeepsTheMiddleOne)
{
    Pointer<Texture> image = Texture::withSize(2, 3);
    for (size_t i = 0; i < image->pixels.size(); ++i)
        image->pixels[i] = uint8_t(i);
    Bytes expected;
    for (int row : {2, 1, 0})
        for (int i = 0; i < 8; ++i)
            expected.push_back(uint8_t(row * 8 + i));
    image->flipH();
    EXPECT_EQ(image->pixels, expected);
}

// --- BMP ---

TEST_F(TextureFiles, BmpTwentyFourBitRowsArePaddedAndBottomUp)
{
    const Picture picture = testPicture(3, 2);
    const std::string file = convertPicture(picture, 3, "-type TrueColor", "BMP3:p.bmp");
    const Bytes bytes = readBytes(file);
    ASSERT_EQ(bytes.size(), 54u + 2 * 12) << "3 pixels of 3 bytes are stored in 12";
    expectPicture(Texture::withContentsOfBMPFile(file.c_str()).get(), picture, true);
}

TEST_F(TextureFiles, BmpThirtyTwoBitKeepsAlpha)
{
    const Picture picture = testPicture(3, 4);
    const std::string file = convertPicture(picture, 4, "-define bmp3:alpha=true", "BMP3:p.bmp");
    ASSERT_EQ(readBytes(file)[28], 32);
    expectPicture(Texture::withContentsOfBMPFile(file.c_str()).get(), picture, false);
}

TEST_F(TextureFiles, BmpEightBitIndexesBecomeGreyLevels)
{
    // More than 16 colours so the tool writes 8-bit indexes and a full table.
    const Picture picture = testPicture(5, 4);
    const std::string file = convertPicture(picture, 3, "-type Palette -compress none", "BMP3:p.bmp");
    const Bytes bytes = readBytes(file);
    ASSERT_EQ(bytes[28], 8);
    ASSERT_GT(le32(bytes, 10), 54u);
    Pointer<Texture> image = Texture::withContentsOfBMPFile(file.c_str());
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width, 5);
    ASSERT_EQ(image->height, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            const Bytes got = pixelAt(*image, x, y);
            EXPECT_EQ(got[1], got[0]);
            EXPECT_EQ(got[2], got[0]);
            EXPECT_EQ(got[3], 255);
            // The grey level is the index: the file's table maps it to the picture's colour.
            const size_t entry = 54 + 4 * size_t(got[0]);
            const uint8_t* want = picture.at(x, y);
            EXPECT_EQ((Bytes{bytes[entry + 2], bytes[entry + 1], bytes[entry]}), (Bytes{want[0], want[1], want[2]}))
                << x << "," << y;
        }
}

TEST_F(TextureFiles, BmpNegativeHeightRunsTopDown)
{
    const Picture picture = testPicture(3, 3);
    Bytes bytes = readBytes(convertPicture(picture, 3, "-type TrueColor", "BMP3:p.bmp"));
    // The tool writes bottom-up; store the same rows top-down.
    Bytes topDown(bytes.begin(), bytes.begin() + 54);
    for (int row = 2; row >= 0; --row)
        topDown.insert(topDown.end(), bytes.begin() + 54 + 12 * row, bytes.begin() + 54 + 12 * (row + 1));
    putLe32(topDown, 22, uint32_t(-3));
    expectPicture(bmp(topDown).get(), picture, true);
}

TEST_F(TextureFiles, BmpTruncatedOrUnsupportedIsNull)
{
    const Picture picture = testPicture(5, 4);
    const Bytes good = readBytes(convertPicture(picture, 3, "-type TrueColor", "BMP3:p.bmp"));
    ASSERT_TRUE(bmp(good));
    for (size_t size = 0; size < good.size(); ++size)
        EXPECT_FALSE(bmp(Bytes(good.begin(), good.begin() + std::ptrdiff_t(size)))) << "cut to " << size;

    Bytes sixteenBit = good;
    putLe16(sixteenBit, 28, 16);
    EXPECT_FALSE(bmp(sixteenBit));
    Bytes wrongSignature = good;
    wrongSignature[1] = 'A';
    EXPECT_FALSE(bmp(wrongSignature));

    const std::string rle = convertPicture(picture, 3, "-type Palette -compress RLE", "BMP3:rle.bmp");
    ASSERT_EQ(le32(readBytes(rle), 30), 1u);
    EXPECT_FALSE(Texture::withContentsOfBMPFile(rle.c_str()));
    // Newer, longer headers are not the 40-byte layout.
    const std::string v5 = convertPicture(picture, 4, "", "BMP:v5.bmp");
    ASSERT_NE(le32(readBytes(v5), 14), 40u);
    EXPECT_FALSE(Texture::withContentsOfBMPFile(v5.c_str()));
    // Nothing else on this platform reads BMP either.
    EXPECT_FALSE(Texture::withContentsOfFile(rle.c_str()));
}

TEST_F(TextureFiles, BmpZeroHeightIsAnEmptyImage)
{
    Bytes bytes = readBytes(convertPicture(testPicture(3, 2), 3, "-type TrueColor", "BMP3:p.bmp"));
    putLe32(bytes, 22, 0);
    Pointer<Texture> image = bmp(bytes);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 3);
    EXPECT_EQ(image->height, 0);
    EXPECT_TRUE(image->pixels.empty());
}

TEST_F(TextureFiles, BmpSizesThatCannotFitAreRefusedBeforeAllocating)
{
    const Bytes good = readBytes(convertPicture(testPicture(3, 2), 3, "-type TrueColor", "BMP3:p.bmp"));
    auto patched = [&](size_t at, uint32_t value) {
        Bytes b = good;
        putLe32(b, at, value);
        return bmp(b);
    };
    EXPECT_FALSE(patched(18, 0x7fffffff)) << "width";
    EXPECT_FALSE(patched(18, uint32_t(-3))) << "negative width";
    EXPECT_FALSE(patched(22, 0x80000000)) << "most negative height";
    EXPECT_FALSE(patched(22, 8000)) << "more rows than the file holds";
    EXPECT_FALSE(patched(10, 0xfffffff0)) << "pixel offset past the end";
}

// --- TIFF ---

TEST_F(TextureFiles, TiffByteOrdersGiveTheSameImage)
{
    if (!haveTool("tiffcp"))
        GTEST_SKIP() << "libtiff's tiffcp is not installed";
    const Picture picture = testPicture(3, 2);
    const std::string source = convertPicture(picture, 3, "-compress none", "p.tif");
    const std::string little = tiffcp("-c none -L", source, "ii.tif");
    const std::string big = tiffcp("-c none -B", source, "mm.tif");
    ASSERT_EQ(readBytes(little)[0], 'I');
    ASSERT_EQ(readBytes(big)[0], 'M');
    Pointer<Texture> fromLittle = Texture::withContentsOfTIFFFile(little.c_str());
    Pointer<Texture> fromBig = Texture::withContentsOfTIFFFile(big.c_str());
    expectPicture(fromLittle.get(), picture, true);
    ASSERT_TRUE(fromBig);
    EXPECT_EQ(fromBig->pixels, fromLittle->pixels);
}

TEST_F(TextureFiles, TiffRgbaKeepsAlpha)
{
    const Picture picture = testPicture(4, 3);
    const std::string file = convertPicture(picture, 4, "-compress none -define tiff:alpha=unassociated", "p.tif");
    expectPicture(Texture::withContentsOfTIFFFile(file.c_str()).get(), picture, false);
}

TEST_F(TextureFiles, TiffGreyInSeveralStrips)
{
    const Picture picture = testPicture(5, 7);
    const std::string file = convertPicture(picture, 1, "-compress none -define tiff:rows-per-strip=2", "p.tif");
    expectPicture(Texture::withContentsOfTIFFFile(file.c_str()).get(), picture, true, 0, true);
    if (!haveTool("tiffcp"))
        return;
    // Big-endian, with the last strip short.
    const std::string restripped = tiffcp("-c none -B -r 3", file, "r3.tif");
    expectPicture(Texture::withContentsOfTIFFFile(restripped.c_str()).get(), picture, true, 0, true);
}

TEST_F(TextureFiles, TiffMissingStripsStayTransparent)
{
    const Picture picture = testPicture(5, 7);
    TiffFile good{readBytes(convertPicture(picture, 3, "-compress none -define tiff:rows-per-strip=2", "p.tif"))};
    const size_t offsets = good.entry(273);
    ASSERT_EQ(good.u32(offsets + 4), 4u);
    auto check = [&](const TiffFile& file, const char* what) {
        SCOPED_TRACE(what);
        Pointer<Texture> image = tiff(file.bytes);
        ASSERT_TRUE(image);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 5; ++x) {
                const uint8_t* want = picture.at(x, y);
                const Bytes expected = y < 4 ? Bytes{want[0], want[1], want[2], 255} : Bytes(4, 0);
                EXPECT_EQ(pixelAt(*image, x, y), expected) << x << "," << y;
            }
    };
    TiffFile half = good;
    half.put32(offsets + 4, 2);
    check(half, "offsets for two strips of four");
    // The third strip starts three bytes before the end of the file.
    TiffFile truncated = good;
    truncated.put32(good.u32(offsets + 8) + 8, uint32_t(good.bytes.size() - 3));
    check(truncated, "third strip cut short");
}

TEST_F(TextureFiles, TiffUnsupportedLayoutsAreNull)
{
    const Picture picture = testPicture(3, 2);
    const std::string lzw = convertPicture(picture, 3, "-compress lzw", "lzw.tif");
    EXPECT_FALSE(Texture::withContentsOfTIFFFile(lzw.c_str()));
    const std::string deep = convertPicture(picture, 3, "-compress none -depth 16", "deep.tif");
    EXPECT_FALSE(Texture::withContentsOfTIFFFile(deep.c_str()));

    TiffFile good{readBytes(convertPicture(picture, 3, "-compress none", "p.tif"))};
    ASSERT_TRUE(tiff(good.bytes));
    TiffFile twoSamples = good;
    twoSamples.put16(twoSamples.entry(277) + 8, 2);
    EXPECT_FALSE(tiff(twoSamples.bytes));
    TiffFile badMagic = good;
    badMagic.put16(2, 43);
    EXPECT_FALSE(tiff(badMagic.bytes));

    // Without RowsPerStrip the engine's reader declines, and nothing else
    // on this platform reads TIFF.
    TiffFile noRowsPerStrip = good;
    noRowsPerStrip.put16(good.entry(278), 65000);
    EXPECT_FALSE(tiff(noRowsPerStrip.bytes));
    EXPECT_FALSE(Texture::withContentsOfFile(path("patched.tif").c_str()));
}

TEST_F(TextureFiles, TiffHostileDirectoriesAreRefusedOrEnd)
{
    const Picture picture = testPicture(3, 2);
    TiffFile good{readBytes(convertPicture(picture, 3, "-compress none", "p.tif"))};

    TiffFile loop = good;
    loop.put32(loop.nextDirectoryField(), uint32_t(loop.directory()));
    expectPicture(tiff(loop.bytes).get(), picture, true);

    TiffFile hugeCount = good;
    hugeCount.put32(hugeCount.entry(273) + 4, 0xffffffff);
    EXPECT_FALSE(tiff(hugeCount.bytes));

    TiffFile hugeSize = good;
    hugeSize.put16(hugeSize.entry(256) + 2, 4);
    hugeSize.put32(hugeSize.entry(256) + 8, 1000000);
    EXPECT_FALSE(tiff(hugeSize.bytes));

    TiffFile pastTheEnd = good;
    pastTheEnd.put32(4, uint32_t(good.bytes.size() + 100));
    EXPECT_FALSE(tiff(pastTheEnd.bytes));

    for (size_t size = 0; size < good.bytes.size(); ++size) {
        Pointer<Texture> image = tiff(Bytes(good.bytes.begin(), good.bytes.begin() + std::ptrdiff_t(size)));
        if (image) {
            EXPECT_EQ(image->pixels.size(), 24u);
        }
    }
}

// --- Choosing the reader ---

TEST_F(TextureFiles, ExtensionChoosesTheReaderAndNamesTheImage)
{
    const Picture picture = testPicture(3, 2);
    const std::string bmpFile = convertPicture(picture, 3, "-type TrueColor", "BMP3:p.bmp");
    Pointer<Texture> image = Texture::withContentsOfFile(bmpFile.c_str());
    expectPicture(image.get(), picture, true);
    EXPECT_STREQ(image->name(), bmpFile.c_str());

    for (const char* name : {"p.tif", "p.tiff"}) {
        const std::string tiffFile = convertPicture(picture, 3, "-compress none", name);
        expectPicture(Texture::withContentsOfFile(tiffFile.c_str()).get(), picture, true);
    }

    // Capitals are not ".bmp": the BMP goes to the other decoder, which
    // reads PNG and not BMP.
    const std::string upper = path("upper.BMP");
    std::filesystem::copy_file(bmpFile, upper);
    EXPECT_FALSE(Texture::withContentsOfFile(upper.c_str()));
    const std::string pngAsUpper = convertPicture(picture, 4, "", "PNG32:png.BMP");
    expectPicture(Texture::withContentsOfFile(pngAsUpper.c_str()).get(), picture, false);
    // A failed BMP read is retried by the other decoder.
    const std::string pngAsBmp = convertPicture(picture, 4, "", "PNG32:png.bmp");
    Pointer<Texture> retried = Texture::withContentsOfFile(pngAsBmp.c_str());
    expectPicture(retried.get(), picture, false);
    EXPECT_STREQ(retried->name(), pngAsBmp.c_str());

    EXPECT_FALSE(Texture::withContentsOfFile(nullptr));
    EXPECT_FALSE(Texture::withContentsOfFile(path("missing.bmp").c_str()));
    EXPECT_FALSE(Texture::withContentsOfFile(folder_.c_str()));
}

// --- OpenGL upload (a headless Mesa context, when one can be made) ---

namespace {

// One surfaceless EGL context for the whole run, loaded at run time so the
// tests need no EGL at link time. It is never torn down.
class HeadlessGL {
public:
    static bool available()
    {
        static const bool made = make();
        return made;
    }
    static void* proc(const char* name) { return reinterpret_cast<void*>(getProc_(name)); }

private:
    static bool make()
    {
        void* egl = dlopen("libEGL.so.1", RTLD_NOW | RTLD_GLOBAL);
        if (!egl)
            return false;
        getProc_ = reinterpret_cast<PFNEGLGETPROCADDRESSPROC>(dlsym(egl, "eglGetProcAddress"));
        if (!getProc_)
            return false;
        auto platformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(getProc_("eglGetPlatformDisplayEXT"));
        auto initialize = reinterpret_cast<PFNEGLINITIALIZEPROC>(dlsym(egl, "eglInitialize"));
        auto bindApi = reinterpret_cast<PFNEGLBINDAPIPROC>(dlsym(egl, "eglBindAPI"));
        auto chooseConfig = reinterpret_cast<PFNEGLCHOOSECONFIGPROC>(dlsym(egl, "eglChooseConfig"));
        auto createContext = reinterpret_cast<PFNEGLCREATECONTEXTPROC>(dlsym(egl, "eglCreateContext"));
        auto makeCurrent = reinterpret_cast<PFNEGLMAKECURRENTPROC>(dlsym(egl, "eglMakeCurrent"));
        if (!platformDisplay || !initialize || !bindApi || !chooseConfig || !createContext || !makeCurrent)
            return false;
        EGLDisplay display = platformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display == EGL_NO_DISPLAY || !initialize(display, nullptr, nullptr) || !bindApi(EGL_OPENGL_API))
            return false;
        const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_NONE};
        EGLConfig config = nullptr;
        EGLint configs = 0;
        if (!chooseConfig(display, configAttributes, &config, 1, &configs) || configs < 1)
            return false;
        const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 2, EGL_CONTEXT_MINOR_VERSION, 1,
                                            EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                            EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
        EGLContext context = createContext(display, config, EGL_NO_CONTEXT, contextAttributes);
        if (context == EGL_NO_CONTEXT || !makeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context))
            return false;
        // Keep Mesa's driver loaded to the end, so leak checking at exit does
        // not see its memory as lost.
        dlopen("swrast_dri.so", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        return true;
    }
    static inline PFNEGLGETPROCADDRESSPROC getProc_ = nullptr;
};

class TextureGL : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HeadlessGL::available())
            GTEST_SKIP() << "no headless OpenGL context";
        while (glGetError() != GL_NO_ERROR) {
        }
    }

    static Bytes uploaded(int width, int height)
    {
        Bytes texels(size_t(width) * size_t(height) * 4);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        return texels;
    }
    static GLint level0(GLenum what)
    {
        GLint value = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, what, &value);
        return value;
    }
    static GLint integer(GLenum what)
    {
        GLint value = 0;
        glGetIntegerv(what, &value);
        return value;
    }
};

Pointer<Texture> filled(int width, int height, Bytes colour)
{
    Pointer<Texture> image = Texture::withSize(width, height);
    for (size_t i = 0; i < image->pixels.size(); ++i)
        image->pixels[i] = colour[i % 4];
    return image;
}

} // namespace

TEST_F(TextureGL, BindUploadsOnceAtTheImageSize)
{
    const Picture picture = testPicture(3, 2);
    Pointer<Texture> image = Texture::withSize(3, 2);
    image->pixels = picture.rgba;
    image->bind();
    ASSERT_GE(image->glName, 0);
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), image->glName);
    EXPECT_EQ(image->textureWidth, 3);
    EXPECT_EQ(image->textureHeight, 2);
    EXPECT_EQ(uploaded(3, 2), image->pixels);
    GLint parameter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &parameter);
    EXPECT_EQ(parameter, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &parameter);
    EXPECT_EQ(parameter, GL_CLAMP_TO_EDGE);

    // Later binds only bind: changed pixels are not uploaded again.
    const int name = image->glName;
    glBindTexture(GL_TEXTURE_2D, 0);
    image->pixels.assign(image->pixels.size(), 9);
    image->bind();
    EXPECT_EQ(image->glName, name);
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), name);
    EXPECT_EQ(uploaded(3, 2), picture.rgba);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextureGL, RejectedUploadFallsBackToAScaledPowerOfTwo)
{
    // Mesa takes any size, so the rejection is stood in for by an error the
    // upload finds pending.
    for (auto [width, height, wantWidth, wantHeight] : {std::tuple{300, 200, 256, 128}, {1500, 3, 1024, 2}}) {
        SCOPED_TRACE(width);
        const Bytes colour{10, 200, 30, 255};
        Pointer<Texture> image = filled(width, height, colour);
        glEnable(GL_INVALID_ENUM);
        ASSERT_NE(glGetError(), GLenum(GL_NO_ERROR));
        glEnable(GL_INVALID_ENUM);
        image->bind();
        EXPECT_EQ(image->textureWidth, wantWidth);
        EXPECT_EQ(image->textureHeight, wantHeight);
        EXPECT_EQ(level0(GL_TEXTURE_WIDTH), wantWidth);
        EXPECT_EQ(level0(GL_TEXTURE_HEIGHT), wantHeight);
        const Bytes texels = uploaded(wantWidth, wantHeight);
        for (size_t i = 0; i < texels.size(); ++i)
            ASSERT_EQ(texels[i], colour[i % 4]) << "byte " << i;
        EXPECT_EQ(image->width, width) << "the image itself keeps its size";
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

TEST_F(TextureGL, CopyTakesTheFrameBufferCornerAndRestoresTheBinding)
{
    auto genFramebuffers = reinterpret_cast<PFNGLGENFRAMEBUFFERSPROC>(HeadlessGL::proc("glGenFramebuffers"));
    auto bindFramebuffer = reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(HeadlessGL::proc("glBindFramebuffer"));
    auto genRenderbuffers = reinterpret_cast<PFNGLGENRENDERBUFFERSPROC>(HeadlessGL::proc("glGenRenderbuffers"));
    auto bindRenderbuffer = reinterpret_cast<PFNGLBINDRENDERBUFFERPROC>(HeadlessGL::proc("glBindRenderbuffer"));
    auto storage = reinterpret_cast<PFNGLRENDERBUFFERSTORAGEPROC>(HeadlessGL::proc("glRenderbufferStorage"));
    auto attach = reinterpret_cast<PFNGLFRAMEBUFFERRENDERBUFFERPROC>(HeadlessGL::proc("glFramebufferRenderbuffer"));
    if (!genFramebuffers || !bindFramebuffer || !genRenderbuffers || !bindRenderbuffer || !storage || !attach)
        GTEST_SKIP() << "no framebuffer objects";
    GLuint framebuffer = 0, renderbuffer = 0;
    genFramebuffers(1, &framebuffer);
    bindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    genRenderbuffers(1, &renderbuffer);
    bindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
    storage(GL_RENDERBUFFER, GL_RGBA8, 8, 8);
    attach(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffer);
    glViewport(0, 0, 8, 8);
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);

    Pointer<Texture> image = Texture::withSize(4, 4);
    Pointer<Texture> other = Texture::withSize(1, 1);
    other->bind();
    image->copy();
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), other->glName);
    EXPECT_EQ(image->pixels, Bytes(64, 0)) << "the copy happens on the GL side only";
    image->bind();
    const Bytes texels = uploaded(4, 4);
    for (size_t i = 0; i < texels.size(); i += 4)
        EXPECT_EQ(Bytes(texels.begin() + std::ptrdiff_t(i), texels.begin() + std::ptrdiff_t(i) + 4),
                  (Bytes{51, 102, 153, 255}));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    bindFramebuffer(GL_FRAMEBUFFER, 0);
}
