// pudlet-cli info: what a scene holds and how it differs from a new scene.
#include <cstdio>
#include <map>
#include <string>

#include "cli_arguments.h"
#include "cli_commands.h"
#include "particle_beat_implements.h"
#include "scene_session.h"

namespace PudletCli {

using namespace Zeb::Kamblo;

const char* const kInfoHelp =
    "Usage: pudlet-cli info SCENE\n"
    "\n"
    "Prints the scene's particle, body and joint counts by material and every\n"
    "parameter whose value differs from a new scene's (compared as the scene file\n"
    "writes them).\n"
    "\n"
    "Options:\n"
    "  --help    show this help\n";

namespace {

struct MaterialName {
    int code;
    const char* name;
};

// The paintable materials under the names the material buttons show.
constexpr MaterialName kMaterials[] = {
    {'q', "water"},  {'w', "wall"},     {'r', "rigid"},   {'s', "string"},  {'e', "elastic"},
    {'b', "brittle"}, {'x', "rigid axis"}, {'m', "mochi"}, {'k', "rice"},    {'p', "powder"},
    {'g', "gas"},    {'v', "viscous"},  {'t', "tensile"}, {'d', "dense"},   {'l', "light"},
    {'f', "fuel"},   {'@', "fire"},     {'h', "heater"},  {'c', "cooler"},  {'i', "inflow"},
    {'o', "outflow"}, {'j', "jet"},     {'u', "user's"},  {'y', "snow"},    {'z', "zombie"},
};

// `novel` only marks particles not yet joined; it says nothing of the material.
ParticleInfo materialBits(ParticleInfo info) { return info & ~Attribute::novel; }

std::string attributeList(ParticleInfo info)
{
    std::string list;
    for (int bit = 0; bit < int(std::size(kAttributeNames)); ++bit)
        if (info & (ParticleInfo(1) << bit))
            list += (list.empty() ? "" : "+") + std::string(kAttributeNames[bit]);
    return list.empty() ? "no attributes" : list;
}

std::string materialOf(ParticleInfo info)
{
    for (const MaterialName& material : kMaterials)
        if (materialBits(ParticleData::materialInfo(material.code)) == materialBits(info))
            return std::string(material.name) + " (" + char(material.code) + ")";
    return "other (" + attributeList(materialBits(info)) + ")";
}

void printCounts(const char* title, int total, const std::map<std::string, int>& byMaterial)
{
    std::printf("%s: %d\n", title, total);
    for (const auto& [material, count] : byMaterial)
        std::printf("  %-28s %d\n", material.c_str(), count);
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

} // namespace

int infoCommand(const std::vector<std::string>& arguments)
{
    if (arguments.empty())
        throw UsageError("no scene file given");
    if (arguments.size() > 1)
        throw UsageError("unexpected argument '" + arguments[1] + "'");
    if (arguments[0].size() > 1 && arguments[0][0] == '-')
        throw UsageError("unknown option '" + arguments[0] + "'");
    const std::filesystem::path path = absolutePath(arguments[0]);
    EngineHandle engine = openScene(path);
    // Counting by material needs the particle arrays behind the facade.
    auto* implementation = dynamic_cast<RevivezoRoraImplements*>(engine.get());
    if (!implementation)
        throw Failure("the engine does not expose its scene");
    const ParticleData& d = *implementation->data;

    std::map<std::string, int> particles;
    for (int i = 0; i < d.count; ++i)
        ++particles[materialOf(d.info[i])];

    // A body is named by the material of its first particle; body 0 is the
    // default body of free particles and walls, not a body of its own.
    std::vector<int> firstParticle(d.bodies.size(), -1);
    for (int i = d.count - 1; i >= 0; --i)
        if (d.body[i] < firstParticle.size())
            firstParticle[d.body[i]] = i;
    std::map<std::string, int> bodies;
    for (size_t b = 1; b < d.bodies.size(); ++b)
        ++bodies[firstParticle[b] < 0 ? "empty" : materialOf(d.info[firstParticle[b]])];

    std::map<std::string, int> joints;
    for (const ParticleJoint& joint : d.joints) {
        if (joint.a < 0 || joint.b >= d.count) {
            ++joints["dangling"];
            continue;
        }
        const std::string a = materialOf(d.info[joint.a]);
        const std::string b = materialOf(d.info[joint.b]);
        ++joints[a == b ? a : std::min(a, b) + " / " + std::max(a, b)];
    }

    std::printf("scene: %s\n", path.c_str());
    printCounts("particles", engine->countParticles(), particles);
    printCounts("bodies (besides the default body)", engine->countBodies() - 1, bodies);
    printCounts("joints", engine->countJoints(), joints);

    std::printf("parameters that differ from their defaults:\n");
    int changed = 0;
#define PUDLET_PRINT_CHANGED(type, name, Name, defaultValue)                                        \
    if (parameterText(engine->name()) != parameterText(type(defaultValue))) {                        \
        std::printf("  %s %s (default %s)\n", #name, parameterText(engine->name()).c_str(),         \
                    parameterText(type(defaultValue)).c_str());                                      \
        ++changed;                                                                                   \
    }
    KAMBLO_PARAMETERS(PUDLET_PRINT_CHANGED)
#undef PUDLET_PRINT_CHANGED
    if (changed == 0)
        std::printf("  none\n");
    return kExitSuccess;
}

} // namespace PudletCli
