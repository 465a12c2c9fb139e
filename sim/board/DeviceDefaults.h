// Reset values of the board's devices: the HDMI sink's EDID, the HDMI
// transmitter's registers and the processor's video-front-end registers.
#pragma once

#include "sim/board/HardwareState.h"

#include <cstdint>

namespace vrec::board {

constexpr int kEdidBlockSize = 128;

// The two OSD frame buffers: [0] "/dev/fb0" (HDMI), [1] "/dev/fb2" (LCD).
struct FrameBufferGeometry
{
    int defaultWidth;
    int defaultHeight;
    int maxWidth;   // of one bank
    int maxHeight;
    const char* memoryFile;  // in the board root
    const char* id;
};

constexpr FrameBufferGeometry kFrameBuffers[2] = {
    {640, 480, 1280, 720, "fb0.mem", "dm_osd0_fb"},
    {240, 320, 240, 320, "fb2.mem", "dm_osd1_fb"},
};

// Bytes of a frame buffer's memory: two banks of the largest size.
constexpr size_t FrameBufferMemorySize(const FrameBufferGeometry& g)
{
    return static_cast<size_t>(g.maxWidth) * g.maxHeight * 2 * 2;
}

// A 720p television: one EDID base block with its checksum.
void WriteDefaultEdid(Hdmi& hdmi);
// True when the sink's EDID starts with the fixed header and its base
// block sums to 0 (mod 256).
bool EdidUsable(const Hdmi& hdmi);

uint8_t HdmiRegisterResetValue(int reg);
uint32_t ProcessorRegisterResetValue(uint32_t address);

// Index of address in ProcessorRegisters, or -1 when the board has no
// register there (outside the block or not word aligned).
int ProcessorRegisterIndex(uint32_t address);

}  // namespace vrec::board
