#include "sim/board/camera/Sensor.h"

#include "sim/board/KeyBits.h"
#include "sim/board/camera/CameraRegisters.h"
#include "sim/board/camera/FrameStamp.h"
#include "sim/board/camera/SyncMark.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vrec::board {

SensorView CameraSensor::View(int width, int height) const
{
    const Camera& camera = state_.camera;
    auto reg = [&camera](int r) { return camera.registers[r].load() & 0xFFFF; };
    SensorView view;
    view.cropX = std::min<int>(reg(camreg::kColumnStart), width - 2);
    view.cropY = std::min<int>(reg(camreg::kRowStart), height - 2);
    view.cropWidth = std::min<int>(reg(camreg::kColumnSize) + 1, width - view.cropX);
    view.cropHeight = std::min<int>(reg(camreg::kRowSize) + 1, height - view.cropY);
    bool turned = (state_.keys.mask.load() & keybit::kCameraSw) == 0;
    uint32_t mode = reg(camreg::kReadMode);
    view.mirrorX = ((mode & camreg::kMirrorColumns) != 0) != turned;
    view.mirrorY = ((mode & camreg::kMirrorRows) != 0) != turned;
    view.redGain = static_cast<double>(reg(camreg::kRedGain)) / camreg::kUnitGain;
    view.blueGain = static_cast<double>(reg(camreg::kBlueGain)) / camreg::kUnitGain;
    return view;
}

void CameraSensor::ReadOut(const UyvyFrame& out, uint32_t frameNumber, int64_t instantNs, uint32_t boardTimeMs)
{
    Camera& camera = state_.camera;
    int kind = camera.source.load();
    if ((camera.registers[camreg::kTestPattern].load() & 1) || kind == kCameraBars) {
        DrawColourBars(out);
        return;
    }
    SensorView view = View(out.width, out.height);
    if (kind == kCameraFile || kind == kCameraHost)
        FromSource(out, view, kind);
    else
        DrawTestScene(out, view, static_cast<double>(instantNs) / 1e9, frameNumber);
    if (SyncMarkIn(camera, instantNs, FrameInstantNs(FrameIndexAtOrAfter(instantNs) + 1)) >= 0)
        FillWhite(out);
    if (kind == kCameraScene) {
        FrameStamp stamp;
        stamp.frame = frameNumber;
        stamp.timeMs = boardTimeMs;
        DrawFrameStamp(out.data, out.width, out.height, out.stride, stamp);
    }
}

void CameraSensor::FromSource(const UyvyFrame& out, const SensorView& view, int kind)
{
    Camera& camera = state_.camera;
    uint32_t changes = camera.sourceChanges.load();
    if (kind != sourceKind_ || changes != sourceChanges_ || out.width != sourceWidth_ || out.height != sourceHeight_) {
        sourceKind_ = kind;
        sourceChanges_ = changes;
        sourceWidth_ = out.width;
        sourceHeight_ = out.height;
        std::string why;
        if (kind == kCameraFile) {
            char path[kCameraPathSize];
            std::memcpy(path, camera.file, sizeof(path));
            path[kCameraPathSize - 1] = 0;
            source_ = OpenVideoFile(path, &why);
        } else {
            source_ = OpenHostCamera(out.width, out.height, &why);
        }
        if (!source_)
            std::fprintf(stderr, "board camera: %s; the camera sees black\n", why.c_str());
        field_.assign(static_cast<size_t>(out.width) * out.height * 2, 0);
        UyvyFrame black = {field_.data(), out.width, out.height, out.width * 2};
        FillBlack(black);
    }
    UyvyFrame field = {field_.data(), out.width, out.height, out.width * 2};
    if (source_)
        source_->Next(field);
    cropper_.Apply(field, view, out);
}

}  // namespace vrec::board
