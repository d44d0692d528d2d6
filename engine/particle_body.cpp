// Creating, merging, assigning and splitting rigid bodies.
#include <cstddef>

#include "particle_data.h"

namespace Zeb::Kamblo {

int ParticleData::createBody()
{
    for (ParticleBody& b : bodies)
        b.used = 0;
    for (int p = 0; p < count; ++p)
        if (body[p] < bodies.size())
            bodies[body[p]].used = 1;

    for (size_t i = 1; i < bodies.size(); ++i) {
        if (!bodies[i].used) {
            bodies[i] = ParticleBody();
            return int(i);
        }
    }
    if (bodies.size() >= size_t(kMaxBodies))
        return 0;
    // The table is small and bounded: room for all of it at once, so that
    // bodies split off during a step never reallocate it.
    bodies.reserve(size_t(kMaxBodies));
    bodies.emplace_back();
    return int(bodies.size() - 1);
}

int ParticleData::uniteBody(int first, int second)
{
    auto textured = [this](int index) {
        return index >= 0 && size_t(index) < bodies.size() && bodies[size_t(index)].texture;
    };
    if (textured(first) || textured(second))
        return first;
    // The merged body takes its current shape as its new reference shape.
    for (int p = 0; p < count; ++p) {
        if (body[p] == uint8_t(first))
            body[p] = uint8_t(second);
        if (body[p] == uint8_t(second))
            anchor[p] = position[p];
    }
    return second;
}

void ParticleData::bindParticleToBody(int particle, int bodyIndex)
{
    body[particle] = uint8_t(bodyIndex);
}

void ParticleData::splitBody(int bodyIndex)
{
    // A rigid zombie in the body makes gc treat it as broken and relabel it.
    int p = createParticle(bodyIndex);
    info[p] = Attribute::rigid | Attribute::zombie;
    gc();
}

} // namespace Zeb::Kamblo
