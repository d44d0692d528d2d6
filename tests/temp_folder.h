#pragma once
// Whole files written and read, and a fixture with a fresh folder of its own
// per test, removed afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace PudletTest {

inline void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class TempFolderTest : public ::testing::Test {
protected:
    // prefix tells apart the folders of different suites run side by side.
    explicit TempFolderTest(std::string prefix) : prefix_(std::move(prefix)) {}

    void SetUp() override
    {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::path(::testing::TempDir()) /
               (prefix_ + test->name() + "_" + std::to_string(long(::getpid())));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string path(const char* name) const { return (dir_ / name).string(); }

    std::string write(const char* name, const std::string& text) const
    {
        std::string p = path(name);
        writeText(p, text);
        return p;
    }

    static std::string read(const std::string& p) { return readText(p); }

    std::filesystem::path dir_;

private:
    std::string prefix_;
};

} // namespace PudletTest
