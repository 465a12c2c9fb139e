#include "sim/sound/PacingClock.h"

#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

namespace vrec::sound {

namespace {

int64_t NowNs()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

struct timespec FromNs(int64_t ns)
{
    struct timespec t;
    t.tv_sec = static_cast<time_t>(ns / 1000000000);
    t.tv_nsec = static_cast<long>(ns % 1000000000);
    return t;
}

}  // namespace

PacingClock::PacingClock()
{
    fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
}

PacingClock::~PacingClock()
{
    if (fd_ >= 0)
        close(fd_);
}

void PacingClock::Start(unsigned rate, uint64_t wakeFrames)
{
    rate_ = rate;
    held_ = 0;
    startNs_ = NowNs();
    running_ = true;
    if (wakeFrames == 0)
        wakeFrames = 1;
    int64_t intervalNs = static_cast<int64_t>(wakeFrames * 1000000000ull / rate);
    if (intervalNs < 100000)
        intervalNs = 100000;
    struct itimerspec timer;
    timer.it_interval = FromNs(intervalNs);
    // A little after the boundary, so that the period is complete when the
    // poller looks.
    timer.it_value = FromNs(intervalNs + 200000);
    timerfd_settime(fd_, 0, &timer, nullptr);
}

void PacingClock::Stop()
{
    running_ = false;
    struct itimerspec off = {};
    timerfd_settime(fd_, 0, &off, nullptr);
    Drain();
}

uint64_t PacingClock::Elapsed() const
{
    if (!running_)
        return 0;
    int64_t d = NowNs() - startNs_;
    if (d < 0)
        return 0;
    uint64_t seconds = static_cast<uint64_t>(d / 1000000000);
    uint64_t rest = static_cast<uint64_t>(d % 1000000000);
    uint64_t frames = seconds * rate_ + rest * rate_ / 1000000000;
    return frames > held_ ? frames - held_ : 0;
}

void PacingClock::WakeNow()
{
    struct itimerspec timer = {};
    timer.it_value.tv_nsec = 1;
    timerfd_settime(fd_, 0, &timer, nullptr);
}

void PacingClock::Drain()
{
    uint64_t expirations;
    while (read(fd_, &expirations, sizeof(expirations)) == static_cast<ssize_t>(sizeof(expirations))) {
    }
}

}  // namespace vrec::sound
