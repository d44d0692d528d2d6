#include "particle_data.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "alloc.h"

namespace Zeb::Kamblo {

ParticleData::ParticleData()
{
    fireEffect = autorelease(new ParticleEffect());
    splashEffect = autorelease(new ParticleEffect());
    bubbleEffect = autorelease(new ParticleEffect());
    clear();
}

ParticleData::~ParticleData()
{
#define KAMBLO_FREE_ARRAY(type, name, persistence) std::free(name);
    KAMBLO_PARTICLE_ARRAYS(KAMBLO_FREE_ARRAY)
#undef KAMBLO_FREE_ARRAY
}

void ParticleData::setParticleCapacity(int n)
{
    if (n < 0)
        n = 0;
    // New slots start as zeros rather than whatever the allocator left: a
    // particle made during a step is read by later passes of that step (the
    // resistance pass reads its density) before the next step writes them.
    size_t kept = size_t(std::min(capacity, n));
#define KAMBLO_RESIZE_ARRAY(type, name, persistence)                                  \
    resize_array(name, size_t(n));                                                  \
    if (size_t(n) > kept)                                                           \
        std::memset(static_cast<void*>(name + kept), 0, sizeof(type) * (size_t(n) - kept));
    KAMBLO_PARTICLE_ARRAYS(KAMBLO_RESIZE_ARRAY)
#undef KAMBLO_RESIZE_ARRAY
    capacity = n;
}

int ParticleData::createParticle(int bodyIndex)
{
    if (count >= capacity)
        setParticleCapacity(count == 0 ? 256 : 2 * count);
    int p = count;
    info[p] = 0;
    body[p] = uint8_t(bodyIndex);
    layer[p] = 255;
    color[p] = Color{0, 0, 0, 0};
    position[p] = {0, 0};
    velocity[p] = {0, 0};
    anchor[p] = {0, 0};
    angle[p] = 0;
    angularVelocity[p] = 0;
    staticPressure[p] = 0;
    order[p] = p;
    ++count;
    ++layoutVersion;
    return p;
}

void ParticleData::clear()
{
    count = 0;
    ++layoutVersion;
    if (bodies.empty())
        bodies.emplace_back();
    else
        bodies.resize(1);
    joints.clear();
    fireEffect->clear();
    splashEffect->clear();
    bubbleEffect->clear();
    pouringFlag = false;
}

void ParticleData::copyParameters(const ParticleData& other)
{
#define KAMBLO_COPY_PARAMETER(type, name, Name, value) name = other.name;
    KAMBLO_PARAMETERS(KAMBLO_COPY_PARAMETER)
#undef KAMBLO_COPY_PARAMETER
}

void ParticleData::swapParameters(ParticleData& other)
{
#define KAMBLO_SWAP_PARAMETER(type, name, Name, value) std::swap(name, other.name);
    KAMBLO_PARAMETERS(KAMBLO_SWAP_PARAMETER)
#undef KAMBLO_SWAP_PARAMETER
}

void ParticleData::copy(const Pointer<ParticleData>& otherPointer)
{
    const ParticleData& other = *otherPointer;
    if (&other == this)
        return;
    count = other.count;
    if (count > capacity)
        setParticleCapacity(count);
#define KAMBLO_COPY_ARRAY(type, name, persistence) \
    KAMBLO_IF_##persistence(copy_buffer(name, other.name, sizeof(type) * size_t(count));)
    KAMBLO_PARTICLE_ARRAYS(KAMBLO_COPY_ARRAY)
#undef KAMBLO_COPY_ARRAY
    copy_buffer(order, other.order, sizeof(int) * size_t(count));
    ++layoutVersion;
    bodies = other.bodies;
    joints = other.joints;
    copyParameters(other);
}

void ParticleData::swap(const Pointer<ParticleData>& otherPointer)
{
    ParticleData& other = *otherPointer;
    if (&other == this)
        return;
    int m = std::max(count, other.count);
    setParticleCapacity(m);
    other.setParticleCapacity(m);
    // Both sides now have the same capacity, so exchanging the buffers
    // exchanges every particle; scratch contents are rebuilt by the next step.
#define KAMBLO_SWAP_ARRAY(type, name, persistence) std::swap(name, other.name);
    KAMBLO_PARTICLE_ARRAYS(KAMBLO_SWAP_ARRAY)
#undef KAMBLO_SWAP_ARRAY
    std::swap(count, other.count);
    ++layoutVersion;
    ++other.layoutVersion;
    std::swap(bodies, other.bodies);
    std::swap(joints, other.joints);
    swapParameters(other);
}

} // namespace Zeb::Kamblo
