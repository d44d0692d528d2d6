#pragma once
#include "cg_types.h"
#include "object.h"

namespace Zeb::Kamblo {

class Texture;

// A group of rigid particles moving as one piece, optionally carrying an image.
// Only the texture rectangle lasts between steps; the rest is recomputed by the
// rigid pass each step.
struct ParticleBody {
    Pointer<Texture> texture; // shared when a body is copied
    float2 textureMin;
    float2 textureMax;
    int count = 0;
    float2 center;
    float2 velocity;
    float2 anchorCenter;
    float rotation[4] = {0, 0, 0, 0}; // row-major 2x2, reference shape -> current shape
    float angle = 0;
    float angularVelocity = 0;
    float inertia = 0;
    int axialCount = 0;
    float2 axialCenter;
    float2 axialAnchor;
    int used = 0; // scratch mark; its meaning belongs to the operation using it
};

// The body index is stored in one byte per particle.
inline constexpr int kMaxBodies = 256;

} // namespace Zeb::Kamblo
