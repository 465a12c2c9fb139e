#include "sim/board/camera/SyncMark.h"

#include <ctime>

namespace vrec::board {

int64_t MonotonicNs()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t FrameIndexAtOrAfter(int64_t ns)
{
    int64_t k = ns * kCameraFps / 1000000000;
    while (FrameInstantNs(k) < ns)
        ++k;
    while (k > 0 && FrameInstantNs(k - 1) >= ns)
        --k;
    return k;
}

int64_t SyncMarkIn(const Camera& camera, int64_t fromNs, int64_t toNs)
{
    int64_t best = -1;
    int64_t once = camera.syncMarkNs.load();
    if (once > 0 && once >= fromNs && once < toNs)
        best = once;
    if (camera.syncEverySecond.load()) {
        int64_t second = (fromNs + 999999999) / 1000000000 * 1000000000;
        if (second < toNs && (best < 0 || second < best))
            best = second;
    }
    return best;
}

int64_t RequestSyncMark(Camera& camera, int delayMs)
{
    int64_t at = FrameInstantNs(FrameIndexAtOrAfter(MonotonicNs() + static_cast<int64_t>(delayMs) * 1000000));
    camera.syncMarkNs = at;
    return at;
}

void SetSyncEverySecond(Camera& camera, bool on)
{
    camera.syncEverySecond = on ? 1 : 0;
}

}  // namespace vrec::board
