// The codec's mixer controls as the board's control plugin offers them:
// names, kinds, ranges, item names and where each value lives in the
// hardware state.
#pragma once

#include "sim/board/HardwareState.h"

#include <cstddef>
#include <string>

namespace vrec::sound {

enum class ControlKind
{
    kInteger,
    kEnumerated,
};

struct ControlInfo
{
    const char* name;  // element name, as the mixer's simple elements derive theirs from it
    ControlKind kind;
    int channels;
    int min;  // integer controls
    int max;
    const char* const* items;  // enumerated controls
    int itemCount;
    board::AtomicInt& (*value)(board::SoundMixer& mixer, int channel);
};

// Stable order: element numbers are index + 1.
const ControlInfo* ControlTable(size_t* count);
// Index of the element named `name`, -1 when there is none.
int FindControl(const std::string& name);

// Gains of the controls' register values.
double LineOutGainDb(int value);     // "Line out DAC"; value 0 is off
double CapturePgaGainDb(int value);  // "Capture PGA"
double MicGainDb(int item);          // "Mic Gain": microphone preamplifier

// The register image of the codec for "Reg. dump": lines of
// "cs42l51: R<nn> = 0x<vv>".
std::string RegisterDump(const board::SoundMixer& mixer);

}  // namespace vrec::sound
