// The camera sensor's registers as the board models them (16-bit values,
// reached through the capture device's register requests and the debug
// console's "camera" command).
#pragma once

#include "sim/board/HardwareState.h"

#include <cstdint>

namespace vrec::board::camreg {

constexpr int kChipVersion = 0x00;  // read only
constexpr int kRowStart = 0x01;     // crop window in field pixels
constexpr int kColumnStart = 0x02;
constexpr int kRowSize = 0x03;      // height - 1
constexpr int kColumnSize = 0x04;   // width - 1
constexpr int kShutterWidth = 0x09;
constexpr int kReadMode = 0x20;
constexpr int kGreenGain = 0x2B;
constexpr int kBlueGain = 0x2C;     // 0x40 = x1
constexpr int kRedGain = 0x2D;
constexpr int kGlobalGain = 0x35;
constexpr int kTestPattern = 0xA0;  // 0 off, 1 colour bars

constexpr uint32_t kMirrorRows = 0x4000;     // kReadMode bits
constexpr uint32_t kMirrorColumns = 0x8000;
constexpr uint32_t kUnitGain = 0x40;
constexpr uint32_t kVersion = 0x1801;

// Values after power-on and after the sensor's initialisation: the whole
// 1280 x 720 field, no mirroring, neutral gains, no test pattern.
uint32_t ResetValue(int reg);
void ResetCamera(Camera& camera);

}  // namespace vrec::board::camreg
