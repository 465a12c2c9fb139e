// Sync marks: instants at which the camera shows a white frame and the
// built-in microphones hear a click, so that a test can measure how far
// sound and picture of a recording are apart. Frames are taken on a 30 Hz
// grid of CLOCK_MONOTONIC, and marks fall on that grid.
#pragma once

#include "sim/board/HardwareState.h"

#include <cstdint>

namespace vrec::board {

constexpr int kCameraFps = 30;

int64_t MonotonicNs();
// Instant of frame k of the grid, and the first frame at or after ns.
inline int64_t FrameInstantNs(int64_t k) { return k * 1000000000 / kCameraFps; }
int64_t FrameIndexAtOrAfter(int64_t ns);

// The first mark in [fromNs, toNs), or -1.
int64_t SyncMarkIn(const Camera& camera, int64_t fromNs, int64_t toNs);

// Asks for one mark at the first frame instant at least delayMs from now;
// returns its instant.
int64_t RequestSyncMark(Camera& camera, int delayMs = 100);
void SetSyncEverySecond(Camera& camera, bool on);

}  // namespace vrec::board
