#pragma once
// Paths of the headless tool: arguments made absolute before a scene's
// folder becomes the working directory, output folders made before a run,
// and the scene opened or a Failure naming it.
#include <filesystem>
#include <string>

#include "scene_session.h"

namespace PudletCli {

// The argument as an absolute path against the current working directory.
std::filesystem::path absolutePath(const std::string& argument);

// Makes the parent folder of an output file (creating missing folders), so a
// run fails before its work rather than after. Failure names the file.
void prepareOutputFile(const std::filesystem::path& file);
// Makes the folder itself.
void prepareOutputFolder(const std::filesystem::path& folder);

// A new engine with the scene loaded; a Failure with the one-line reason.
Pudlet::EngineHandle openSceneOrFail(const std::filesystem::path& scene);

} // namespace PudletCli
