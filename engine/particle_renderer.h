#pragma once
// Draws one scene with OpenGL 2.0: points, crosses, discs, streaks, and the
// blob modes that accumulate soft sprites off screen and threshold them.
#include <cstdint>
#include <vector>

#include "cg_math.h"
#include "color.h"
#include "object.h"

namespace Zeb::Kamblo {

class ParticleData;
class ParticleEffect;
class Shader;
class Texture;

class ParticleRenderer : public Object {
public:
    explicit ParticleRenderer(const Pointer<ParticleData>& data);
    ParticleRenderer(const ParticleRenderer&) = delete;
    ParticleRenderer& operator=(const ParticleRenderer&) = delete;
    ~ParticleRenderer() override;

    // Creates the sprites, textures and shaders in the current context; the
    // first prerender() calls it.
    void initialize();
    // Display colours, and in the blob modes the two off-screen images. Runs
    // under the host's pixel-space projection scaled by the scene's scale.
    void prerender();
    // The visible frame; nothing before the first prerender().
    void render();
    // One effect pool as glow sprites (or the pool's own image).
    void renderEffect(const Pointer<ParticleEffect>& effect, Color color);

    Pointer<ParticleData> data;
    bool initialized = false;
    bool prerendered = false;
    Pointer<Texture> liquidTexture; // liquids and solids together
    Pointer<Texture> solidTexture;  // solids alone
    Pointer<Texture> liquidSprite;
    Pointer<Texture> solidSprite;
    Pointer<Texture> glowSprite;
    Pointer<Texture> discSprite; // round points where GL has none (WebGL)
    Pointer<Texture> streakEdge; // smooth edges of wide lines (WebGL)
    Pointer<Texture> checkerTexture;
    Pointer<Shader> blobShader;
    // Draw the liquid and solid sprites where shaders run (their images
    // otherwise).
    Pointer<Shader> liquidSpriteShader;
    Pointer<Shader> solidSpriteShader;

    // The off-screen images hold the world box at its size on screen up to
    // this many pixels, and are reduced to it beyond: the sprites cover each
    // pixel about 28 times, so their pixels are most of a blob frame's cost,
    // while the fields are soft and a large picture hides the coarser grid.
    // Small pictures are cheap, and there the grid would show at the edges.
    static constexpr float offscreenPixelBudget = 640 * 480;
    // Below this many pixels a world unit (a sprite 20 pixels wide) thin
    // features would be lost: the images keep it while the screen has it.
    static constexpr float offscreenMinDensity = 5;

    // Draws the off-screen images straight into their textures through
    // framebuffer objects, where GL has them, instead of into the frame
    // buffer and copying them out: the frame buffer then needs no alpha (a
    // browser page can show an opaque canvas without a pass to fill its
    // alpha), and one copy of the two goes. The pictures are the same.
    // Process-wide; off at the start.
    static bool imagesInFramebuffers;

private:
    // One vertex of a sprite quad, point or line, as the vertex arrays take it.
    struct SpriteVertex {
        float x, y;
        float s, t;
        uint8_t color[4];
    };

    // Appends the sprite quad at centre, its corners (+-2, +-2) mapped by
    // the 2 x 2 matrix (a, b; c, d) given by columns.
    void addSprite(float2 centre, float2 column0, float2 column1, Color color);
    // Draws the sprites added so far, with their colours or the current one.
    void drawSprites(bool ownColors);
    // Appends one vertex of points or lines to the batch, in the colour c.
    void addVertex(float x, float y, Color c);
    // Draws the batch as primitives of the given mode, and empties it.
    void drawBatch(unsigned mode, bool ownColors);
    // Draws count vertices from client memory, with their colours when
    // ownColors is set. Everything the renderer draws goes through here:
    // WebGL has no display lists, glBegin, polygons or polygon modes.
    static void drawVertices(unsigned mode, const SpriteVertex* vertices, int count, bool ownColors);
    // The square (-1, -1) to (1, 1) with texture coordinates 0 to 1.
    static void drawUnitQuad();
    // The square (-1, -1) to (1, 1) as a fan from its centre, texture
    // coordinates equal to the positions.
    static void drawTexturedFan();
    void updateRenderColors();
    void prerenderBlobs();
    // A framebuffer object drawing into one off-screen image.
    struct ImageFramebuffer {
        unsigned name = 0;
        Pointer<Texture> image; // attached
        bool complete = false;
    };
    // Binds f with image attached; false (f bound, unusable) when GL cannot
    // draw into it.
    static bool bindImageFramebuffer(ImageFramebuffer& f, const Pointer<Texture>& image);
    bool isTexturedBodyParticle(int i, int mode) const;
    void prerenderTexturedBodies(int mode);
    void prerenderSolids(int mode);
    void prerenderLiquids();
    void renderParticles(int mode);
    void renderPoints();
    void renderCrosses();
    // Points of the scene's scale drawn round: smooth points, or sprites.
    void renderDiscs();
    void renderStreaks();
    void renderBlobs(int mode);
    void renderImage(const Pointer<Texture>& image);
    // Marks the tiles of the images that the sprites added so far may touch.
    void markSprites(std::vector<uint8_t>& tiles) const;
    void markRectangle(std::vector<uint8_t>& tiles, float x0, float y0, float x1, float y1) const;
    // Draws the quad that shows an image over the world box, over the given
    // tiles only (all of it when every tile is marked).
    void drawImageQuad(const std::vector<uint8_t>& tiles) const;
    void renderTemplate();
    bool backgroundCoversViewport() const;
    bool isOpaque(const Pointer<Texture>& image);

    // Vertices waiting to be drawn in as few calls as possible: the sprite
    // quads, points or lines of the current pass.
    std::vector<SpriteVertex> sprites_;
    // The corners of the last template shape drawn, and whether it is a
    // filled shape or a line.
    std::vector<SpriteVertex> templateShape_;
    bool templateFilled_ = false;
    // Size of the world box in frame-buffer pixels at the last prerender().
    float boxPixelsX_ = 0;
    float boxPixelsY_ = 0;
    // Which square tiles of tileSize image pixels the last prerender() drew
    // into, row by row from the lower left: the pixels of the others are
    // transparent, and the alpha test would pass none of them.
    static constexpr int tileSize = 16;
    int tileColumns_ = 0;
    int tileRows_ = 0;
    std::vector<uint8_t> solidTiles_;
    std::vector<uint8_t> liquidTiles_; // liquids and solids together
    // Their names outlive the renderer, as the shaders' do (the context may
    // be gone).
    ImageFramebuffer solidFramebuffer_;
    ImageFramebuffer liquidFramebuffer_;
    // From world units to image pixels, at the last prerender().
    float imageScaleX_ = 0;
    float imageScaleY_ = 0;
    Pointer<Texture> checkedImage_; // the last image isOpaque() looked at
    bool checkedImageOpaque_ = false;
};

} // namespace Zeb::Kamblo
