#include "zeb_motion_sensor.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool readNumber(const fs::path& file, double& value) {
    std::ifstream in(file);
    return static_cast<bool>(in >> value);
}

// Channels may carry their own offsets; both axes share one scale, which the
// angle does not need.
bool readAxis(const fs::path& device, const char* axis, double& value) {
    double raw;
    if (!readNumber(device / (std::string("in_accel_") + axis + "_raw"), raw)) return false;
    double offset = 0.0;
    readNumber(device / (std::string("in_accel_") + axis + "_offset"), offset);
    value = raw + offset;
    return std::isfinite(value);
}

} // namespace

ZebMotionSensor::ZebMotionSensor(std::string devicesRoot) {
    std::error_code error;
    std::vector<fs::path> candidates;
    for (fs::directory_iterator it(devicesRoot, error), end; !error && it != end; it.increment(error))
        candidates.push_back(it->path());
    std::sort(candidates.begin(), candidates.end());
    for (const fs::path& candidate : candidates) {
        double x, y;
        if (readAxis(candidate, "x", x) && readAxis(candidate, "y", y)) {
            device = candidate.string();
            sensorKind = 1;
            break;
        }
    }
    zero = angle();
}

bool ZebMotionSensor::readTilt(float& tilt) const {
    double x, y;
    if (!readAxis(device, "x", x) || !readAxis(device, "y", y)) return false;
    if (x == 0.0 && y == 0.0) return false;  // lying flat: no direction in the screen's plane
    tilt = static_cast<float>(std::atan2(x, y));
    return true;
}

float ZebMotionSensor::angle() const {
    if (sensorKind == 0) return 0.0f;
    float tilt;
    if (!readTilt(tilt)) return 0.0f;
    float a = tilt - zero;
    const float pi = std::numbers::pi_v<float>;
    if (a > pi) a -= 2.0f * pi;
    if (a <= -pi) a += 2.0f * pi;
    return a;
}
