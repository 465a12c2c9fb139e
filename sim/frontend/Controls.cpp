#include "sim/frontend/Controls.h"

#include "sim/board/KeyBits.h"
#include "sim/sound/SoundCardControl.h"
#include "sim/sound/WavFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <dirent.h>

namespace vrec::frontend {

namespace kb = board::keybit;

namespace {

std::string Upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

const std::vector<KeyName>& Keys()
{
    static const std::vector<KeyName> keys = {
        {"F1", kb::kF1},       {"F2", kb::kF2},         {"F3", kb::kF3},       {"MENU", kb::kMenu},
        {"MODE", kb::kMode},   {"DISPLAY", kb::kDisplay}, {"T", kb::kT},       {"W", kb::kW},
        {"UP", kb::kUp},       {"ENTER", kb::kEnter},   {"LEFT", kb::kLeft},   {"RIGHT", kb::kRight},
        {"DOWN", kb::kDown},   {"RECORD", kb::kRecord}, {"PLAY", kb::kPlay},   {"STOP", kb::kStop},
    };
    return keys;
}

std::optional<uint32_t> FindKey(const std::string& name)
{
    std::string upper = Upper(name);
    for (const KeyName& key : Keys())
        if (upper == key.name)
            return key.bit;
    return std::nullopt;
}

const std::vector<std::string>& SwitchNames()
{
    static const std::vector<std::string> names = {"HOLD", "SPEAKER", "CAMERA_SW", "HEADPHONES", "MIC",
                                                   "WRITE_PROTECT"};
    return names;
}

std::optional<Switch> FindSwitch(const std::string& name)
{
    std::string upper = Upper(name);
    if (upper == "HOLD")
        return Switch::kHold;
    if (upper == "SPEAKER")
        return Switch::kSpeaker;
    if (upper == "CAMERA_SW" || upper == "CAMERA")
        return Switch::kCameraSw;
    if (upper == "HEADPHONES" || upper == "PHONE")
        return Switch::kHeadphones;
    if (upper == "MIC" || upper == "EXT_MIC")
        return Switch::kMic;
    if (upper == "WRITE_PROTECT")
        return Switch::kWriteProtect;
    return std::nullopt;
}

Controls::Controls(std::string root, board::HardwareState& state)
    : root_(std::move(root)), state_(state), cards_(root_)
{
}

void Controls::SetKey(uint32_t bit, bool down)
{
    if (bit == kb::kF1) {
        state_.power.f1Pressed = down ? 1 : 0;
        return;
    }
    board::SetKeyBits(state_, bit & 0x3FFF8u, down);
}

void Controls::ReleaseAllKeys()
{
    state_.power.f1Pressed = 0;
    board::SetKeyBits(state_, 0x3FFF8u, false);
}

bool Controls::KeyDown(uint32_t bit) const
{
    if (bit == kb::kF1)
        return state_.power.f1Pressed.load() != 0;
    return (state_.keys.mask.load() & bit) != 0;
}

void Controls::SetSwitch(Switch which, bool on)
{
    switch (which) {
    case Switch::kHold:
        board::SetKeyBits(state_, kb::kHold, on);
        break;
    case Switch::kSpeaker:
        board::SetKeyBits(state_, kb::kSpeaker, on);
        break;
    case Switch::kCameraSw:
        board::SetKeyBits(state_, kb::kCameraSw, on);
        break;
    case Switch::kHeadphones:
        board::SetKeyBits(state_, kb::kPhoneDetect, !on);
        break;
    case Switch::kMic:
        board::SetKeyBits(state_, kb::kMicDetect, on);
        break;
    case Switch::kWriteProtect:
        state_.card.writeProtected = on ? 1 : 0;
        state_.card.changes.fetch_add(1);
        break;
    }
}

bool Controls::SwitchOn(Switch which) const
{
    uint32_t mask = state_.keys.mask.load();
    switch (which) {
    case Switch::kHold:
        return mask & kb::kHold;
    case Switch::kSpeaker:
        return mask & kb::kSpeaker;
    case Switch::kCameraSw:
        return mask & kb::kCameraSw;
    case Switch::kHeadphones:
        return !(mask & kb::kPhoneDetect);
    case Switch::kMic:
        return mask & kb::kMicDetect;
    case Switch::kWriteProtect:
        return state_.card.writeProtected.load() != 0;
    }
    return false;
}

void Controls::PlugHdmi(bool in, bool withSink)
{
    state_.hdmi.sink = in && withSink ? 1 : 0;
    state_.hdmi.cable = in ? 1 : 0;
    board::SetKeyBits(state_, kb::kHdmiCable, in);
}

void Controls::PlugUsb(bool in)
{
    state_.usb.cable = in ? 1 : 0;
    board::SetKeyBits(state_, kb::kUsbCable, in);
}

void Controls::SetAdapter(bool on)
{
    state_.power.adapter = on ? 1 : 0;
}

void Controls::SetBattery(int level)
{
    board::SetBatteryLevel(state_, level);
}

void Controls::SetInputVolume(int value)
{
    state_.power.inputVolume = std::clamp(value, 0, 127);
}

bool Controls::SetSoundSource(SoundInputName input, const SoundSource& source, std::string* why)
{
    board::SoundCard& card = state_.sound;
    const sound::Input which = input == SoundInputName::kBuiltIn ? sound::Input::kBuiltInMics : sound::Input::kExternal;
    switch (source.kind) {
    case SoundSource::Kind::kSilence:
        sound::SetSilence(card, which);
        return true;
    case SoundSource::Kind::kTone:
        sound::SetTone(card, which, source.hz[0], source.db[0], source.hz[1], source.db[1]);
        return true;
    case SoundSource::Kind::kNoise:
        sound::SetNoise(card, which, source.db[0], source.db[1]);
        return true;
    case SoundSource::Kind::kWavFile: {
        sound::WavClip clip;
        if (!sound::ReadWavClip(source.wavFile, &clip, why))
            return false;
        if (!sound::SetWavFile(card, which, source.wavFile, source.db[0])) {
            *why = "the path of " + source.wavFile + " is too long";
            return false;
        }
        return true;
    }
    case SoundSource::Kind::kHost:
        sound::SetHostCapture(card, which);
        return true;
    }
    return false;
}

SoundSource Controls::CurrentSoundSource(SoundInputName input) const
{
    const board::SoundInput& in = input == SoundInputName::kBuiltIn ? state_.sound.inner : state_.sound.external;
    SoundSource source;
    switch (in.kind.load()) {
    case board::kSoundTone:
        source.kind = SoundSource::Kind::kTone;
        break;
    case board::kSoundNoise:
        source.kind = SoundSource::Kind::kNoise;
        break;
    case board::kSoundWavFile:
        source.kind = SoundSource::Kind::kWavFile;
        source.wavFile.assign(in.wavFile, strnlen(in.wavFile, sizeof(in.wavFile)));
        break;
    case board::kSoundHost:
        source.kind = SoundSource::Kind::kHost;
        break;
    default:
        break;
    }
    for (int ch = 0; ch < 2; ++ch) {
        source.hz[ch] = in.toneHz[ch].load();
        source.db[ch] = in.levelCentiDb[ch].load() / 100.0;
    }
    return source;
}

std::string DescribeSoundSource(const SoundSource& source)
{
    auto level = [](double db) {
        char text[32];
        if (db <= -144.0)
            std::snprintf(text, sizeof(text), "off");
        else
            std::snprintf(text, sizeof(text), "%.1f dB", db);
        return std::string(text);
    };
    switch (source.kind) {
    case SoundSource::Kind::kTone: {
        std::string left = std::to_string(source.hz[0]) + " Hz " + level(source.db[0]);
        std::string right = std::to_string(source.hz[1]) + " Hz " + level(source.db[1]);
        return left == right ? "tone " + left : "tone " + left + " / " + right;
    }
    case SoundSource::Kind::kNoise:
        return "noise " + level(source.db[0]);
    case SoundSource::Kind::kWavFile: {
        size_t slash = source.wavFile.rfind('/');
        return "WAV " + (slash == std::string::npos ? source.wavFile : source.wavFile.substr(slash + 1));
    }
    case SoundSource::Kind::kHost:
        return "host microphone";
    case SoundSource::Kind::kSilence:
        break;
    }
    return "silence";
}

bool Controls::FillCard(uint64_t freeBytes, std::string* why)
{
    std::string name = CardInSlot();
    if (name.empty()) {
        *why = "no card in the slot";
        return false;
    }
    return board::FillCard(cards_, name, freeBytes, why);
}

bool Controls::InsertCard(const std::string& name, std::string* why)
{
    return cards_.Insert(state_, name, why);
}

void Controls::RemoveCard()
{
    cards_.Remove(state_);
}

bool Controls::NewCard(const std::string& name, board::CardFormat format, uint64_t sizeBytes, std::string* why,
                       int sectorsPerCluster)
{
    if (cards_.Exists(name)) {
        if (why)
            *why = "a card named '" + name + "' exists already";
        return false;
    }
    board::CardOptions options;
    options.format = format;
    options.sizeBytes = sizeBytes;
    options.sectorsPerCluster = sectorsPerCluster;
    if (!cards_.Create(name, options, why))
        return false;
    if (!CardInSlot().empty())
        RemoveCard();
    return InsertCard(name, why);
}

bool Controls::PutOnCard(const std::string& hostFile, const std::string& cardPath, std::string* why)
{
    std::string files = CardFiles();
    if (files.empty()) {
        *why = "no card in the slot";
        return false;
    }
    std::string target = files + cardPath;
    std::string output;
    int status = board::RunProgram(board::FindSystemProgram("mkdir"), {"-p", target.substr(0, target.rfind('/'))},
                                   "", &output);
    if (status == 0)
        status = board::RunProgram(board::FindSystemProgram("cp"), {"-r", "--", hostFile, target}, "", &output);
    if (status != 0) {
        *why = "cannot put " + hostFile + " on the card: " + output;
        return false;
    }
    return true;
}

bool Controls::CardOnUsb() const
{
    return state_.usb.gadgetLoaded.load() != 0 && !CardInSlot().empty();
}

std::string Controls::CardInSlot() const
{
    return state_.card.inserted.load() ? cards_.Inserted() : std::string();
}

std::vector<std::string> Controls::CardNames() const
{
    std::vector<std::string> names;
    if (DIR* d = opendir((root_ + "/cards").c_str())) {
        while (struct dirent* e = readdir(d))
            if (e->d_name[0] != '.' && cards_.Exists(e->d_name))
                names.emplace_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Controls::CardFiles() const
{
    std::string name = CardInSlot();
    return name.empty() ? std::string() : cards_.FilesDir(name);
}

}  // namespace vrec::frontend
