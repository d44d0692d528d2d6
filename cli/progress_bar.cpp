#include "progress_bar.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace PudletCli {

namespace {

constexpr auto kQuietTime = std::chrono::milliseconds(500);
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 40;

} // namespace

ProgressBar::ProgressBar(int64_t total, const char* unit)
    : total_(total), unit_(unit), enabled_(total > 0 && isatty(STDERR_FILENO) == 1), start_(Clock::now()),
      lastDraw_(start_)
{
}

ProgressBar::~ProgressBar() { finish(); }

void ProgressBar::update(int64_t done)
{
    if (!enabled_)
        return;
    const Clock::time_point now = Clock::now();
    if (now - start_ < kQuietTime || (shown_ && now - lastDraw_ < kRedrawInterval))
        return;
    lastDraw_ = now;
    shown_ = true;
    const double fraction = double(done) / double(total_);
    const int filled = int(fraction * kBarWidth);
    std::string bar(size_t(filled), '#');
    bar.resize(kBarWidth, '.');
    std::fprintf(stderr, "\r[%s] %3d%% %lld/%lld %s", bar.c_str(), int(fraction * 100), static_cast<long long>(done),
                 static_cast<long long>(total_), unit_);
    std::fflush(stderr);
}

void ProgressBar::finish()
{
    if (!shown_)
        return;
    shown_ = false;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
}

} // namespace PudletCli
