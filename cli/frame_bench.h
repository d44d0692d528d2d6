#pragma once
// The frame-time measurement of `pudlet-cli bench --frames`.
#include <string>
#include <vector>

namespace PudletCli {

struct FrameBenchOptions {
    std::vector<std::string> scenes;
    std::vector<int> modes = {1, 2, 3, 4, 5, 6, 7};
    // Scene files (absolute paths), drawn as the desktop hosts draw them.
    std::vector<std::string> sceneFiles;
    int width = 1280;
    int height = 960;
    int warmUpSteps = 60; // simulation steps before drawing
    int frames = 5;       // timed frames per mode, after one untimed
};

// The standard scenes and, first, water filling the frame.
std::vector<std::string> frameBenchScenes();

// Prints a table of median ms per frame, scenes by render modes.
int frameBench(const FrameBenchOptions& options);

} // namespace PudletCli
