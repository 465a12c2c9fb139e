#include "sim/sound/Controls.h"

#include <cstdio>
#include <cstring>

namespace vrec::sound {

namespace {

using board::AtomicInt;
using board::SoundMixer;

const char* const kOffOn[] = {"Off", "On"};
const char* const kDisableEnable[] = {"Disable", "Enable"};
const char* const kSources[] = {"Inner_Mic", "Ext_Mic", "Ext_Mic_Bias", "Line"};
const char* const kMicGains[] = {"Low", "Mid", "High"};
const char* const kLevelControls[] = {"Off", "Auto", "Limiter"};

#define FIELD(member) [](SoundMixer& m, int) -> AtomicInt& { return m.member; }
#define ENUM(name, items, member) \
    {name, ControlKind::kEnumerated, 1, 0, 0, items, static_cast<int>(sizeof(items) / sizeof(items[0])), FIELD(member)}

const ControlInfo kControls[] = {
    // The driver sets both channels of the codec's volumes from one value.
    {"Line out DAC Playback Volume", ControlKind::kInteger, 1, 0, 120, nullptr, 0, FIELD(lineOutDac)},
    {"Capture PGA Capture Volume", ControlKind::kInteger, 1, 0, 48, nullptr, 0, FIELD(capturePga)},
    ENUM("ExCap", kOffOn, exCap),
    ENUM("Zero Output", kDisableEnable, zeroOutput),
    ENUM("DAC Mute", kOffOn, dacMute),
    ENUM("ADC Mute", kOffOn, adcMute),
    ENUM("Capture Source Select", kSources, captureSource),
    ENUM("Mic Gain", kMicGains, micGain),
    ENUM("Capture Level Ctrl", kLevelControls, levelControl),
    ENUM("Speaker Ctrl", kOffOn, speaker),
    ENUM("Zero Cross", kOffOn, zeroCross),
    ENUM("Reg. dump", kDisableEnable, regDump),
};

#undef ENUM
#undef FIELD

}  // namespace

const ControlInfo* ControlTable(size_t* count)
{
    *count = sizeof(kControls) / sizeof(kControls[0]);
    return kControls;
}

int FindControl(const std::string& name)
{
    size_t count;
    const ControlInfo* table = ControlTable(&count);
    for (size_t i = 0; i < count; ++i)
        if (name == table[i].name)
            return static_cast<int>(i);
    return -1;
}

double LineOutGainDb(int value)
{
    return (value - 120) * 0.5;
}

double CapturePgaGainDb(int value)
{
    return (value - 24) * 0.5;
}

double MicGainDb(int item)
{
    static const double kGains[] = {0.0, 10.0, 20.0};
    return (item >= 0 && item < 3) ? kGains[item] : 0.0;
}

std::string RegisterDump(const SoundMixer& mixer)
{
    // The codec's registers as its driver would program them from the
    // controls (power, mic, ADC input, PGA, limiter/ALC, DAC output, volume).
    auto pga = [](int value) { return static_cast<unsigned>((value - 6) & 0x3F); };
    auto volume = [](int value) { return static_cast<unsigned>((value - 120) & 0xFF); };
    unsigned source = static_cast<unsigned>(mixer.captureSource.load());
    struct Register
    {
        unsigned address;
        unsigned value;
    } registers[] = {
        {0x01, 0xD9},
        {0x02, 0x00},
        {0x03, 0xA0u | (source == 2 ? 0x0Eu : 0x00u)},
        {0x04, 0x0C},
        {0x05, static_cast<unsigned>(mixer.micGain.load()) << 5},
        {0x06, mixer.adcMute ? 0x03u : 0x00u},
        {0x07, source == 3 ? 0x00u : (source == 0 ? 0x50u : 0xA0u)},
        {0x08, (mixer.dacMute ? 0x03u : 0x00u) | (mixer.exCap ? 0x40u : 0x00u)},
        {0x09, (mixer.zeroOutput ? 0x80u : 0x00u) | (mixer.zeroCross ? 0x03u : 0x00u)},
        {0x0A, pga(mixer.capturePga)},
        {0x0B, pga(mixer.capturePga)},
        {0x0C, mixer.levelControl == 1 ? 0xC0u : 0x00u},
        {0x16, volume(mixer.lineOutDac)},
        {0x17, volume(mixer.lineOutDac)},
        {0x19, mixer.levelControl == 2 ? 0x80u : 0x00u},
        {0x1F, mixer.speaker ? 0x01u : 0x00u},
    };
    std::string dump;
    char line[48];
    for (const Register& r : registers) {
        std::snprintf(line, sizeof(line), "cs42l51: R%02X = 0x%02X\n", r.address, r.value & 0xFF);
        dump += line;
    }
    return dump;
}

}  // namespace vrec::sound
