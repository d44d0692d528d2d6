#pragma once
// Every edit the user's tools make on the particle world: painting, erasing,
// repainting, flood filling, cutting, dragging, freezing, sampling, and turning
// an image into a textured body.
#include "cg_types.h"
#include "color.h"
#include "object.h"
#include "particle_data.h"
#include "particle_info.h"

namespace Zeb::Kamblo {

class Texture;

// One edit never visits more lattice points than this per side, so a tiny
// spacing or huge bounds cannot make it create or scan without bound.
inline constexpr int kMaxLatticeSide = 8192;
// No fill (brush stroke, shape, image) creates more particles than this in
// one call, and the flood grid has no more cells than this.
inline constexpr int kMaxFillParticles = 1 << 22;
inline constexpr int kMaxFloodCells = kMaxFillParticles;
// One pencil call never places more particles than this.
inline constexpr int kMaxLineParticles = kMaxLatticeSide;

class ParticleBuilder : public Object {
public:
    explicit ParticleBuilder(const Pointer<ParticleData>& data);
    ParticleBuilder(const ParticleBuilder&) = delete;
    ParticleBuilder& operator=(const ParticleBuilder&) = delete;

    // Settings for the next particles.
    int material() const { return material_; }
    void setMaterial(int m);
    ParticleInfo info() const { return info_; }
    void setInfo(const ParticleInfo& i);
    int layer() const { return layer_; }
    void setLayer(int l) { layer_ = l; }
    const Color& color() const { return color_; }
    void setColor(const Color& c);
    bool materialColorFlag() const { return materialColorFlag_; }
    void setMaterialColorFlag(bool flag) { materialColorFlag_ = flag; }

    // Edits. Stroke operations return where the stroke continues.
    void prepareForDrawing(const float2& point, float radius);
    float2 drawLine(const float2& a, const float2& b);
    float2 drawLine(const float2& a, const float2& b, float width);
    float2 patchLine(const float2& a, const float2& b, float width);
    float2 eraseLine(const float2& a, const float2& b, float width);
    float2 sliceLine(const float2& a, const float2& b);
    void fillRect(const float2& a, const float2& b);
    void fillOval(const float2& a, const float2& b);
    void floodParticles(const float2& point);
    void dragParticles(const float2& center, float radius, const float2& velocity, float weight);
    void dragAllParticles(const float2& delta);
    void splitNearestBody(const float2& point, float radius);
    void sampleMaterial(const float2& point, float radius);
    void freezeParticles();
    void fillTexture(const Pointer<Texture>& texture, const float2& center);
    void updateOriginOfTexturedBody();

    int nearestParticle(const float2& point, float radius) const;
    int countParticles(ParticleInfo mask) const;

    Pointer<ParticleData> data;
    // The body new particles join; 0 = none. Set up at the start of every stroke or fill.
    int currentBody = 0;

private:
    void setUpBody();
    void forgetVanishedBody();
    void joinRigid(int particle);
    int createAt(const float2& position);
    bool isTextured(int bodyIndex) const;
    void fillShape(const float2& a, const float2& b, bool oval);

    int material_ = 'w';
    ParticleInfo info_ = ParticleData::materialInfo('w');
    int layer_ = -1;
    Color color_ = ParticleData::materialColor('w');
    bool materialColorFlag_ = true;
};

} // namespace Zeb::Kamblo
