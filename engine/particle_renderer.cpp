#include <GL/glew.h>

#include "particle_renderer.h"

#include <GL/glu.h>
#include <algorithm>
#include <cmath>
#include <limits>

#include "cg_math_ext.h"
#include "particle_data.h"
#include "particle_effect.h"
#include "shader.h"
#include "texture.h"

namespace Zeb::Kamblo {

namespace {

using namespace Attribute;

// Materials that hold their shape, drawn into the solid image.
constexpr ParticleInfo solidMask = elastic | mochi | powder | rigid | spring | wall;
// Solids that may carry their body's picture.
constexpr ParticleInfo texturableMask = elastic | mochi | rigid | wall;
// A liquid has none of these; gases and snow glow instead.
constexpr ParticleInfo nonLiquidMask = solidMask | gaseous | yuki;
// Shown in a paler version of their colour.
constexpr ParticleInfo paleMask = aerated | gaseous | inflow | yuki;
static_assert(solidMask == 0x469010 && texturableMask == 0x421010);
static_assert(nonLiquidMask == 0x1469050 && paleMask == 0x1000141);

constexpr int spriteSize = 32;
constexpr int checkerSize = 64;
constexpr double pi = 3.14159265358979323846;

bool isBlobMode(int mode) { return mode >= 5 && mode <= 9; }
// Textured bodies, background and foreground belong to the image modes.
bool isImageMode(int mode) { return mode >= 6 && mode <= 9; }
bool drawsParticles(int mode) { return mode >= 1 && mode <= 9; }

void setColor(Color c) { glColor4ub(c.red, c.green, c.blue, c.alpha); }

uint8_t alphaByte(double a) { return uint8_t(int(std::clamp(a, 0.0, 1.0) * 255)); }

// Fills a sprite with white whose alpha is alpha(x, y), x and y running from
// -1 to 1 across the image.
template <class Alpha>
Pointer<Texture> makeSprite(Alpha alpha)
{
    Pointer<Texture> sprite = Texture::withSize(spriteSize, spriteSize);
    for (int j = 0; j < spriteSize; ++j) {
        for (int i = 0; i < spriteSize; ++i) {
            const double x = 2.0 * i / spriteSize - 1;
            const double y = 2.0 * j / spriteSize - 1;
            uint8_t* p = &sprite->pixels[sprite->offset(i, j)];
            p[0] = p[1] = p[2] = 255;
            p[3] = alpha(x, y);
        }
    }
    return sprite;
}

// Replaces image by a new one when its size is no longer the one wanted, and
// uploads it so that its uploaded size is known before it is used.
void followSize(Pointer<Texture>& image, int width, int height)
{
    if (image->width == width && image->height == height)
        return;
    image = Texture::withSize(width, height);
    image->bind();
}

// Pixels of an off-screen image along one side: as many as wanted, at most
// the viewport's (the image is copied from the frame buffer), at least one.
int offscreenPixels(float wanted, int viewportPixels)
{
    if (!(wanted >= 1))
        return 1;
    if (!(wanted < float(viewportPixels)))
        return std::max(viewportPixels, 1);
    return int(std::ceil(wanted));
}

// Framebuffer objects: core in OpenGL 3.0 and in WebGL, an extension before.
bool hasFramebufferObjects()
{
#if defined(__EMSCRIPTEN__)
    return true;
#else
    return loadGLEntryPoints() && glGenFramebuffers && glBindFramebuffer && glFramebufferTexture2D &&
           glCheckFramebufferStatus;
#endif
}

// The sprite quad's corners and texture coordinates, in drawing order.
constexpr float spriteCorners[4][4] = {{2, 2, 1, 1}, {2, -2, 1, 0}, {-2, -2, 0, 0}, {-2, 2, 0, 1}};

// WebGL indexes the quads it emulates with 16 bits: at most 65,536 corners
// a draw (a whole number of quads, points and lines).
constexpr size_t maxVerticesPerDraw = 65536;

} // namespace

bool ParticleRenderer::imagesInFramebuffers = false;

ParticleRenderer::ParticleRenderer(const Pointer<ParticleData>& data) : data(data) {}

ParticleRenderer::~ParticleRenderer() = default;

void ParticleRenderer::initialize()
{
    liquidTexture = Texture::withSize(1, 1);
    solidTexture = Texture::withSize(1, 1);
    liquidSprite = makeSprite([](double x, double y) {
        const double r = std::hypot(2 * x, 2 * y);
        return alphaByte(0.15 * (2 - r) / (r + 0.05));
    });
    solidSprite = makeSprite([](double x, double y) -> uint8_t {
        const double r = std::hypot(2 * x, 2 * y);
        const double d = r - 0.15;
        return d > 0 ? alphaByte(0.12 * (2 - r) / d) : 255;
    });
    glowSprite = makeSprite([](double x, double y) {
        const double a = std::exp(-(x * x + y * y) / 2) - std::exp(-0.5);
        return alphaByte(std::max(a, 0.0));
    });
#if defined(__EMSCRIPTEN__)
    discSprite = makeSprite([](double x, double y) -> uint8_t { return x * x + y * y <= 1 ? 255 : 0; });
    // Transparent and opaque white: the fade across a streak's edge.
    streakEdge = Texture::withSize(2, 1);
    streakEdge->pixels = {255, 255, 255, 0, 255, 255, 255, 255};
#endif
    checkerTexture = Texture::withSize(checkerSize, checkerSize);
    for (int j = 0; j < checkerSize; ++j) {
        for (int i = 0; i < checkerSize; ++i) {
            uint8_t* p = &checkerTexture->pixels[checkerTexture->offset(i, j)];
            p[0] = p[1] = p[2] = ((i ^ j) & 8) == 0 ? 255 : 191;
            p[3] = 191;
        }
    }
    // The sprite images above and these shaders give the same alpha.
    blobShader = Shader::withString(GL_FRAGMENT_SHADER, blobShaderSource);
    liquidSpriteShader = Shader::withString(GL_FRAGMENT_SHADER, liquidSpriteShaderSource);
    solidSpriteShader = Shader::withString(GL_FRAGMENT_SHADER, solidSpriteShaderSource);
    checkError(100);
}

void ParticleRenderer::prerender()
{
    if (!initialized) {
        initialize();
        initialized = true;
    }
    updateRenderColors();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    if (isBlobMode(data->renderMode))
        prerenderBlobs();
    glPopAttrib();
    checkError(200);
    prerendered = true;
}

void ParticleRenderer::updateRenderColors()
{
    ParticleData& d = *data;
    for (int i = 0; i < d.count; ++i) {
        if (!d.colorFlag) {
            d.renderColor[i] = ParticleData::colorForInfo(d.info[i]);
            continue;
        }
        Color c = d.color[i];
        if (hasAny(d.info[i], paleMask)) {
            c.red = uint8_t((c.red + 255) / 2);
            c.green = uint8_t((c.green + 255) / 2);
            c.blue = uint8_t((c.blue + 255) / 2);
        } else if (hasAny(d.info[i], hot)) {
            c.red = 255;
        }
        d.renderColor[i] = c;
    }
}

void ParticleRenderer::prerenderBlobs()
{
    ParticleData& d = *data;
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    // A large picture gets images of the world box at a reduced size: the
    // fields are soft, and the shader's step is set in screen pixels.
    const float worldWidth = d.boundsRight - d.boundsLeft;
    const float worldHeight = d.boundsTop - d.boundsBottom;
    boxPixelsX_ = worldWidth * d.scale;
    boxPixelsY_ = worldHeight * d.scale;
    float reduction = 1;
    if (boxPixelsX_ * boxPixelsY_ > offscreenPixelBudget)
        reduction = std::sqrt(offscreenPixelBudget / (boxPixelsX_ * boxPixelsY_));
    reduction = std::max(reduction, std::min(1.0f, offscreenMinDensity / d.scale));
    const int width = offscreenPixels(boxPixelsX_ * reduction, viewport[2]);
    const int height = offscreenPixels(boxPixelsY_ * reduction, viewport[3]);
    followSize(liquidTexture, width, height);
    followSize(solidTexture, width, height);

    // Both images' framebuffers, before anything is drawn: where either
    // cannot be drawn into, the images are drawn in the frame buffer.
    GLint previousFramebuffer = 0;
    bool inFramebuffers = false;
    if (imagesInFramebuffers && hasFramebufferObjects()) {
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previousFramebuffer);
        inFramebuffers = bindImageFramebuffer(liquidFramebuffer_, liquidTexture) &&
                         bindImageFramebuffer(solidFramebuffer_, solidTexture);
        if (!inFramebuffers)
            glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previousFramebuffer));
    }

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    // The world box, from its lower-left corner, fills the lower-left part of
    // the frame buffer that the off-screen images copy (or the whole of the
    // image's own; the viewport stays the frame's, so every pixel lands
    // where it would in the frame buffer).
    const float sx = float(liquidTexture->textureWidth) / boxPixelsX_;
    const float sy = float(liquidTexture->textureHeight) / boxPixelsY_;
    glScalef(sx, sy, 1);
    glTranslatef(-d.boundsLeft, -d.boundsBottom, 0);

    // Alpha accumulates from 0, and each sprite adds its colour only until the
    // pixel's alpha is saturated. The host's clear colour may be opaque, which
    // would leave no room for any sprite.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA_SATURATE, GL_ONE);
    glEnable(GL_TEXTURE_2D);
    glClearColor(0, 0, 0, 0);
    // Only the part that is copied needs clearing.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, liquidTexture->textureWidth, liquidTexture->textureHeight);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    checkError(201);

    // A degenerate world box or scale has no picture to draw.
    const bool drawable = std::isfinite(sx) && std::isfinite(sy) && std::isfinite(d.boundsLeft) &&
                          std::isfinite(d.boundsBottom);
    imageScaleX_ = float(liquidTexture->textureWidth) / worldWidth;
    imageScaleY_ = float(liquidTexture->textureHeight) / worldHeight;
    tileColumns_ = (liquidTexture->textureWidth + tileSize - 1) / tileSize;
    tileRows_ = (liquidTexture->textureHeight + tileSize - 1) / tileSize;
    solidTiles_.assign(size_t(tileColumns_) * size_t(tileRows_), 0);
    if (drawable) {
        const int mode = d.renderMode;
        if (isImageMode(mode) && d.colorFlag)
            prerenderTexturedBodies(mode);
        checkError(202);
        prerenderSolids(mode);
    }
    if (inFramebuffers) {
        // The liquids are drawn over the solids.
        liquidTexture->copy();
        bindImageFramebuffer(liquidFramebuffer_, liquidTexture);
    } else {
        solidTexture->copy();
    }
    checkError(203);
    liquidTiles_ = solidTiles_;
    if (drawable)
        prerenderLiquids();
    if (inFramebuffers)
        glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previousFramebuffer));
    else
        liquidTexture->copy();
    checkError(204);
    glPopMatrix();
}

bool ParticleRenderer::bindImageFramebuffer(ImageFramebuffer& f, const Pointer<Texture>& image)
{
    if (f.name == 0)
        glGenFramebuffers(1, &f.name);
    glBindFramebuffer(GL_FRAMEBUFFER, f.name);
    // Attached and checked once per image: the check waits for the GPU.
    if (f.image != image) {
        if (image->glName < 0) {
            glPushAttrib(GL_TEXTURE_BIT);
            image->bind(); // uploads it
            glPopAttrib();
        }
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, GLuint(image->glName), 0);
        f.image = image;
        f.complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }
    return f.complete;
}

bool ParticleRenderer::isTexturedBodyParticle(int i, int mode) const
{
    const ParticleData& d = *data;
    if (!isImageMode(mode) || !d.colorFlag || !hasAny(d.info[i], solidMask) || !hasAny(d.info[i], texturableMask))
        return false;
    const size_t b = d.body[i];
    return b < d.bodies.size() && d.bodies[b].texture;
}

void ParticleRenderer::prerenderTexturedBodies(int mode)
{
    ParticleData& d = *data;
    glPushAttrib(GL_TRANSFORM_BIT);
    for (size_t b = 0; b < d.bodies.size(); ++b) {
        const ParticleBody& body = d.bodies[b];
        if (!body.texture)
            continue;
        body.texture->bind();
        // Maps the body's image rectangle to texture coordinates 0..1.
        glMatrixMode(GL_TEXTURE);
        glPushMatrix();
        glScalef(0.5f, 0.5f, 1);
        glTranslatef(1, 1, 0);
        glOrtho(body.textureMin.x, body.textureMax.x, body.textureMin.y, body.textureMax.y, -1, 1);
        for (int i = d.count - 1; i >= 0; --i) {
            if (d.body[i] != b || !isTexturedBodyParticle(i, mode))
                continue;
            // The fan is a unit square turned about the particle.
            markRectangle(solidTiles_, d.position[i].x - 1.5f, d.position[i].y - 1.5f, d.position[i].x + 1.5f,
                          d.position[i].y + 1.5f);
            glMatrixMode(GL_MODELVIEW);
            glPushMatrix();
            glTranslatef(d.position[i].x, d.position[i].y, 0);
            glRotatef(float(d.angle[i] * 180 / pi), 0, 0, 1);
            glMatrixMode(GL_TEXTURE);
            glPushMatrix();
            glTranslatef(d.anchor[i].x, d.anchor[i].y, 0);
            drawTexturedFan();
            glPopMatrix();
            glMatrixMode(GL_MODELVIEW);
            glPopMatrix();
        }
        glMatrixMode(GL_TEXTURE);
        glPopMatrix();
    }
    glPopAttrib();
}

void ParticleRenderer::addSprite(float2 centre, float2 column0, float2 column1, Color color)
{
    for (const auto& c : spriteCorners) {
        SpriteVertex& v = sprites_.emplace_back();
        v.x = centre.x + c[0] * column0.x + c[1] * column1.x;
        v.y = centre.y + c[0] * column0.y + c[1] * column1.y;
        v.s = c[2];
        v.t = c[3];
        v.color[0] = color.red;
        v.color[1] = color.green;
        v.color[2] = color.blue;
        v.color[3] = color.alpha;
    }
}

void ParticleRenderer::drawVertices(unsigned mode, const SpriteVertex* vertices, int count, bool ownColors)
{
    if (count <= 0)
        return;
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    constexpr GLsizei stride = sizeof(SpriteVertex);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, stride, &vertices[0].x);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, stride, &vertices[0].s);
    if (ownColors) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_UNSIGNED_BYTE, stride, vertices[0].color);
    }
    glDrawArrays(GLenum(mode), 0, count);
    glPopClientAttrib();
}

void ParticleRenderer::drawSprites(bool ownColors) { drawBatch(GL_QUADS, ownColors); }

void ParticleRenderer::addVertex(float x, float y, Color c)
{
    sprites_.push_back({x, y, 0, 0, {c.red, c.green, c.blue, c.alpha}});
}

void ParticleRenderer::drawBatch(unsigned mode, bool ownColors)
{
    // As few calls as the pass allows: per-sprite calls cost more in the
    // driver than the sprites' pixels do in a small picture.
    for (size_t first = 0; first < sprites_.size(); first += maxVerticesPerDraw) {
        const size_t count = std::min(sprites_.size() - first, maxVerticesPerDraw);
        drawVertices(mode, &sprites_[first], int(count), ownColors);
    }
    sprites_.clear();
}

void ParticleRenderer::drawUnitQuad()
{
    static constexpr SpriteVertex quad[4] = {
        {-1, 1, 0, 1, {}}, {-1, -1, 0, 0, {}}, {1, -1, 1, 0, {}}, {1, 1, 1, 1, {}}};
    drawVertices(GL_TRIANGLE_FAN, quad, 4, false);
}

void ParticleRenderer::drawTexturedFan()
{
    // Opaque at the particle, transparent at the square's corners.
    static constexpr SpriteVertex fan[6] = {{0, 0, 0, 0, {255, 255, 255, 255}}, {1, 1, 1, 1, {255, 255, 255, 0}},
                                            {1, -1, 1, -1, {255, 255, 255, 0}}, {-1, -1, -1, -1, {255, 255, 255, 0}},
                                            {-1, 1, -1, 1, {255, 255, 255, 0}}, {1, 1, 1, 1, {255, 255, 255, 0}}};
    drawVertices(GL_TRIANGLE_FAN, fan, 6, true);
}

void ParticleRenderer::prerenderSolids(int mode)
{
    ParticleData& d = *data;
    solidSprite->bind();
    for (int i = d.count - 1; i >= 0; --i) {
        if (!hasAny(d.info[i], solidMask) || isTexturedBodyParticle(i, mode))
            continue;
        addSprite(d.position[i], float2(1, 0), float2(0, 1), d.renderColor[i]);
    }
    markSprites(solidTiles_);
    if (solidSpriteShader)
        solidSpriteShader->enable();
    drawSprites(true);
    if (solidSpriteShader)
        solidSpriteShader->disable();
}

void ParticleRenderer::prerenderLiquids()
{
    ParticleData& d = *data;
    liquidSprite->bind();
    const float k = float(d.timeStepsPerFrame);
    for (int i = d.count - 1; i >= 0; --i) {
        if (hasAny(d.info[i], nonLiquidMask))
            continue;
        const float2 v = d.velocity[i];
        const float s = length(v);
        if (s <= 0) {
            addSprite(d.position[i], float2(1, 0), float2(0, 1), d.renderColor[i]);
        } else {
            // Stretches the drop by 1 + k·s along its motion.
            const float xy = k * v.x * v.y / s;
            addSprite(d.position[i], float2(1 + k * (v.x * v.x) / s, xy), float2(xy, 1 + k * (v.y * v.y) / s),
                      d.renderColor[i]);
        }
    }
    markSprites(liquidTiles_);
    if (liquidSpriteShader)
        liquidSpriteShader->enable();
    drawSprites(true);
    if (liquidSpriteShader)
        liquidSpriteShader->disable();
}

void ParticleRenderer::markSprites(std::vector<uint8_t>& tiles) const
{
    for (size_t v = 0; v + 4 <= sprites_.size(); v += 4) {
        const SpriteVertex* q = &sprites_[v];
        // Any NaN corner reaches markRectangle (min and max would drop it).
        const float nan = std::isnan(q[0].x + q[1].x + q[2].x + q[3].x + q[0].y + q[1].y + q[2].y + q[3].y)
                              ? std::numeric_limits<float>::quiet_NaN()
                              : 0.0f;
        const auto [x0, x1] = std::minmax({q[0].x, q[1].x, q[2].x, q[3].x});
        const auto [y0, y1] = std::minmax({q[0].y, q[1].y, q[2].y, q[3].y});
        markRectangle(tiles, x0 + nan, y0, x1, y1);
    }
}

void ParticleRenderer::markRectangle(std::vector<uint8_t>& tiles, float x0, float y0, float x1, float y1) const
{
    const ParticleData& d = *data;
    // A quad covers the pixels whose centres it holds, and the linear filter
    // lets a texel show up to a pixel around it.
    const float ax = (x0 - d.boundsLeft) * imageScaleX_;
    const float bx = (x1 - d.boundsLeft) * imageScaleX_;
    const float ay = (y0 - d.boundsBottom) * imageScaleY_;
    const float by = (y1 - d.boundsBottom) * imageScaleY_;
    if (std::isnan(ax) || std::isnan(bx) || std::isnan(ay) || std::isnan(by)) {
        // Where a quad with such corners lands is anyone's guess.
        std::fill(tiles.begin(), tiles.end(), uint8_t(1));
        return;
    }
    // A reversed box turns the image over.
    constexpr float margin = 2;
    const float px0 = std::min(ax, bx) - margin;
    const float px1 = std::max(ax, bx) + margin;
    const float py0 = std::min(ay, by) - margin;
    const float py1 = std::max(ay, by) + margin;
    const auto tile = [](float p, int count) {
        return int(std::clamp(std::floor(p / float(tileSize)), 0.0f, float(count - 1)));
    };
    if (px1 < 0 || py1 < 0 || px0 >= float(tileColumns_ * tileSize) || py0 >= float(tileRows_ * tileSize))
        return;
    const int c0 = tile(px0, tileColumns_);
    const int c1 = tile(px1, tileColumns_);
    const int r0 = tile(py0, tileRows_);
    const int r1 = tile(py1, tileRows_);
    for (int r = r0; r <= r1; ++r)
        std::fill_n(tiles.begin() + ptrdiff_t(r) * tileColumns_ + c0, c1 - c0 + 1, uint8_t(1));
}

void ParticleRenderer::drawImageQuad(const std::vector<uint8_t>& tiles) const
{
    if (tiles.empty() || tiles.size() != size_t(tileColumns_) * size_t(tileRows_))
        return;
    if (std::all_of(tiles.begin(), tiles.end(), [](uint8_t t) { return t != 0; })) {
        drawUnitQuad();
        return;
    }
    // Runs of marked tiles along each row, as parts of the whole quad. Shared
    // edges come from the same expressions, so no pixel is drawn twice.
    const auto edge = [](int tile, int pixels) { return std::min(1.0f, float(tile * tileSize) / float(pixels)); };
    const int width = liquidTexture->textureWidth;
    const int height = liquidTexture->textureHeight;
    std::vector<SpriteVertex> quads;
    for (int r = 0; r < tileRows_; ++r) {
        const float t0 = edge(r, height);
        const float t1 = edge(r + 1, height);
        const uint8_t* row = &tiles[size_t(r) * size_t(tileColumns_)];
        for (int c = 0; c < tileColumns_;) {
            if (!row[c]) {
                ++c;
                continue;
            }
            const int start = c;
            while (c < tileColumns_ && row[c])
                ++c;
            const float s0 = edge(start, width);
            const float s1 = edge(c, width);
            quads.push_back({2 * s0 - 1, 2 * t1 - 1, s0, t1, {}});
            quads.push_back({2 * s0 - 1, 2 * t0 - 1, s0, t0, {}});
            quads.push_back({2 * s1 - 1, 2 * t0 - 1, s1, t0, {}});
            quads.push_back({2 * s1 - 1, 2 * t1 - 1, s1, t1, {}});
        }
    }
    for (size_t first = 0; first < quads.size(); first += maxVerticesPerDraw)
        drawVertices(GL_QUADS, &quads[first], int(std::min(quads.size() - first, maxVerticesPerDraw)), false);
}

void ParticleRenderer::render()
{
    if (!prerendered)
        return;
    ParticleData& d = *data;
    const int mode = d.renderMode;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_MODELVIEW);
    if (d.clearFlag) {
        glClearColor(d.clearColorRed, d.clearColorGreen, d.clearColorBlue, 0);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    // The shader draws the background itself where it covers the frame.
    const bool shaderDrawsBackground = mode >= 7 && isBlobMode(mode) && blobShader && isOpaque(d.background) &&
                                       backgroundCoversViewport();
    if (isImageMode(mode) && d.background && !shaderDrawsBackground)
        renderImage(d.background);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    renderParticles(mode);
    // The foreground covers everything in the image modes, and is all that
    // shows of the scene in a mode that draws no particles.
    if ((isImageMode(mode) || !drawsParticles(mode)) && d.foreground)
        renderImage(d.foreground);
    if (d.templateKind != 0)
        renderTemplate();
    glPopAttrib();
    checkError(300);
}

void ParticleRenderer::renderImage(const Pointer<Texture>& image)
{
    glPushAttrib(GL_TEXTURE_BIT | GL_CURRENT_BIT);
    glEnable(GL_TEXTURE_2D);
    glPushMatrix();
    glLoadIdentity();
    image->bind();
    glColor4f(1, 1, 1, 1);
    drawUnitQuad();
    glPopMatrix();
    glPopAttrib();
}

void ParticleRenderer::renderParticles(int mode)
{
    switch (mode) {
    case 1:
        renderPoints();
        break;
    case 2:
        renderCrosses();
        break;
    case 3:
        renderDiscs();
        break;
    case 4:
        renderStreaks();
        renderDiscs();
        break;
    default:
        if (isBlobMode(mode))
            renderBlobs(mode);
        break;
    }
}

void ParticleRenderer::renderPoints()
{
    const ParticleData& d = *data;
    for (int i = 0; i < d.count; ++i)
        addVertex(d.position[i].x, d.position[i].y, d.renderColor[i]);
    drawBatch(GL_POINTS, true);
}

void ParticleRenderer::renderDiscs()
{
#if defined(__EMSCRIPTEN__)
    // WebGL draws every point square: a disc is a sprite whose picture the
    // alpha test cuts out, as wide as the smooth point would be. The sprite's
    // corners lie at twice its columns and its disc fills half its width.
    const ParticleData& d = *data;
    const float radius = (1 + d.scale) / (2 * d.scale);
    glEnable(GL_TEXTURE_2D);
    discSprite->bind();
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.5f);
    for (int i = 0; i < d.count; ++i)
        addSprite(d.position[i], float2(radius / 2, 0), float2(0, radius / 2), d.renderColor[i]);
    drawSprites(true);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_TEXTURE_2D);
#else
    glEnable(GL_POINT_SMOOTH);
    glPointSize(1 + data->scale);
    renderPoints();
#endif
}

void ParticleRenderer::renderCrosses()
{
    const ParticleData& d = *data;
    for (int i = 0; i < d.count; ++i) {
        const float x = d.position[i].x;
        const float y = d.position[i].y;
        const float c = std::cos(d.angle[i]);
        const float s = std::sin(d.angle[i]);
        const Color color = d.renderColor[i];
        addVertex(x - 0.5f * c, y - 0.5f * s, color);
        addVertex(x + 0.5f * c, y + 0.5f * s, color);
        addVertex(x + 0.5f * s, y - 0.5f * c, color);
        addVertex(x - 0.5f * s, y + 0.5f * c, color);
    }
    drawBatch(GL_LINES, true);
}

void ParticleRenderer::renderStreaks()
{
    const ParticleData& d = *data;
    const float k = float(d.timeStepsPerFrame);
#if defined(__EMSCRIPTEN__)
    // WebGL draws no line wider than a pixel: each streak is a quad one
    // scene unit (the desktop's line width of scale pixels) across. A strip
    // a pixel wide along each side fades out over the edge, as the smooth
    // line's coverage does: the colours fade along the streak, the edge
    // image across it (each depends on one direction only, so the product
    // comes out the same whichever way the quads are cut into triangles).
    const float edge = d.scale > 0 ? 0.5f / d.scale : 0; // half a pixel
    const float inner = std::max(0.5f - edge, 0.0f);
    // From one outer edge to the other: faded, full, full, faded; the edge
    // image's texel centres are transparent and opaque.
    const float offsets[4] = {-0.5f - edge, -inner, inner, 0.5f + edge};
    const float across[4] = {0.25f, 0.75f, 0.75f, 0.25f};
    for (int i = 0; i < d.count; ++i) {
        const Color c = d.renderColor[i];
        const float2 head = d.position[i];
        const float2 tail = head - k * d.velocity[i];
        const float2 along = head - tail;
        const float l = length(along);
        if (!(l > 0) || !std::isfinite(edge))
            continue;
        const float2 unit = float2(-along.y, along.x) * (1.0f / l);
        for (int strip = 0; strip < 3; ++strip) {
            const float2 a = unit * offsets[strip];
            const float2 b = unit * offsets[strip + 1];
            const float sa = across[strip];
            const float sb = across[strip + 1];
            sprites_.push_back({tail.x + a.x, tail.y + a.y, sa, 0, {c.red, c.green, c.blue, 0}});
            sprites_.push_back({head.x + a.x, head.y + a.y, sa, 0, {c.red, c.green, c.blue, c.alpha}});
            sprites_.push_back({head.x + b.x, head.y + b.y, sb, 0, {c.red, c.green, c.blue, c.alpha}});
            sprites_.push_back({tail.x + b.x, tail.y + b.y, sb, 0, {c.red, c.green, c.blue, 0}});
        }
    }
    glEnable(GL_TEXTURE_2D);
    streakEdge->bind();
    drawBatch(GL_QUADS, true);
    glDisable(GL_TEXTURE_2D);
#else
    glEnable(GL_LINE_SMOOTH);
    glLineWidth(d.scale);
    for (int i = 0; i < d.count; ++i) {
        const Color c = d.renderColor[i];
        const float2 tail = d.position[i] - k * d.velocity[i];
        addVertex(tail.x, tail.y, Color{c.red, c.green, c.blue, 0});
        addVertex(d.position[i].x, d.position[i].y, c);
    }
    drawBatch(GL_LINES, true);
#endif
}

void ParticleRenderer::renderBlobs(int mode)
{
    ParticleData& d = *data;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glEnable(GL_TEXTURE_2D);
    glPushMatrix();
    // The unit quad now covers the world box, showing the off-screen images.
    glTranslatef(d.boundsLeft, d.boundsBottom, 0);
    glScalef((d.boundsRight - d.boundsLeft) / 2, (d.boundsTop - d.boundsBottom) / 2, 1);
    glTranslatef(1, 1, 0);
    if (mode >= 7 && blobShader) {
        glPushAttrib(GL_TEXTURE_BIT);
        blobShader->enable();
        glActiveTexture(GL_TEXTURE0);
        solidTexture->bind();
        blobShader->setUniform("solidTexture", 0);
        glActiveTexture(GL_TEXTURE1);
        liquidTexture->bind();
        blobShader->setUniform("liquidTexture", 1);
        glActiveTexture(GL_TEXTURE2);
        (d.background ? d.background : checkerTexture)->bind();
        blobShader->setUniform("backgroundTexture", 2);
        // Normals from a step of 5 screen pixels, whatever the images' size.
        const float stepX = boxPixelsX_ >= 1 && std::isfinite(boxPixelsX_) ? 5 / boxPixelsX_
                                                                           : 5.0f / float(liquidTexture->textureWidth);
        const float stepY = boxPixelsY_ >= 1 && std::isfinite(boxPixelsY_) ? 5 / boxPixelsY_
                                                                           : 5.0f / float(liquidTexture->textureHeight);
        blobShader->setUniform("deltaX", stepX, 0.0f);
        blobShader->setUniform("deltaY", 0.0f, stepY);
        // Where neither image holds anything, the shader's mixes keep the
        // background as it is (the normals count only where there is liquid
        // or a solid): plain texturing draws the same pixels there.
        std::vector<uint8_t> shaded = liquidTiles_;
        if (shaded.size() != size_t(tileColumns_) * size_t(tileRows_))
            shaded.assign(size_t(tileColumns_) * size_t(tileRows_), 1);
        drawImageQuad(shaded);
        glActiveTexture(GL_TEXTURE0);
        blobShader->disable();
        for (uint8_t& t : shaded)
            t = !t;
        (d.background ? d.background : checkerTexture)->bind();
        glColor4f(1, 1, 1, 1);
        drawImageQuad(shaded);
        glPopAttrib();
    } else {
        glEnable(GL_ALPHA_TEST);
        liquidTexture->bind();
        if (d.background) {
            glColor4f(1, 1, 1, 0.7f);
            glAlphaFunc(GL_GREATER, 0.5f);
        } else {
            glColor4f(1, 1, 1, 1);
            glAlphaFunc(GL_GREATER, 0.7f);
        }
        drawImageQuad(liquidTiles_);
        solidTexture->bind();
        glColor4f(1, 1, 1, 1);
        glAlphaFunc(GL_GREATER, 0.7f);
        drawImageQuad(solidTiles_);
        glDisable(GL_ALPHA_TEST);
    }
    glPopMatrix();
    checkError(301);

    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glowSprite->bind();
    for (int i = 0; i < d.count; ++i) {
        if (!hasAny(d.info[i], gaseous | yuki) || hasAny(d.info[i], solidMask))
            continue;
        Color c = d.renderColor[i];
        c.alpha = uint8_t(c.alpha / 2);
        addSprite(d.position[i], float2(1, 0), float2(0, 1), c);
    }
    drawSprites(true);
    checkError(302);

    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    renderEffect(d.fireEffect, Color{255, 51, 0, 127});
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    renderEffect(d.splashEffect, Color{252, 255, 255, 229});
    renderEffect(d.bubbleEffect, Color{252, 255, 255, 127});
    glPopAttrib();
}

void ParticleRenderer::renderEffect(const Pointer<ParticleEffect>& effect, Color color)
{
    if (!effect)
        return;
    glPushAttrib(GL_TEXTURE_BIT);
    glEnable(GL_TEXTURE_2D);
    if (data->renderMode >= 6 && effect->texture) {
        glColor4f(1, 1, 1, 1);
        effect->texture->bind();
    } else {
        setColor(color);
        glowSprite->bind();
    }
    for (int i = 0; i < effect->count; ++i) {
        const float size = effect->life[i];
        addSprite(effect->position[i], float2(size, 0), float2(0, size), color);
    }
    drawSprites(false);
    glPopAttrib();
    checkError(400);
}

// True when the world box covers the whole viewport under the current
// transform, unturned; the shader's quad then hides everything under it.
bool ParticleRenderer::backgroundCoversViewport() const
{
    const ParticleData& d = *data;
    GLfloat m[16];
    GLfloat p[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    // Only a projection without turn or perspective is followed.
    if (m[1] != 0 || m[4] != 0 || m[3] != 0 || m[7] != 0 || m[15] != 1 || p[1] != 0 || p[4] != 0 || p[3] != 0 ||
        p[7] != 0 || p[15] != 1)
        return false;
    const auto clipX = [&](float x) { return p[0] * (m[0] * x + m[12]) + p[12]; };
    const auto clipY = [&](float y) { return p[5] * (m[5] * y + m[13]) + p[13]; };
    const float x0 = clipX(d.boundsLeft);
    const float x1 = clipX(d.boundsRight);
    const float y0 = clipY(d.boundsBottom);
    const float y1 = clipY(d.boundsTop);
    return std::min(x0, x1) <= -1 && std::max(x0, x1) >= 1 && std::min(y0, y1) <= -1 && std::max(y0, y1) >= 1;
}

bool ParticleRenderer::isOpaque(const Pointer<Texture>& image)
{
    if (!image)
        return false;
    if (image != checkedImage_) {
        checkedImage_ = image;
        checkedImageOpaque_ = true;
        for (size_t i = 3; i < image->pixels.size() && checkedImageOpaque_; i += 4)
            checkedImageOpaque_ = image->pixels[i] == 255;
    }
    return checkedImageOpaque_;
}

void ParticleRenderer::renderTemplate()
{
    const ParticleData& d = *data;
    const float2 a = d.templateStart;
    const float2 b = d.templateEnd;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    // The rectangle is the template's own shape; the line and the oval get a
    // preview of theirs. Other kinds show the last shape drawn.
    const auto corner = [](float x, float y) { return SpriteVertex{x, y, 0, 0, {}}; };
    if (d.templateKind == 1) {
        templateShape_ = {corner(a.x, a.y), corner(b.x, b.y)};
        templateFilled_ = false;
    } else if (d.templateKind == 2) {
        templateShape_ = {corner(a.x, a.y), corner(b.x, a.y), corner(b.x, b.y), corner(a.x, b.y)};
        templateFilled_ = true;
    } else if (d.templateKind == 3) {
        constexpr int segments = 64;
        const float cx = (a.x + b.x) / 2;
        const float cy = (a.y + b.y) / 2;
        const float rx = (b.x - a.x) / 2;
        const float ry = (b.y - a.y) / 2;
        templateShape_.clear();
        for (int k = 0; k < segments; ++k) {
            const double t = 2 * pi * k / segments;
            templateShape_.push_back(corner(cx + rx * float(std::cos(t)), cy + ry * float(std::sin(t))));
        }
        templateFilled_ = true;
    }
    // A convex shape: its fan covers what the polygon covers.
    const int count = int(templateShape_.size());
    glColor4f(0.5f, 0.5f, 0.5f, 0.5f);
    drawVertices(templateFilled_ ? GL_TRIANGLE_FAN : GL_LINES, templateShape_.data(), count, false);
    glColor4f(1, 1, 1, 1);
    drawVertices(templateFilled_ ? GL_LINE_LOOP : GL_LINES, templateShape_.data(), count, false);
    glPopAttrib();
}

} // namespace Zeb::Kamblo
