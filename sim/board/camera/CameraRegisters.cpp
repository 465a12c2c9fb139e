#include "sim/board/camera/CameraRegisters.h"

namespace vrec::board::camreg {

uint32_t ResetValue(int reg)
{
    switch (reg) {
    case kChipVersion: return kVersion;
    case kRowSize: return 720 - 1;
    case kColumnSize: return 1280 - 1;
    case kShutterWidth: return 0x0300;
    case kGreenGain:
    case kBlueGain:
    case kRedGain:
    case kGlobalGain: return kUnitGain;
    default: return 0;
    }
}

void ResetCamera(Camera& camera)
{
    for (int reg = 0; reg < kCameraRegisters; ++reg)
        camera.registers[reg] = ResetValue(reg);
    camera.streaming = 0;
    camera.width = 0;
    camera.height = 0;
}

}  // namespace vrec::board::camreg
