// Scenario files: timed steps that drive the device and check what it
// shows, one step a line (the syntax is in the README and in --help).
#pragma once

#include "sim/board/Card.h"
#include "sim/frontend/Controls.h"
#include "sim/frontend/Pictures.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vrec::frontend {

struct Check
{
    enum class What
    {
        kLed,        // name: rec, peak, camera; on
        kBacklight,  // level: -1 any lit, 0 off, N that level
        kScreen,     // name
        kFile,       // path (a pattern); present
        kPower,      // on
        kCard,       // on: mounted
        kPixel,      // output, x, y, colour, tolerance
        kConsole,    // text
        kBox,        // text: the last box the firmware opened holds it
        kNewBox,     // text: ... and it opened after the last box check that held
        kUsb,        // on: the card is exported over USB
        kText,       // name: the text, font: a16 a20 a24 f16, colour; x, y or anywhere (x < 0)
        kDuration,   // name: a card path (pattern), durationMs, toleranceMs
    };
    What what = What::kPower;
    std::string name;
    bool on = true;
    int level = 0;
    Output output = Output::kLcd;
    int x = 0, y = 0;
    uint32_t colour = 0;
    int tolerance = 0;
    int withinMs = 0;  // poll until true or this time has passed
    std::string font;      // text
    int durationMs = 0;    // duration
    int toleranceMs = 200;
};

struct Step
{
    enum class Kind
    {
        kWait,
        kPress,
        kHold,
        kRelease,
        kSet,
        kCard,
        kHdmi,
        kUsb,
        kBattery,
        kAdapter,
        kVolume,
        kSnap,
        kPower,
        kConsole,
        kExpect,
        kQuit,
        kFlash,
        kSound,
        kCamera,  // action: scene bars host file sync; name: file; number: sync -1 once, 1 every second, 0 off
        kMonkey,  // number: the seed; ms: how long
    };
    Kind kind = Kind::kWait;
    int line = 0;
    std::string text;         // the line as written
    int ms = 0;               // wait, hold ... for
    std::vector<uint32_t> keys;
    bool allKeys = false;     // release all
    Switch which = Switch::kHold;
    bool on = false;          // set, hdmi/usb plug, adapter
    bool sink = true;         // hdmi plug with a display answering
    std::string action;       // card: insert remove new foreign blank fill put; power: on off cut;
                              // flash: flip fail off erase; usb: put (else plug or unplug by `on`)
    std::string name;         // card name, console text, snapshot file; card/usb put: the card path
    std::string source;       // card/usb put: the host file
    uint64_t sizeBytes = 0;   // card new: its size; card fill: the space left free
    int clusterSectors = 0;   // card new, foreign: sectors of a cluster (0: the recorder's 64)
    int number = 0;           // battery, volume, flash partition (N of mtdN)
    uint64_t offset = 0;      // flash fault flip: the byte
    Output output = Output::kLcd;
    Check check;
    SoundInputName soundInput = SoundInputName::kBuiltIn;  // sound
    SoundSource sound;
};

struct Scenario
{
    std::string path;
    std::vector<Step> steps;
};

// Reads a scenario; false and "file:line: reason" on the first bad line.
bool ParseScenario(const std::string& path, Scenario& out, std::string* why);
bool ParseScenarioText(const std::string& text, const std::string& name, Scenario& out, std::string* why);

// "500ms", "2s", "1.5s", "1m" -> milliseconds; -1 when not a duration.
int ParseDuration(const std::string& text);

// The syntax, for --help.
const char* ScenarioSyntax();

}  // namespace vrec::frontend
