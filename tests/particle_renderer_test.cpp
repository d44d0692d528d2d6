#include <GL/glew.h>

#include "particle_renderer.h"

#include <gtest/gtest.h>

#include <GL/glu.h>
#include <cmath>
#include <numbers>

#include "offscreen_frame.h"
#include "scene_frame.h"
#include "particle_data.h"
#include "particle_effect.h"
#include "shader.h"
#include "simulator_scene.h"
#include "texture.h"

using namespace Zeb::Kamblo;
using PudletTest::Frame;
using PudletTest::Rgba;
using PudletTest::rgbNear;

namespace {

constexpr Rgba clearGrey = {51, 51, 51, 0};
constexpr Rgba water = {153, 153, 255, 255};
constexpr Rgba wallColor = {178, 102, 102, 255};

// Columns left of split in one colour, the others in another.
Pointer<Texture> splitImage(int width, int height, Rgba left, Rgba right, int split)
{
    Pointer<Texture> image = Texture::withSize(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgba& c = x < split ? left : right;
            for (int k = 0; k < 4; ++k)
                image->pixels[image->offset(x, y) + size_t(k)] = uint8_t(c[size_t(k)]);
        }
    }
    return image;
}

Pointer<Texture> halvesImage(int width, int height, Rgba left, Rgba right)
{
    return splitImage(width, height, left, right, width / 2);
}

Pointer<Texture> plainImage(int width, int height, Rgba colour)
{
    return splitImage(width, height, colour, colour, width);
}

// The default scene box (64 x 48 units) at the default scale fills 512 x 384 pixels.
class ParticleRendererTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string reason;
        context = PudletTest::offscreenContext(512, 384, &reason);
        if (!context) {
            GTEST_SKIP() << reason;
        }
        while (glGetError() != GL_NO_ERROR) {
        }
        checkErrorOnce = true;
        data = autorelease(new ParticleData);
        renderer = autorelease(new ParticleRenderer(data));
    }
    void TearDown() override
    {
        if (context) {
            EXPECT_TRUE(checkErrorOnce) << "an OpenGL error was reported";
        }
    }

    // World coordinate of the centre of pixel column or row p.
    float centre(int p) const { return (float(p) + 0.5f) / data->scale; }

    int add(float x, float y, int material, int body = 0)
    {
        return PudletTest::addParticle(*data, material, {x, y}, body);
    }
    // A lattice of particles at the usual spacing over a rectangle.
    void fill(float x0, float y0, float x1, float y1, int material, int body = 0)
    {
        for (float y = y0; y <= y1; y += 0.75f)
            for (float x = x0; x <= x1; x += 0.75f)
                add(x, y, material, body);
    }
    void fillDisc(float cx, float cy, float radius, int material)
    {
        for (float y = cy - radius; y <= cy + radius; y += 0.75f)
            for (float x = cx - radius; x <= cx + radius; x += 0.75f)
                if (std::hypot(x - cx, y - cy) <= radius)
                    add(x, y, material);
    }

    // One frame as a host draws it.
    Frame draw()
    {
        Pudlet::loadSceneProjection({context->width(), context->height(), data->scale});
        renderer->prerender();
        Pudlet::clearFrame(data->clearFlag, data->clearColorRed, data->clearColorGreen, data->clearColorBlue);
        renderer->render();
        return {context->width(), context->height(), context->readPixels()};
    }
    Rgba atWorld(const Frame& frame, float x, float y) const
    {
        return frame.at(int(x * data->scale), int(y * data->scale));
    }

    Pudlet::OffscreenContext* context = nullptr;
    Pointer<ParticleData> data;
    Pointer<ParticleRenderer> renderer;
};

TEST_F(ParticleRendererTest, RenderBeforePrerenderDrawsNothing)
{
    add(10, 10, 'q');
    data->renderMode = 1;
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    renderer->render();
    const Frame frame{context->width(), context->height(), context->readPixels()};
    EXPECT_EQ(frame.at(80, 80), (Rgba{255, 0, 0, 255}));
}

TEST_F(ParticleRendererTest, DisplayColoursFollowAttributes)
{
    const int plain = add(1, 1, 'q');
    const int pale = add(2, 1, 'g');
    const int hot = add(3, 1, 'h');
    data->color[hot] = Color{10, 20, 30, 255};
    data->renderMode = 1;
    draw();
    EXPECT_EQ(data->renderColor[plain], (Color{153, 153, 255, 255}));
    EXPECT_EQ(data->renderColor[pale], (Color{204, 216, 242, 178}));
    EXPECT_EQ(data->renderColor[hot], (Color{255, 20, 30, 255}));

    data->colorFlag = false;
    draw();
    EXPECT_EQ(data->renderColor[hot], ParticleData::colorForInfo(data->info[hot]));
    EXPECT_EQ(data->renderColor[pale], ParticleData::colorForInfo(data->info[pale]));
}

TEST_F(ParticleRendererTest, PointsShowEachColourAtItsPosition)
{
    const int a = add(centre(80), centre(40), 'q');
    const int b = add(centre(300), centre(200), 'w');
    data->color[a] = Color{10, 200, 30, 255};
    data->renderMode = 1;
    const Frame frame = draw();
    EXPECT_EQ(frame.at(80, 40), (Rgba{10, 200, 30, 255}));
    EXPECT_TRUE(rgbNear(frame.at(300, 200), wallColor, 0));
    EXPECT_TRUE(rgbNear(frame.at(81, 40), clearGrey, 0));
    EXPECT_TRUE(rgbNear(frame.at(10, 370), clearGrey, 0));
    (void)b;

    // Without own colours the attribute colour shows.
    data->colorFlag = false;
    EXPECT_TRUE(rgbNear(draw().at(80, 40), water, 0));
}

TEST_F(ParticleRendererTest, CrossesTurnWithTheAngle)
{
    const int i = add(centre(100), centre(100), 'w');
    data->renderMode = 2;
    Frame frame = draw();
    EXPECT_TRUE(rgbNear(frame.at(103, 100), wallColor, 0));
    EXPECT_TRUE(rgbNear(frame.at(100, 97), wallColor, 0));
    EXPECT_TRUE(rgbNear(frame.at(102, 102), clearGrey, 0));

    data->angle[i] = std::numbers::pi_v<float> / 4;
    frame = draw();
    EXPECT_TRUE(rgbNear(frame.at(102, 102), wallColor, 0));
    EXPECT_TRUE(rgbNear(frame.at(98, 102), wallColor, 0));
    EXPECT_TRUE(rgbNear(frame.at(103, 100), clearGrey, 0));
}

TEST_F(ParticleRendererTest, CirclesAreDiscsOfScalePlusOnePixels)
{
    add(centre(100), centre(100), 'w');
    data->renderMode = 3;
    const Frame frame = draw();
    for (const auto& [dx, dy] : {std::pair{0, 0}, {3, 0}, {-3, 0}, {0, 3}, {2, -2}})
        EXPECT_TRUE(rgbNear(frame.at(100 + dx, 100 + dy), wallColor, 0)) << dx << ", " << dy;
    EXPECT_TRUE(rgbNear(frame.at(106, 100), clearGrey, 0));
    EXPECT_TRUE(rgbNear(frame.at(104, 104), clearGrey, 0));
}

TEST_F(ParticleRendererTest, BlurredCirclesTrailAFadingStreak)
{
    const int i = add(centre(200), centre(100), 'w');
    data->velocity[i] = float2(0.4f, 0); // 8 steps a frame: a 25.6-pixel tail
    data->renderMode = 4;
    const Frame frame = draw();
    EXPECT_TRUE(rgbNear(frame.at(200, 100), wallColor, 0));
    const Rgba near = frame.at(190, 100);
    const Rgba far = frame.at(180, 100);
    // Behind the disc the streak fades from the particle's colour to the background.
    EXPECT_GT(near[0], far[0]);
    EXPECT_GT(far[0], clearGrey[0] + 10);
    EXPECT_LT(near[0], wallColor[0]);
    EXPECT_TRUE(rgbNear(frame.at(215, 100), clearGrey, 0)) << "nothing ahead of the particle";
}

TEST_F(ParticleRendererTest, BlobModesFillLiquidAndSolidRegions)
{
    fill(5, 5, 15, 15, 'q');
    fill(30, 5, 40, 15, 'w');
    for (int mode : {5, 6}) {
        data->renderMode = mode;
        const Frame frame = draw();
        EXPECT_TRUE(rgbNear(atWorld(frame, 10, 10), water, 6)) << "mode " << mode;
        EXPECT_TRUE(rgbNear(atWorld(frame, 35, 10), wallColor, 6)) << "mode " << mode;
        EXPECT_TRUE(rgbNear(atWorld(frame, 50, 40), clearGrey, 0)) << "mode " << mode;
        EXPECT_TRUE(rgbNear(atWorld(frame, 22, 10), clearGrey, 0)) << "mode " << mode;
        // The soft field reaches past the outermost particles, but not far.
        EXPECT_TRUE(rgbNear(atWorld(frame, 15.3f, 10), water, 20)) << "mode " << mode;
        EXPECT_TRUE(rgbNear(atWorld(frame, 17.5f, 10), clearGrey, 0)) << "mode " << mode;
    }
    // The sprites' shaders and their images give the same picture, up to
    // rounding and a few pixels at the thresholded edges.
    if (renderer->liquidSpriteShader && renderer->solidSpriteShader) {
        fillDisc(30, 35, 5, 'q');
        fillDisc(45, 35, 3, 'w');
        data->renderMode = 5;
        const Frame shaded = draw();
        const Pointer<Shader> liquidShader = renderer->liquidSpriteShader;
        const Pointer<Shader> solidShader = renderer->solidSpriteShader;
        renderer->liquidSpriteShader = nullptr;
        renderer->solidSpriteShader = nullptr;
        const Frame imaged = draw();
        renderer->liquidSpriteShader = liquidShader;
        renderer->solidSpriteShader = solidShader;
        // A shifted or rescaled sprite moves thousands of values.
        int far = 0;
        for (size_t i = 0; i < shaded.pixels.size(); ++i)
            far += std::abs(shaded.pixels[i] - imaged.pixels[i]) > 3;
        EXPECT_LT(far, 200);
    }
    // Moving drops are stretched along their motion, not across it.
    for (int i = 0; i < data->count; ++i)
        if (data->position[i].x < 20)
            data->velocity[i] = float2(0.25f, 0); // 8 steps a frame: 3 times as long
    data->renderMode = 5;
    const Frame moving = draw();
    const Rgba ahead = atWorld(moving, 17.5f, 10);
    EXPECT_GT(ahead[2], ahead[0] + 50);
    EXPECT_TRUE(rgbNear(atWorld(moving, 10, 17.5f), clearGrey, 0));
    // Faster, the drops reach far beyond their size at rest, and their
    // picture is shown all the way.
    for (int i = 0; i < data->count; ++i)
        if (data->position[i].x < 20)
            data->velocity[i] = float2(0.5f, 0); // 5 times as long
    for (int mode : {5, 6}) {
        data->renderMode = mode;
        const Frame faster = draw();
        EXPECT_TRUE(rgbNear(atWorld(faster, 20, 10), water, 10)) << "mode " << mode;
        EXPECT_TRUE(rgbNear(atWorld(faster, 21.5f, 10), clearGrey, 0)) << "mode " << mode;
    }
}

TEST_F(ParticleRendererTest, DrawsCutIntoBatchesKeepEveryParticle)
{
    // A draw holds at most 65,536 vertices (16,384 sprites): the particles
    // past a cut, the last points and the first sprites, still show. The
    // crowd lies outside the view, where it costs no pixels.
    fill(30, 5, 34, 9, 'w');
    for (int i = 0; i < 65536; ++i)
        add(-50, -50, 'q');
    const int last = add(centre(100), centre(300), 'q');
    data->color[last] = Color{10, 200, 30, 255};
    data->renderMode = 1;
    EXPECT_EQ(draw().at(100, 300), (Rgba{10, 200, 30, 255}));
    data->renderMode = 5;
    EXPECT_TRUE(rgbNear(atWorld(draw(), 32, 7), wallColor, 6));
}

TEST_F(ParticleRendererTest, AttributeColoursAlsoInBlobModes)
{
    fill(5, 5, 15, 15, 'q');
    for (int i = 0; i < data->count; ++i)
        data->color[i] = Color{200, 40, 40, 255};
    data->renderMode = 5;
    EXPECT_TRUE(rgbNear(atWorld(draw(), 10, 10), (Rgba{200, 40, 40, 255}), 6));
    data->colorFlag = false;
    EXPECT_TRUE(rgbNear(atWorld(draw(), 10, 10), water, 6));
}

TEST_F(ParticleRendererTest, TexturedBodiesShowTheirPictureOrFallBackToSprites)
{
    data->bodies.resize(2);
    data->bodies[1].texture = halvesImage(8, 8, {255, 0, 0, 255}, {0, 0, 255, 255});
    data->bodies[1].textureMin = float2(10, 10);
    data->bodies[1].textureMax = float2(20, 20);
    fill(10.25f, 10.25f, 19.75f, 19.75f, 'r', 1);
    data->renderMode = 6;
    Frame frame = draw();
    const Rgba left = atWorld(frame, 12, 15);
    const Rgba right = atWorld(frame, 18, 15);
    EXPECT_GT(left[0], 200);
    EXPECT_LT(left[2], 60);
    EXPECT_GT(right[2], 200);
    EXPECT_LT(right[0], 60);

    // Mode 5 has no pictures: the body is drawn in its colour.
    const Rgba rigid = {127, 255, 102, 255};
    data->renderMode = 5;
    EXPECT_TRUE(rgbNear(atWorld(draw(), 12, 15), rigid, 6));

    data->renderMode = 6;
    data->colorFlag = false;
    frame = draw();
    EXPECT_TRUE(rgbNear(atWorld(frame, 12, 15), rigid, 6));
    EXPECT_TRUE(rgbNear(atWorld(frame, 18, 15), rigid, 6));
}

TEST_F(ParticleRendererTest, ShaderModeShowsTheCheckerboardTintedUnderLiquid)
{
    fill(35, 20, 45, 30, 'q');
    data->renderMode = 7;
    const Frame frame = draw();
    ASSERT_TRUE(renderer->blobShader);
    // Checks 64 x 48 pixels, 75 % opaque over the clear colour.
    EXPECT_TRUE(rgbNear(frame.at(32, 24), (Rgba{204, 204, 204, 255}), 3));
    EXPECT_TRUE(rgbNear(frame.at(96, 24), (Rgba{156, 156, 156, 255}), 3));
    EXPECT_TRUE(rgbNear(frame.at(32, 72), (Rgba{156, 156, 156, 255}), 3));
    const Rgba liquid = atWorld(frame, 40, 25);
    EXPECT_GT(liquid[2], liquid[0] + 50) << "water is blue";
    EXPECT_LE(liquid[2], 255);
    EXPECT_LT(liquid[0], water[0] + 3) << "tinted by the background, never brightened";

    for (int mode : {8, 9}) {
        data->renderMode = mode;
        EXPECT_EQ(draw().pixels, frame.pixels) << "mode " << mode << " draws as mode 7";
    }
}

TEST_F(ParticleRendererTest, ShaderModeRefractsTheBackgroundAtLiquidEdges)
{
    // A disc of water centred on the boundary between a white left and a
    // black right part of the background; pixels well left of the boundary
    // see white in both pictures unless the liquid's surface bends the view.
    fillDisc(20, 24, 4, 'q');
    data->renderMode = 7;
    const Rgba white = {255, 255, 255, 255};
    const Rgba black = {0, 0, 0, 255};
    data->background = plainImage(128, 96, white);
    const Frame plain = draw();
    EXPECT_TRUE(rgbNear(plain.at(400, 300), white, 0)) << "the background shows";
    data->background = splitImage(128, 96, white, black, 40); // split at pixel 160
    const Frame split = draw();
    EXPECT_TRUE(rgbNear(split.at(400, 300), black, 0));

    const int row = 24 * 8;
    int largest = 0;
    for (int x = 100; x < 150; ++x)
        largest = std::max(largest, std::abs(plain.at(x, row)[2] - split.at(x, row)[2]));
    EXPECT_GT(largest, 60) << "the liquid's left edge shows the black part";
    // Inside the disc the surface is flat and shows what lies behind it.
    EXPECT_TRUE(rgbNear(plain.at(150, row), split.at(150, row), 2));
}

TEST_F(ParticleRendererTest, ModesWithoutParticlesDrawOnlyClearForegroundAndTemplate)
{
    fill(5, 5, 60, 40, 'q');
    data->background = plainImage(16, 16, {255, 0, 0, 255});
    data->foreground = halvesImage(16, 16, {0, 255, 0, 255}, {0, 0, 0, 0});
    data->templateKind = 2;
    data->templateStart = float2(centre(300), centre(100));
    data->templateEnd = float2(centre(400), centre(200));
    for (int mode : {0, 10}) {
        data->renderMode = mode;
        const Frame frame = draw();
        EXPECT_TRUE(rgbNear(frame.at(100, 100), (Rgba{0, 255, 0, 255}), 0)) << "mode " << mode;
        EXPECT_TRUE(rgbNear(frame.at(300, 250), clearGrey, 0)) << "mode " << mode;
        EXPECT_TRUE(rgbNear(frame.at(350, 150), (Rgba{90, 90, 90, 255}), 2)) << "mode " << mode;
    }
}

TEST_F(ParticleRendererTest, ImagesFrameTheBlobModes)
{
    fill(40, 5, 50, 15, 'w');
    data->background = plainImage(16, 16, {255, 0, 0, 255});
    data->foreground = halvesImage(16, 16, {0, 255, 0, 255}, {0, 0, 0, 0});
    data->renderMode = 6;
    Frame frame = draw();
    EXPECT_TRUE(rgbNear(frame.at(100, 300), (Rgba{0, 255, 0, 255}), 0)) << "foreground over the left half";
    EXPECT_TRUE(rgbNear(frame.at(300, 300), (Rgba{255, 0, 0, 255}), 0)) << "background on the right";
    EXPECT_TRUE(rgbNear(atWorld(frame, 45, 10), wallColor, 6));

    data->renderMode = 5;
    frame = draw();
    EXPECT_TRUE(rgbNear(frame.at(100, 300), clearGrey, 0)) << "mode 5 shows no images";

    // The shader shows the background over the world box; around a smaller
    // box, and through a translucent one, the image drawn under it shows.
    data->renderMode = 7;
    data->foreground = nullptr;
    EXPECT_TRUE(rgbNear(draw().at(300, 300), (Rgba{255, 0, 0, 255}), 0));
    data->scale = 4;
    frame = draw();
    EXPECT_TRUE(rgbNear(frame.at(100, 100), (Rgba{255, 0, 0, 255}), 0)) << "inside the box";
    EXPECT_TRUE(rgbNear(frame.at(400, 300), (Rgba{255, 0, 0, 255}), 0)) << "outside the box";
    data->scale = 8;
    data->background = plainImage(16, 16, {255, 0, 0, 128});
    EXPECT_TRUE(rgbNear(draw().at(300, 300), (Rgba{255, 0, 0, 255}), 1)) << "drawn twice, unblended first";
}

TEST_F(ParticleRendererTest, GasesGlowAndEffectsShine)
{
    add(10, 10, 'g');
    data->renderMode = 5;
    Frame frame = draw();
    EXPECT_GT(atWorld(frame, 10, 10)[2], clearGrey[2] + 20);
    EXPECT_TRUE(rgbNear(atWorld(frame, 13, 10), clearGrey, 0));

    ParticleEffect& fire = *data->fireEffect;
    const int e = fire.create();
    fire.position[e] = float2(30, 30);
    fire.life[e] = 1;
    frame = draw();
    const Rgba flame = atWorld(frame, 30, 30);
    EXPECT_GT(flame[0], clearGrey[0] + 20);
    EXPECT_LT(std::abs(flame[2] - clearGrey[2]), 3) << "fire adds red and a little green";

    // In the image modes a pool's own picture replaces the glow.
    fire.texture = plainImage(4, 4, {0, 0, 255, 255});
    data->renderMode = 6;
    EXPECT_GT(atWorld(draw(), 30, 30)[2], 200);
}

TEST_F(ParticleRendererTest, TemplatesShowWhileDragged)
{
    data->renderMode = 1;
    data->templateKind = 2;
    data->templateStart = float2(centre(80), centre(80));
    data->templateEnd = float2(centre(160), centre(160));
    Frame frame = draw();
    EXPECT_TRUE(rgbNear(frame.at(120, 120), (Rgba{90, 90, 90, 255}), 2)) << "half-transparent grey area";
    EXPECT_TRUE(rgbNear(frame.at(80, 120), (Rgba{255, 255, 255, 255}), 0)) << "white outline";
    EXPECT_TRUE(rgbNear(frame.at(60, 120), clearGrey, 0));

    data->templateKind = 0;
    EXPECT_TRUE(rgbNear(draw().at(120, 120), clearGrey, 0)) << "gone after the release";

    data->templateKind = 1;
    data->templateStart = float2(centre(80), centre(300));
    data->templateEnd = float2(centre(300), centre(300));
    frame = draw();
    EXPECT_GT(frame.at(200, 300)[0], 200) << "a line preview";
    EXPECT_TRUE(rgbNear(frame.at(120, 120), clearGrey, 0)) << "not the last rectangle";

    data->templateKind = 3;
    data->templateStart = float2(centre(80), centre(80));
    data->templateEnd = float2(centre(240), centre(240));
    frame = draw();
    EXPECT_TRUE(rgbNear(frame.at(160, 160), (Rgba{90, 90, 90, 255}), 2)) << "an oval preview";
    EXPECT_TRUE(rgbNear(frame.at(90, 90), clearGrey, 0)) << "corners of its box stay clear";
}

TEST_F(ParticleRendererTest, OffscreenImagesFollowTheWorldBoxOnScreen)
{
    fill(5, 5, 15, 15, 'q');
    fill(18, 5, 21, 9, 'w'); // the liquid image holds the solids too
    data->renderMode = 6;
    draw();
    Texture* oldLiquid = renderer->liquidTexture.get();
    draw();
    EXPECT_EQ(renderer->liquidTexture.get(), oldLiquid) << "kept while the size stays";

    // Viewport, scale, world box and the images' size: the box on screen up
    // to 640 x 480 pixels, reduced to that beyond, but not below 5 pixels a
    // unit, and never larger than the viewport.
    struct Case {
        int width, height;
        float scale;
        float worldWidth, worldHeight;
        int imageWidth, imageHeight;
    };
    for (const Case& c : {Case{512, 384, 8, 64, 48, 512, 384}, Case{1280, 960, 20, 64, 48, 640, 480},
                          Case{1280, 960, 12, 64, 48, 640, 480}, Case{256, 192, 16, 64, 48, 256, 192},
                          Case{512, 384, 2, 64, 48, 128, 96}, Case{1024, 768, 4, 256, 192, 1024, 768}}) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " at scale " << c.scale);
        ASSERT_TRUE(context->resize(c.width, c.height));
        data->scale = c.scale;
        data->boundsRight = c.worldWidth;
        data->boundsTop = c.worldHeight;
        for (int mode : {6, 7}) {
            data->renderMode = mode;
            const Frame frame = draw();
            EXPECT_EQ(renderer->liquidTexture->width, c.imageWidth);
            EXPECT_EQ(renderer->liquidTexture->height, c.imageHeight);
            EXPECT_EQ(renderer->solidTexture->width, c.imageWidth);
            EXPECT_EQ(renderer->solidTexture->height, c.imageHeight);
            const Rgba inside = atWorld(frame, 10, 10);
            EXPECT_GT(inside[2], inside[0] + 50) << "mode " << mode << ": water where the particles are";
            if (c.scale * 30 < float(c.width)) {
                const Rgba outside = atWorld(frame, 30, 10);
                EXPECT_LT(outside[2], outside[0] + 10) << "mode " << mode << ": no water beside it";
            }
            // Drawn in framebuffer objects, the images leave the frame buffer
            // alone (and bound again) and give the same picture.
            ParticleRenderer::imagesInFramebuffers = true;
            glClearColor(1, 0, 0, 1);
            glClear(GL_COLOR_BUFFER_BIT);
            Pudlet::loadSceneProjection({context->width(), context->height(), data->scale});
            renderer->prerender();
            EXPECT_EQ((Frame{c.width, c.height, context->readPixels()}.at(0, 0)), (Rgba{255, 0, 0, 255}))
                << "mode " << mode;
            const Frame inFramebuffers = draw();
            ParticleRenderer::imagesInFramebuffers = false;
            EXPECT_TRUE(inFramebuffers.pixels == frame.pixels) << "mode " << mode << ": another picture";
        }
    }
    ASSERT_TRUE(context->resize(512, 384));
}

TEST_F(ParticleRendererTest, BlobModesCaptureTheWorldBoxFromItsCorner)
{
    // The world origin is the viewport's corner; the box starts left of and
    // below it, and the blob images must cover it from its own corner.
    data->boundsLeft = -8;
    data->boundsBottom = -6;
    data->boundsRight = 56;
    data->boundsTop = 42;
    fill(10, 10, 20, 20, 'q');
    fill(40, 10, 42, 30, 'w');
    for (int mode : {5, 6, 7}) {
        data->renderMode = mode;
        const Frame frame = draw();
        const Rgba liquid = atWorld(frame, 15, 15);
        EXPECT_GT(liquid[2], liquid[0] + 50) << "mode " << mode << ": water where the particles are";
        for (const float2 p : {float2(5, 15), float2(15, 5), float2(25, 15), float2(15, 25)}) {
            const Rgba beside = atWorld(frame, p.x, p.y);
            EXPECT_LT(beside[2], beside[0] + 10) << "mode " << mode << ": no water at " << p.x << ", " << p.y;
        }
        const Rgba wall = atWorld(frame, 41, 20);
        EXPECT_GT(wall[0], wall[2] + 40) << "mode " << mode << ": the wall where its particles are";
    }
}

TEST_F(ParticleRendererTest, FirstOpenGLErrorIsReportedOnce)
{
    data->renderMode = 1;
    draw();
    glEnable(0xFFFF);
    ::testing::internal::CaptureStderr();
    draw();
    glEnable(0xFFFF);
    draw();
    const std::string report = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(report, std::string("OpenGL error: 200:\t")
                          + reinterpret_cast<const char*>(gluErrorString(GL_INVALID_ENUM)) + "\n");
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    checkErrorOnce = true;
}

} // namespace
