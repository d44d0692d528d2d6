#pragma once
// The 26 particle attributes, in bit order. This one list generates the
// attribute masks, the facade's next-attribute accessors and the script names.
// X(name, CapitalisedName)

#define KAMBLO_ATTRIBUTES(X) \
    X(aerated, Aerated)      \
    X(brittle, Brittle)      \
    X(cold, Cold)            \
    X(dense, Dense)          \
    X(elastic, Elastic)      \
    X(fuel, Fuel)            \
    X(gaseous, Gaseous)      \
    X(hot, Hot)              \
    X(inflow, Inflow)        \
    X(jet, Jet)              \
    X(kome, Kome)            \
    X(light, Light)          \
    X(mochi, Mochi)          \
    X(novel, Novel)          \
    X(outflow, Outflow)      \
    X(powder, Powder)        \
    X(aqua, Aqua)            \
    X(rigid, Rigid)          \
    X(spring, Spring)        \
    X(tensile, Tensile)      \
    X(users, Users)          \
    X(viscous, Viscous)      \
    X(wall, Wall)            \
    X(axial, Axial)          \
    X(yuki, Yuki)            \
    X(zombie, Zombie)

namespace Zeb::Kamblo {

inline constexpr const char* kAttributeNames[] = {
#define KAMBLO_ATTRIBUTE_NAME(name, Name) #name,
    KAMBLO_ATTRIBUTES(KAMBLO_ATTRIBUTE_NAME)
#undef KAMBLO_ATTRIBUTE_NAME
};
inline constexpr int kAttributeCount = sizeof(kAttributeNames) / sizeof(kAttributeNames[0]);
static_assert(kAttributeCount == 26);

} // namespace Zeb::Kamblo
