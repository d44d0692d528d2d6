// The material table and the colours of attribute sets.
#include "particle_data.h"
#include "particle_material.h"

namespace Zeb::Kamblo {

namespace {

using namespace Attribute;

struct Material {
    int code;
    ParticleInfo info;
    Color color;
};

constexpr Material kMaterialTable[] = {
#define KAMBLO_MATERIAL_ROW(code, name, attributes, r, g, b, a, onBasicMenu) {code, attributes, {r, g, b, a}},
    KAMBLO_MATERIALS(KAMBLO_MATERIAL_ROW)
#undef KAMBLO_MATERIAL_ROW
};

constexpr Color kGrey = {127, 127, 127, 255};

const Material* findMaterialRow(int code)
{
    for (const Material& m : kMaterialTable)
        if (m.code == code)
            return &m;
    return nullptr;
}

// First matching attribute wins.
struct AttributeColor {
    ParticleInfo attribute;
    Color color;
};

constexpr AttributeColor kAttributeColors[] = {
    {outflow, {25, 25, 25, 255}},   {hot, {255, 25, 0, 255}},       {cold, {0, 25, 255, 255}},
    {yuki, {229, 255, 255, 178}},   {aqua, {153, 153, 255, 255}},   {light, {153, 229, 229, 255}},
    {dense, {76, 76, 153, 255}},    {jet, {255, 204, 25, 255}},     {powder, {178, 204, 153, 255}},
    {fuel, {229, 127, 51, 255}},    {mochi, {255, 255, 204, 255}},  {kome, {255, 204, 204, 255}},
    {brittle, {229, 76, 153, 255}}, {spring, {178, 102, 229, 255}}, {elastic, {229, 255, 76, 255}},
    {viscous, {51, 178, 153, 255}}, {tensile, {204, 204, 102, 255}}, {axial, {153, 204, 127, 255}},
    {rigid, {127, 255, 102, 255}},  {wall, {178, 102, 102, 255}},
};

} // namespace

ParticleInfo ParticleData::materialInfo(int code)
{
    const Material* m = findMaterialRow(code);
    return m ? m->info : 0;
}

Color ParticleData::materialColor(int code)
{
    const Material* m = findMaterialRow(code);
    return m ? m->color : kGrey;
}

Color ParticleData::colorForInfo(ParticleInfo info)
{
    for (const AttributeColor& rule : kAttributeColors)
        if (info & rule.attribute)
            return rule.color;
    return kGrey;
}

} // namespace Zeb::Kamblo
