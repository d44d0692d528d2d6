// The material table and the colours of attribute sets.
#include "particle_data.h"

namespace Zeb::Kamblo {

namespace {

using namespace Attribute;

struct Material {
    int code;
    ParticleInfo info;
    Color color;
};

constexpr Material kMaterials[] = {
    {'@', fuel | hot, {127, 0, 0, 255}},
    {'b', brittle | elastic | novel, {229, 76, 153, 255}},
    {'c', cold | wall, {0, 25, 229, 255}},
    {'d', dense, {76, 76, 153, 255}},
    {'e', elastic | novel, {229, 255, 76, 255}},
    {'f', fuel | novel | rigid, {229, 127, 51, 255}},
    {'g', gaseous | light, {153, 178, 229, 178}},
    {'h', hot | wall, {229, 25, 0, 255}},
    {'i', inflow | aqua | wall, {153, 153, 255, 255}},
    {'j', jet | novel | rigid, {255, 204, 25, 255}},
    {'k', elastic | kome | viscous, {255, 204, 204, 255}},
    {'l', light, {153, 229, 229, 255}},
    {'m', mochi, {255, 255, 204, 255}},
    {'o', outflow | wall, {25, 25, 25, 255}},
    {'p', powder, {178, 204, 153, 255}},
    {'q', aqua, {153, 153, 255, 255}},
    {'r', novel | rigid, {127, 255, 102, 255}},
    {'s', novel | spring, {178, 102, 229, 255}},
    {'t', tensile, {204, 204, 102, 255}},
    {'u', rigid | users, {51, 229, 153, 255}},
    {'v', viscous, {51, 178, 153, 255}},
    {'w', novel | wall, {178, 102, 102, 255}},
    {'x', novel | rigid | axial, {153, 204, 127, 255}},
    {'y', aerated | aqua | yuki, {229, 255, 255, 178}},
    {'z', zombie, {127, 127, 127, 255}},
};

constexpr Color kGrey = {127, 127, 127, 255};

const Material* findMaterial(int code)
{
    for (const Material& m : kMaterials)
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
    const Material* m = findMaterial(code);
    return m ? m->info : 0;
}

Color ParticleData::materialColor(int code)
{
    const Material* m = findMaterial(code);
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
