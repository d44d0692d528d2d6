#pragma once
// A progress bar on the standard error stream for long runs: it stays hidden
// for the first moment (short runs print nothing) and only ever appears when
// standard error is a terminal.
#include <chrono>
#include <cstdint>

namespace PudletCli {

class ProgressBar {
public:
    ProgressBar(int64_t total, const char* unit);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void update(int64_t done);
    // Erases the bar, so that later messages start on a clean line.
    void finish();

private:
    using Clock = std::chrono::steady_clock;

    int64_t total_;
    const char* unit_;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point lastDraw_;
};

} // namespace PudletCli
