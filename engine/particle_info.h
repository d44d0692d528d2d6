#pragma once
#include <cstdint>

#include "particle_attribute.h"

namespace Zeb::Kamblo {

// The attribute set of a particle: bit n is the n-th attribute of KAMBLO_ATTRIBUTES.
using ParticleInfo = uint32_t;

namespace Attribute {
enum Bit : int {
#define KAMBLO_ATTRIBUTE_BIT(name, Name) name##Bit,
    KAMBLO_ATTRIBUTES(KAMBLO_ATTRIBUTE_BIT)
#undef KAMBLO_ATTRIBUTE_BIT
};
#define KAMBLO_ATTRIBUTE_MASK(name, Name) inline constexpr ParticleInfo name = ParticleInfo(1) << name##Bit;
KAMBLO_ATTRIBUTES(KAMBLO_ATTRIBUTE_MASK)
#undef KAMBLO_ATTRIBUTE_MASK
} // namespace Attribute

static_assert(Attribute::aqua == 0x10000 && Attribute::wall == 0x400000 && Attribute::zombie == 0x2000000);

inline constexpr bool hasAny(ParticleInfo info, ParticleInfo mask) { return (info & mask) != 0; }

} // namespace Zeb::Kamblo
