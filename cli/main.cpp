// pudlet-cli: runs, inspects and measures scenes without a display.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "cli_arguments.h"
#include "cli_commands.h"
#include "pudlet_version.h"

using namespace PudletCli;

namespace {

const char* const kMainHelp =
    "Usage: pudlet-cli COMMAND [OPTIONS]\n"
    "\n"
    "Runs Pudlet scenes without a display.\n"
    "\n"
    "Commands:\n"
    "  run SCENE    step a scene, save it and render frames to PNG files or a video\n"
    "  info SCENE   particle, body and joint counts and the changed parameters\n"
    "  bench        the standard benchmark scenes, in ns per particle-step\n"
    "\n"
    "'pudlet-cli COMMAND --help' describes a command; 'pudlet-cli --version'\n"
    "prints the version.\n"
    "Exit status: 0 success, 1 failure, 2 usage error.\n";

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>&);
    const char* const* help;
};

const Command kCommands[] = {
    {"run", runCommand, &kRunHelp},
    {"info", infoCommand, &kInfoHelp},
    {"bench", benchCommand, &kBenchHelp},
};

bool wantsHelp(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments)
        if (argument == "--help" || argument == "-h")
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "pudlet-cli: no command given (try 'pudlet-cli --help')\n");
        return kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        std::fputs(kMainHelp, stdout);
        return kExitSuccess;
    }
    if (name == "--version") {
        std::puts("pudlet-cli " PUDLET_VERSION);
        return kExitSuccess;
    }
    const std::vector<std::string> arguments(argv + 2, argv + argc);
    for (const Command& command : kCommands) {
        if (name != command.name)
            continue;
        if (wantsHelp(arguments)) {
            std::fputs(*command.help, stdout);
            return kExitSuccess;
        }
        try {
            return command.run(arguments);
        } catch (const UsageError& error) {
            std::fprintf(stderr, "pudlet-cli %s: %s (try 'pudlet-cli %s --help')\n", command.name, error.what(),
                         command.name);
            return kExitUsage;
        } catch (const Failure& error) {
            std::fprintf(stderr, "pudlet-cli: %s\n", error.what());
            return kExitFailure;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "pudlet-cli: %s\n", error.what());
            return kExitFailure;
        }
    }
    std::fprintf(stderr, "pudlet-cli: unknown command '%s' (try 'pudlet-cli --help')\n", name.c_str());
    return kExitUsage;
}
