#include "zeb_motion_sensor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>

namespace fs = std::filesystem;

namespace {

class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("zeb_iio_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path device(const std::string& name) {
        fs::path d = root / name;
        fs::create_directories(d);
        return d;
    }
    static void write(const fs::path& file, const std::string& text) { std::ofstream(file) << text << "\n"; }
    static void tilt(const fs::path& d, int x, int y) {
        write(d / "in_accel_x_raw", std::to_string(x));
        write(d / "in_accel_y_raw", std::to_string(y));
    }

    fs::path root;
};

constexpr float kPi = std::numbers::pi_v<float>;

} // namespace

TEST_F(FakeSysfs, NoDeviceMeansKindZeroAndNoAngle) {
    device("iio:device0");  // a device without accelerometer channels
    write(root / "iio:device0" / "in_illuminance_raw", "40");
    ZebMotionSensor sensor(root.string());
    EXPECT_EQ(sensor.kind(), 0);
    EXPECT_FALSE(sensor.isEnabled());
    EXPECT_EQ(sensor.angle(), 0.0f);

    ZebMotionSensor missing((root / "absent").string());
    EXPECT_EQ(missing.kind(), 0);
    EXPECT_EQ(missing.angle(), 0.0f);
}

TEST_F(FakeSysfs, AngleIsRelativeToTheTiltAtCreation) {
    device("iio:device0");
    fs::path accel = device("iio:device1");
    tilt(accel, 0, 1000);
    ZebMotionSensor sensor(root.string());
    EXPECT_EQ(sensor.kind(), 1);
    EXPECT_EQ(sensor.zeroAngle(), 0.0f);
    EXPECT_EQ(sensor.angle(), 0.0f);

    tilt(accel, 1000, 1000);
    EXPECT_NEAR(sensor.angle(), kPi / 4, 1e-6);
    tilt(accel, -1000, 0);
    EXPECT_NEAR(sensor.angle(), -kPi / 2, 1e-6);
}

TEST_F(FakeSysfs, StartingTiltedZeroesAndWraps) {
    fs::path accel = device("iio:device0");
    tilt(accel, 1000, -1000);  // created at 135 degrees
    ZebMotionSensor sensor(root.string());
    EXPECT_NEAR(sensor.zeroAngle(), 3 * kPi / 4, 1e-6);
    EXPECT_NEAR(sensor.angle(), 0.0f, 1e-6);
    tilt(accel, -1000, -1000);  // -135 degrees: 90 degrees further round, not -270
    EXPECT_NEAR(sensor.angle(), kPi / 2, 1e-6);
}

TEST_F(FakeSysfs, OffsetsCountAndBadReadingsGiveZero) {
    fs::path accel = device("iio:device0");
    tilt(accel, 500, 1000);
    write(accel / "in_accel_x_offset", "-500");
    ZebMotionSensor sensor(root.string());
    EXPECT_EQ(sensor.zeroAngle(), 0.0f);
    write(accel / "in_accel_x_raw", "garbage");
    EXPECT_EQ(sensor.angle(), 0.0f);
    tilt(accel, 500, 0);
    write(accel / "in_accel_x_offset", "-500");
    EXPECT_EQ(sensor.angle(), 0.0f) << "lying flat has no direction";
    fs::remove_all(accel);
    EXPECT_EQ(sensor.angle(), 0.0f);
}
