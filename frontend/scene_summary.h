#pragma once
// What a scene holds, read through the engine's facade: particles, bodies
// and joints counted by material, and the parameters that differ from a new
// scene's.
#include <map>
#include <string>
#include <vector>

#include "particle_beat.h"

namespace Pudlet {

struct ChangedParameter {
    std::string name;
    std::string value;        // as the scene file writes it
    std::string defaultValue;
};

struct SceneSummary {
    int particles = 0;
    int bodies = 0; // besides the default body
    int joints = 0;
    // Keyed by "water (q)", "other (aqua+hot)", and for joints between two
    // materials "a / b" in alphabetical order.
    std::map<std::string, int> particlesByMaterial;
    std::map<std::string, int> bodiesByMaterial; // by the material of each body's first particle
    std::map<std::string, int> jointsByMaterial;
    std::vector<ChangedParameter> changedParameters; // in table order
};

SceneSummary summarizeScene(const Zeb::Kamblo::RevivezoRora& engine);

// The material a particle's attribute set belongs to, as "water (q)", or
// "other (...)" with its attributes; the `novel` bit is ignored.
std::string materialLabel(uint32_t info);

} // namespace Pudlet
