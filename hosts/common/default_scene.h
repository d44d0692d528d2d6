#pragma once
// The demo scene both hosts open at start.
#include <string>
#include <vector>

namespace PudletHost {

// The first demo scene's file name.
inline constexpr const char* defaultSceneName = "dam-break.pdl";

// The folders searched for demo scenes, installed copy first: the data folder
// beside the installed program, then the source tree the program was built
// from (so a build runs without installing).
std::vector<std::string> sceneFolders();

// The path of `name` in the first of `folders` that holds it as a regular
// file; empty when none does.
std::string findScene(const std::vector<std::string>& folders, const std::string& name);

// findScene(sceneFolders(), defaultSceneName).
std::string defaultScenePath();

} // namespace PudletHost
