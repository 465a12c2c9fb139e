// The operator's and the tests' hands on the board's camera: what it looks
// at. Sync marks are in SyncMark.h.
#pragma once

#include "sim/board/HardwareState.h"

#include <string>

namespace vrec::board {

void SetCameraScene(Camera& camera);
void SetCameraBars(Camera& camera);
// A video file (host path), looped. False when the path does not fit.
bool SetCameraFile(Camera& camera, const std::string& path);
void SetCameraHost(Camera& camera);

// "scene", "bars", "file PATH" or "host" for the operator.
std::string CameraSourceName(const Camera& camera);

}  // namespace vrec::board
