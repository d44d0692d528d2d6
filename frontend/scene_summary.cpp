#include "scene_summary.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>

#include "particle_info.h"

namespace Pudlet {

using namespace Zeb::Kamblo;

namespace {

using namespace Zeb::Kamblo::Attribute;

// `novel` only marks particles not yet joined; it says nothing of the material.
uint32_t materialBits(uint32_t info) { return info & ~Attribute::novel; }

std::string attributeList(uint32_t info)
{
    std::string list;
    for (int bit = 0; bit < kAttributeCount; ++bit)
        if (info & (uint32_t(1) << bit))
            list += (list.empty() ? "" : "+") + std::string(kAttributeNames[bit]);
    return list.empty() ? "no attributes" : list;
}

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// A parameter's value as the scene file writes it, so that a value that only
// lost digits in the file (standardDensity) does not count as changed.
std::string parameterText(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", double(value));
    return text;
}
std::string parameterText(int value) { return std::to_string(value); }
std::string parameterText(bool value) { return value ? "1" : "0"; }

struct MaterialBits {
    int code;
    const char* name;
    uint32_t info;
};

constexpr MaterialBits kMaterialBits[] = {
#define PUDLET_MATERIAL_BITS(code, name, attributes, r, g, b, a, onBasicMenu) {code, name, (attributes)},
    KAMBLO_MATERIALS(PUDLET_MATERIAL_BITS)
#undef PUDLET_MATERIAL_BITS
};

} // namespace

std::string materialLabel(uint32_t info)
{
    for (const MaterialBits& material : kMaterialBits)
        if (materialBits(material.info) == materialBits(info))
            return lowerCase(material.name) + " (" + char(material.code) + ")";
    return "other (" + attributeList(materialBits(info)) + ")";
}

SceneSummary summarizeScene(const RevivezoRora& engine)
{
    SceneCensus census;
    engine.takeCensus(census);
    SceneSummary summary;
    const int count = int(census.particleInfo.size());
    summary.particles = count;
    summary.bodies = std::max(0, census.bodyCount - 1);
    summary.joints = int(census.joints.size());

    std::vector<std::string> labels(census.particleInfo.size());
    for (int i = 0; i < count; ++i)
        ++summary.particlesByMaterial[labels[i] = materialLabel(census.particleInfo[i])];

    // A body is named by the material of its first particle; body 0 is the
    // default body of free particles and walls, not a body of its own.
    std::vector<int> firstParticle(size_t(std::max(0, census.bodyCount)), -1);
    for (int i = count - 1; i >= 0; --i) {
        const int body = census.particleBody[i];
        if (body >= 0 && body < int(firstParticle.size()))
            firstParticle[body] = i;
    }
    for (size_t b = 1; b < firstParticle.size(); ++b)
        ++summary.bodiesByMaterial[firstParticle[b] < 0 ? "empty" : labels[firstParticle[b]]];

    for (const auto& [a, b] : census.joints) {
        if (a < 0 || b < 0 || a >= count || b >= count) {
            ++summary.jointsByMaterial["dangling"];
            continue;
        }
        const std::string& first = labels[a];
        const std::string& second = labels[b];
        ++summary.jointsByMaterial[first == second ? first : std::min(first, second) + " / " + std::max(first, second)];
    }

#define PUDLET_NOTE_CHANGED(type, name, Name, defaultValue)                                                    \
    if (parameterText(engine.name()) != parameterText(type(defaultValue)))                                      \
        summary.changedParameters.push_back({#name, parameterText(engine.name()), parameterText(type(defaultValue))});
    KAMBLO_PARAMETERS(PUDLET_NOTE_CHANGED)
#undef PUDLET_NOTE_CHANGED
    return summary;
}

} // namespace Pudlet
