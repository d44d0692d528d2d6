#pragma once
// The tilt sensor: on Linux an industrial-I/O accelerometer (the in_accel_*
// files of a device under /sys/bus/iio/devices). The angle is relative to the
// tilt at creation, so the scene's gravity starts where it was.
#include <string>

class ZebMotionSensor {
public:
    explicit ZebMotionSensor(std::string devicesRoot = "/sys/bus/iio/devices");

    // 0: no sensor; 1: an accelerometer with x and y channels.
    int kind() const { return sensorKind; }
    bool isEnabled() const { return sensorKind != 0; }
    // Radians in (-pi, pi], relative to the tilt at creation; 0 without a
    // sensor or when a reading fails.
    float angle() const;
    float zeroAngle() const { return zero; }

private:
    bool readTilt(float& tilt) const;

    std::string device;
    int sensorKind = 0;
    float zero = 0.0f;
};
