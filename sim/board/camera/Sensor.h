// The camera's sensor: reads out one frame at an instant as its registers
// and the board's camera source say. The camera head turns over when the
// CAMERA_SW switch is off (the picture arrives upside down unless the
// read-out mirrors both ways).
#pragma once

#include "sim/board/HardwareState.h"
#include "sim/board/camera/PictureSources.h"
#include "sim/board/camera/Scene.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vrec::board {

class CameraSensor
{
public:
    explicit CameraSensor(HardwareState& state) : state_(state) {}

    // Frame number since the capture started, the instant it shows
    // (CLOCK_MONOTONIC) and the board's clock then (ms).
    void ReadOut(const UyvyFrame& out, uint32_t frameNumber, int64_t instantNs, uint32_t boardTimeMs);

    // What the registers and switches make of the field of view.
    SensorView View(int width, int height) const;

private:
    void FromSource(const UyvyFrame& out, const SensorView& view, int kind);

    HardwareState& state_;
    std::unique_ptr<PictureSource> source_;
    int sourceKind_ = -1;
    uint32_t sourceChanges_ = 0;
    int sourceWidth_ = 0;
    int sourceHeight_ = 0;
    std::vector<uint8_t> field_;
    FieldCropper cropper_;
};

}  // namespace vrec::board
