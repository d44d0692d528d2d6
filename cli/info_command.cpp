// pudlet-cli info: what a scene holds and how it differs from a new scene.
#include <cstdio>
#include <map>
#include <string>

#include "cli_arguments.h"
#include "cli_commands.h"
#include "output_paths.h"
#include "scene_summary.h"

namespace PudletCli {

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

void printCounts(const char* title, int total, const std::map<std::string, int>& byMaterial)
{
    std::printf("%s: %d\n", title, total);
    for (const auto& [material, count] : byMaterial)
        std::printf("  %-28s %d\n", material.c_str(), count);
}

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
    const Pudlet::EngineHandle engine = openSceneOrFail(path);
    const Pudlet::SceneSummary summary = Pudlet::summarizeScene(*engine);

    std::printf("scene: %s\n", path.c_str());
    printCounts("particles", summary.particles, summary.particlesByMaterial);
    printCounts("bodies (besides the default body)", summary.bodies, summary.bodiesByMaterial);
    printCounts("joints", summary.joints, summary.jointsByMaterial);

    std::printf("parameters that differ from their defaults:\n");
    for (const Pudlet::ChangedParameter& parameter : summary.changedParameters)
        std::printf("  %s %s (default %s)\n", parameter.name.c_str(), parameter.value.c_str(),
                    parameter.defaultValue.c_str());
    if (summary.changedParameters.empty())
        std::printf("  none\n");
    return kExitSuccess;
}

} // namespace PudletCli
