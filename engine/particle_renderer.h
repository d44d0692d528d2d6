#pragma once
// Draws one scene with OpenGL 2.0: points, crosses, discs, streaks, and the
// blob modes that accumulate soft sprites off screen and threshold them.
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

    // Creates the sprites, textures, shader and display lists in the current
    // context; the first prerender() calls it.
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
    Pointer<Texture> checkerTexture;
    Pointer<Shader> blobShader;
    int quadList = -1;
    int spriteList = -1;
    int texturedFanList = -1;
    int templateList = -1;

private:
    void updateRenderColors();
    void prerenderBlobs();
    bool isTexturedBodyParticle(int i, int mode) const;
    void prerenderTexturedBodies(int mode);
    void prerenderSolids(int mode);
    void prerenderLiquids();
    void renderParticles(int mode);
    void renderPoints();
    void renderCrosses();
    void renderStreaks();
    void renderBlobs(int mode);
    void renderImage(const Pointer<Texture>& image);
    void renderTemplate();
};

} // namespace Zeb::Kamblo
