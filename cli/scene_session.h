#pragma once
// Opening a scene the way the desktop hosts do: the scene's folder becomes the
// working directory (image names in the file are relative to it), so every
// path the caller gave must be made absolute first.
#include <filesystem>
#include <memory>
#include <string>

#include "particle_beat.h"

namespace PudletCli {

struct EngineDeleter {
    void operator()(Zeb::Kamblo::RevivezoRora* engine) const { Zeb::Kamblo::RevivezoRora::deleteInstance(engine); }
};
using EngineHandle = std::unique_ptr<Zeb::Kamblo::RevivezoRora, EngineDeleter>;

// The argument as an absolute path against the current working directory.
std::filesystem::path absolutePath(const std::string& argument);

// Makes the parent folder of an output file (creating missing folders), so a
// run fails before its work rather than after. Failure names the file.
void prepareOutputFile(const std::filesystem::path& file);
// Makes the folder itself.
void prepareOutputFolder(const std::filesystem::path& folder);

// Checks that the scene is a readable regular file, changes into its folder
// and loads it into a new engine. Failure names the file and what is wrong.
EngineHandle openScene(const std::filesystem::path& scene);

} // namespace PudletCli
