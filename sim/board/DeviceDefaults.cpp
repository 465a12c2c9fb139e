#include "sim/board/DeviceDefaults.h"

#include "sim/board/camera/CameraRegisters.h"

#include <cstring>

namespace vrec::board {

namespace {

// Manufacturer "VRS", product 0x7523, 2012, EDID 1.3, digital input,
// 52 x 29 cm; 640x480@60 established; 1280x720@60 standard and
// preferred (CEA timing); name "KESTRA TV"; range 56-75 Hz, 30-81 kHz.
const uint8_t kEdidBase[kEdidBlockSize - 1] = {
    0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x5A, 0x53, 0x23, 0x75, 0x00, 0x00, 0x00, 0x00,
    0x01, 0x16, 0x01, 0x03, 0x80, 0x34, 0x1D, 0x78, 0x0A, 0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26,
    0x0F, 0x50, 0x54, 0x20, 0x00, 0x00, 0x81, 0xC0, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01,
    0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x1D, 0x00, 0x72, 0x51, 0xD0, 0x1E, 0x20, 0x6E, 0x28,
    0x55, 0x00, 0x08, 0x22, 0x21, 0x00, 0x00, 0x1E, 0x00, 0x00, 0x00, 0xFC, 0x00, 'K',  'E',  'S',
    'T',  'R',  'A',  ' ',  'T',  'V',  0x0A, 0x20, 0x20, 0x20, 0x00, 0x00, 0x00, 0xFD, 0x00, 0x38,
    0x4B, 0x1E, 0x51, 0x0F, 0x00, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x00, 0x00, 0x00, 0x10,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

const uint8_t kEdidHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

struct RegisterValue
{
    uint32_t address;
    uint32_t value;
};

// Non-zero reset values of the front end (all others read 0).
const RegisterValue kProcessorResets[] = {
    // CCDC: culling passes every pixel and line, video port on, 16 lines per frame interrupt.
    {0x01C7062C, 0x0000FFFF},  // CULH
    {0x01C70630, 0x000000FF},  // CULV
    {0x01C70638, 0x00000001},  // SDOFST
    {0x01C7064C, 0x0000BB11},  // COLPTN: R Gr / Gb B
    {0x01C70658, 0x00000010},  // VDINT0
    {0x01C70660, 0x00008000},  // FMTCFG: video port enabled
    // IPIPEIF: 1:1 resize, unity gain, clock divider 1/1.
    {0x01C70108, 0x00000001},  // CFG
    {0x01C7011C, 0x00000010},  // RSZ
    {0x01C70120, 0x00000200},  // GAIN (1.0)
    {0x01C70124, 0x00000101},  // CLKDIV
    // IPIPE: unity white-balance gains and colour conversion, neutral offsets.
    {0x01C71020, 0x00000080},  // WB2_WG_R
    {0x01C71024, 0x00000080},  // WB2_WG_GR
    {0x01C71028, 0x00000080},  // WB2_WG_GB
    {0x01C7102C, 0x00000080},  // WB2_WG_B
    {0x01C71100, 0x00000100},  // RGB1_MUL_RR
    {0x01C71110, 0x00000100},  // RGB1_MUL_GG
    {0x01C71120, 0x00000100},  // RGB1_MUL_BB
    {0x01C71200, 0x00000080},  // YCC_ADJ contrast
    {0x01C71204, 0x00000000},  // YCC_ADJ brightness
    {0x01C71300, 0x00000010},  // YEE gain
};

struct HdmiValue
{
    int reg;
    uint8_t value;
};

const HdmiValue kHdmiResets[] = {
    {0x00, 0x14},  // chip revision
    {0x01, 0x00}, {0x02, 0x18}, {0x03, 0x00},  // audio N = 6144 (48 kHz)
    {0x0A, 0x01},  // audio select: I2S
    {0x0C, 0xBC},  // I2S enable
    {0x15, 0x00},  // input ID
    {0x16, 0x00},  // output format 4:4:4
    {0x41, 0x50},  // powered down
    {0x43, 0x7E},  // EDID memory address
    {0x45, 0x70},  // packet memory address
    {0x98, 0x0B},
    {0x9C, 0x38},
    {0xAF, 0x04},  // HDMI mode
    {0xE1, 0x78},  // CEC memory address
    {0xF5, 0x75},  // chip ID high
    {0xF6, 0x23},  // chip ID low
};

}  // namespace

void WriteDefaultEdid(Hdmi& hdmi)
{
    uint8_t sum = 0;
    for (int i = 0; i < kEdidBlockSize - 1; ++i) {
        hdmi.edid[i] = kEdidBase[i];
        sum = static_cast<uint8_t>(sum + kEdidBase[i]);
    }
    hdmi.edid[kEdidBlockSize - 1] = static_cast<uint8_t>(0x100 - sum);
    for (int i = kEdidBlockSize; i < 256; ++i)
        hdmi.edid[i] = 0xFF;  // no extension block
}

bool EdidUsable(const Hdmi& hdmi)
{
    uint8_t sum = 0;
    for (int i = 0; i < kEdidBlockSize; ++i) {
        uint8_t byte = hdmi.edid[i].load();
        if (i < 8 && byte != kEdidHeader[i])
            return false;
        sum = static_cast<uint8_t>(sum + byte);
    }
    return sum == 0;
}

uint8_t HdmiRegisterResetValue(int reg)
{
    for (const HdmiValue& entry : kHdmiResets)
        if (entry.reg == reg)
            return entry.value;
    return 0;
}

uint32_t ProcessorRegisterResetValue(uint32_t address)
{
    for (const RegisterValue& entry : kProcessorResets)
        if (entry.address == address)
            return entry.value;
    return 0;
}

int ProcessorRegisterIndex(uint32_t address)
{
    if (address < kRegisterBase || (address & 3) != 0)
        return -1;
    uint32_t index = (address - kRegisterBase) / 4;
    return index < static_cast<uint32_t>(kRegisterWords) ? static_cast<int>(index) : -1;
}

void ResetDevicesAtPowerOn(HardwareState& state)
{
    for (int i = 0; i < kRegisterWords; ++i)
        state.registers.word[i] = ProcessorRegisterResetValue(kRegisterBase + 4u * static_cast<uint32_t>(i));
    for (int reg = 0; reg < 256; ++reg)
        state.hdmi.registers[reg] = HdmiRegisterResetValue(reg);
    state.hdmi.muted = 0;
    for (int i = 0; i < 2; ++i) {
        FrameBufferState& fb = state.display.fb[i];
        const FrameBufferGeometry& g = kFrameBuffers[i];
        fb.open = 0;
        fb.xres = g.defaultWidth;
        fb.yres = g.defaultHeight;
        fb.xresVirtual = g.defaultWidth;
        fb.yresVirtual = 2 * g.defaultHeight;
        fb.xoffset = 0;
        fb.yoffset = 0;
        fb.bitsPerPixel = 16;
        fb.lineLength = 2 * g.defaultWidth;
        fb.shownBank = 0;
        fb.zoom = 0;
        fb.zoomVertical = 0;
        fb.colorKey = 0xF81F;
        fb.colorKeyEnabled = 0;
        fb.blendFactor = 0;
        fb.windowEnabled = 0;
        fb.blanked = 0;
    }
    // The video planes stay dark until a display shows a picture.
    state.display.videoOutput = 0;
    state.display.lcdVideoShown = 0;
    state.display.hdmiVideoWidth = 0;
    state.display.hdmiVideoHeight = 0;
    camreg::ResetCamera(state.camera);
}

}  // namespace vrec::board
