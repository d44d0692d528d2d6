#pragma once
// Opening and saving scenes, the same way in every program. Opening makes
// the scene's folder the working directory (image names in the file are
// relative to it), so callers make every other path absolute first.
#include <filesystem>
#include <memory>
#include <string>

#include "particle_beat.h"

namespace Pudlet {

struct EngineDeleter {
    void operator()(Zeb::Kamblo::RevivezoRora* engine) const { Zeb::Kamblo::RevivezoRora::deleteInstance(engine); }
};
using EngineHandle = std::unique_ptr<Zeb::Kamblo::RevivezoRora, EngineDeleter>;

inline EngineHandle newEngine() { return EngineHandle(Zeb::Kamblo::RevivezoRora::newInstance()); }

// Loads the scene file into the engine: checks that it is a readable regular
// file, changes into its folder and loads it. On failure *error is one line
// that names the file and says what is wrong, and the engine's scene and the
// working directory are as they were. The GL context the engine draws in
// should be current (the scene's images are loaded into it).
bool openScene(Zeb::Kamblo::RevivezoRora& engine, const std::filesystem::path& scene, std::string* error);

// Writes the scene; on failure *error names the file.
bool saveScene(Zeb::Kamblo::RevivezoRora& engine, const std::filesystem::path& scene, std::string* error);

} // namespace Pudlet
