// The operator's hands on the simulated device: keys, switches, cables,
// card slot, battery and knob, acting on the board's hardware state.
#pragma once

#include "sim/board/Card.h"
#include "sim/board/HardwareState.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vrec::frontend {

// The sixteen keys (bits 2..17 of the key mask) by the firmware's names.
struct KeyName
{
    const char* name;
    uint32_t bit;
};
const std::vector<KeyName>& Keys();
// The key's bit, or nullopt for an unknown name (case does not matter).
std::optional<uint32_t> FindKey(const std::string& name);

// Switches and plugs a scenario can set on or off.
enum class Switch
{
    kHold,
    kSpeaker,
    kCameraSw,
    kHeadphones,    // on = plugged: PHONE_DETECT is set while none are in
    kMic,           // on = external microphone plugged (MIC_DETECT)
    kWriteProtect,  // the card's write-protect tab
};
std::optional<Switch> FindSwitch(const std::string& name);
const std::vector<std::string>& SwitchNames();

// The sound card's two capture inputs.
enum class SoundInputName
{
    kBuiltIn,   // the built-in microphones
    kExternal,  // the external jack (microphone or line)
};

// What an input hears.
struct SoundSource
{
    enum class Kind
    {
        kSilence,
        kTone,     // a sine per channel
        kNoise,    // white noise per channel
        kWavFile,  // a WAV file, looped
        kHost,     // the host's own microphone
    };
    Kind kind = Kind::kSilence;
    int hz[2] = {1000, 1000};
    double db[2] = {-20.0, -20.0};  // peak level in dBFS (a WAV file: its gain)
    std::string wavFile;            // host path
};

// "tone 1000 Hz -6.0 dB", "silence", "WAV take.wav", ...
std::string DescribeSoundSource(const SoundSource& source);

class Controls
{
public:
    Controls(std::string root, board::HardwareState& state);

    board::HardwareState& state() { return state_; }
    const std::string& root() const { return root_; }

    // Keys: F1 is the power controller's key, the others are key lines.
    void SetKey(uint32_t bit, bool down);
    void ReleaseAllKeys();
    bool KeyDown(uint32_t bit) const;

    void SetSwitch(Switch which, bool on);
    bool SwitchOn(Switch which) const;

    void PlugHdmi(bool in, bool withSink = true);
    void PlugUsb(bool in);
    void SetAdapter(bool on);
    void SetBattery(int level);  // 0..7
    void SetInputVolume(int value);  // 0..127

    // What the microphones hear. False and a reason for an unreadable WAV file.
    bool SetSoundSource(SoundInputName input, const SoundSource& source, std::string* why);
    SoundSource CurrentSoundSource(SoundInputName input) const;

    // Card slot. Names are folders under the board's cards/.
    bool InsertCard(const std::string& name, std::string* why);
    void RemoveCard();
    // Leaves that many bytes free on the card in the slot (a filler file).
    bool FillCard(uint64_t freeBytes, std::string* why);
    // Makes a new card (formatted by the recorder or elsewhere, with
    // clusters of that many sectors) and puts it in.
    bool NewCard(const std::string& name, board::CardFormat format, uint64_t sizeBytes, std::string* why,
                 int sectorsPerCluster = board::CardOptions{}.sectorsPerCluster);
    // Copies a host file onto the card in the slot (cardPath from its root,
    // folders made as needed).
    bool PutOnCard(const std::string& hostFile, const std::string& cardPath, std::string* why);
    // The card is exported over USB (the device's mass-storage gadget holds
    // it): the host side may change its files.
    bool CardOnUsb() const;
    std::string CardInSlot() const;
    std::vector<std::string> CardNames() const;
    // Host folder of the card's files (empty when no card is in).
    std::string CardFiles() const;

private:
    std::string root_;
    board::HardwareState& state_;
    board::CardStore cards_;
};

}  // namespace vrec::frontend
