#include "particle_effect.h"

#include <cstdlib>

#include "alloc.h"

namespace Zeb::Kamblo {

ParticleEffect::~ParticleEffect()
{
    std::free(life);
    std::free(position);
    std::free(velocity);
}

void ParticleEffect::setCapacity(int n)
{
    if (n < 0)
        n = 0;
    resize_array(life, size_t(n));
    resize_array(position, size_t(n));
    resize_array(velocity, size_t(n));
    capacity = n;
    if (count > n)
        count = n;
}

int ParticleEffect::create()
{
    if (count >= capacity)
        setCapacity(count == 0 ? 256 : 2 * count);
    int i = count++;
    life[i] = 1;
    position[i] = {0, 0};
    velocity[i] = {0, 0};
    return i;
}

void ParticleEffect::gc()
{
    int w = 0;
    for (int i = 0; i < count; ++i) {
        if (life[i] == 0)
            continue;
        if (w != i) {
            life[w] = life[i];
            position[w] = position[i];
            velocity[w] = velocity[i];
        }
        ++w;
    }
    count = w;
}

} // namespace Zeb::Kamblo
