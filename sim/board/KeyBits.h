// Bits of the key lines as the board's key device reports them.
#pragma once

#include <cstdint>

namespace vrec::board::keybit {

constexpr uint32_t kSpeaker = 1u << 0;
constexpr uint32_t kHold = 1u << 1;
constexpr uint32_t kF1 = 1u << 2;  // reported by the power controller, not the key lines
constexpr uint32_t kF2 = 1u << 3;
constexpr uint32_t kF3 = 1u << 4;
constexpr uint32_t kMenu = 1u << 5;
constexpr uint32_t kMode = 1u << 6;
constexpr uint32_t kDisplay = 1u << 7;
constexpr uint32_t kT = 1u << 8;
constexpr uint32_t kW = 1u << 9;
constexpr uint32_t kUp = 1u << 10;
constexpr uint32_t kEnter = 1u << 11;
constexpr uint32_t kLeft = 1u << 12;
constexpr uint32_t kRight = 1u << 13;
constexpr uint32_t kDown = 1u << 14;
constexpr uint32_t kRecord = 1u << 15;
constexpr uint32_t kPlay = 1u << 16;
constexpr uint32_t kStop = 1u << 17;
constexpr uint32_t kPhoneDetect = 1u << 18;  // set while no headphones are plugged
constexpr uint32_t kMicDetect = 1u << 19;
constexpr uint32_t kSdDetect = 1u << 20;
constexpr uint32_t kCameraSw = 1u << 21;
constexpr uint32_t kHdmiCable = 1u << 22;
constexpr uint32_t kUsbCable = 1u << 23;

}  // namespace vrec::board::keybit
