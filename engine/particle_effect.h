#pragma once
#include "cg_types.h"
#include "object.h"

namespace Zeb::Kamblo {

class Texture;

// A pool of short-lived effect particles (fire, splash drops or bubbles).
class ParticleEffect : public Object {
public:
    ParticleEffect() = default;
    ParticleEffect(const ParticleEffect&) = delete;
    ParticleEffect& operator=(const ParticleEffect&) = delete;
    ~ParticleEffect() override;

    int create();
    void setCapacity(int n);
    // Removes entries whose life is exactly 0, keeping the survivors' order.
    void gc();
    void clear() { count = 0; }

    int count = 0;
    int capacity = 0;
    float* life = nullptr;
    float2* position = nullptr;
    float2* velocity = nullptr;
    Pointer<Texture> texture;
};

// The material passes add no entries to a pool holding this many. Only
// parameters under which entries never end (a negative or infinite life, no
// splash expansion) come near it; the pool would otherwise grow without limit.
inline constexpr int kMaxEffectCount = 1 << 20;

} // namespace Zeb::Kamblo
