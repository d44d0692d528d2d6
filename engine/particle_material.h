#pragma once
// The materials, declared once, in the order of the Basic Menu's buttons:
// key code, the name the material buttons show, the attribute set, the
// default colour (red, green, blue, alpha bytes) and whether the Basic Menu
// has a button for it. The material table, the hosts' material buttons and
// the headless tool's material names are generated from this list.
// X(code, "Name", attributes, red, green, blue, alpha, onBasicMenu)
//
// The attribute expressions name the masks of namespace Attribute; only the
// material table expands them.

#define KAMBLO_MATERIALS(X)                                                       \
    X('z', "Eraser", zombie, 127, 127, 127, 255, true)                            \
    X('q', "Water", aqua, 153, 153, 255, 255, true)                               \
    X('w', "Wall", novel | wall, 178, 102, 102, 255, true)                        \
    X('r', "Rigid", novel | rigid, 127, 255, 102, 255, true)                      \
    X('s', "String", novel | spring, 178, 102, 229, 255, true)                    \
    X('e', "Elastic", elastic | novel, 229, 255, 76, 255, true)                   \
    X('b', "Brittle", brittle | elastic | novel, 229, 76, 153, 255, true)         \
    X('x', "Rigid Axis", novel | rigid | axial, 153, 204, 127, 255, true)         \
    X('m', "Mochi", mochi, 255, 255, 204, 255, true)                              \
    X('k', "Rice", elastic | kome | viscous, 255, 204, 204, 255, true)            \
    X('p', "Powder", powder, 178, 204, 153, 255, true)                            \
    X('g', "Gas", gaseous | light, 153, 178, 229, 178, true)                      \
    X('v', "Viscous", viscous, 51, 178, 153, 255, true)                           \
    X('t', "Tensile", tensile, 204, 204, 102, 255, true)                          \
    X('d', "Dense", dense, 76, 76, 153, 255, true)                                \
    X('l', "Light", light, 153, 229, 229, 255, true)                              \
    X('f', "Fuel", fuel | novel | rigid, 229, 127, 51, 255, true)                 \
    X('@', "Fire", fuel | hot, 127, 0, 0, 255, true)                              \
    X('h', "Heater", hot | wall, 229, 25, 0, 255, true)                           \
    X('c', "Cooler", cold | wall, 0, 25, 229, 255, true)                          \
    X('i', "Inflow", inflow | aqua | wall, 153, 153, 255, 255, true)              \
    X('o', "Outflow", outflow | wall, 25, 25, 25, 255, true)                      \
    X('j', "Jet", jet | novel | rigid, 255, 204, 25, 255, true)                   \
    X('u', "User's", rigid | users, 51, 229, 153, 255, true)                      \
    X('y', "Snow", aerated | aqua | yuki, 229, 255, 255, 178, false)

namespace Zeb::Kamblo {

struct MaterialEntry {
    int code;
    const char* name;
    bool onBasicMenu;
};

inline constexpr MaterialEntry kMaterials[] = {
#define KAMBLO_MATERIAL_ENTRY(code, name, attributes, r, g, b, a, onBasicMenu) {code, name, onBasicMenu},
    KAMBLO_MATERIALS(KAMBLO_MATERIAL_ENTRY)
#undef KAMBLO_MATERIAL_ENTRY
};
inline constexpr int kMaterialCount = sizeof(kMaterials) / sizeof(kMaterials[0]);
static_assert(kMaterialCount == 25, "every letter but a and n, and the at sign, is a material");

// The entry of a material code; null for a code that is no material.
constexpr const MaterialEntry* findMaterial(int code)
{
    for (const MaterialEntry& m : kMaterials)
        if (m.code == code)
            return &m;
    return nullptr;
}

} // namespace Zeb::Kamblo
