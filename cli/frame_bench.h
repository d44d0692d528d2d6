#pragma once
// The frame-time measurement of `pudlet-cli bench --frames`.
#include <string>
#include <vector>

namespace PudletCli {

struct FrameBenchOptions {
    std::vector<std::string> scenes;
    int width = 1280;
    int height = 960;
    int warmUpSteps = 60; // simulation steps before drawing
    int frames = 5;       // timed frames per mode, after one untimed
};

// Prints a table of median ms per frame, scenes by render modes 1 to 7.
int frameBench(const FrameBenchOptions& options);

} // namespace PudletCli
