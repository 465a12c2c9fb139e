#include "sim/frontend/Monkey.h"

#include "sim/board/Card.h"

#include <algorithm>
#include <chrono>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace vrec::frontend {

namespace {

// The GUI thread polls the key lines every 50 ms; a format or a copy may
// hold it up for a few seconds, never this long.
constexpr int kHangMs = 20000;
constexpr int kSliceMs = 50;

const char* const kKeys[] = {"PLAY", "STOP", "RECORD", "MENU", "MODE", "DISPLAY", "UP",
                             "DOWN", "LEFT", "RIGHT", "ENTER", "F2",   "F3",   "T",  "W"};
const Switch kSwitches[] = {Switch::kHold, Switch::kSpeaker, Switch::kCameraSw, Switch::kHeadphones, Switch::kMic};
const char* const kSwitchNames[] = {"HOLD", "SPEAKER", "CAMERA_SW", "HEADPHONES", "MIC"};

std::string Ms(int ms)
{
    return std::to_string(ms) + "ms";
}

bool Suffix(const std::string& name, const char* suffix)
{
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    std::string s = suffix;
    return lower.size() >= s.size() && lower.compare(lower.size() - s.size(), s.size(), s) == 0;
}

void ListFiles(const std::string& dir, const std::string& relative, std::vector<std::string>& out)
{
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        if (lstat((dir + "/" + name).c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            ListFiles(dir + "/" + name, relative + "/" + name, out);
        else if (S_ISREG(st.st_mode))
            out.push_back(relative + "/" + name);
    }
    closedir(d);
}

// Text of "/key=value" lines, comments and blank lines.
bool SettingsValid(const std::string& path, std::string* why)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return true;  // none yet: the defaults hold
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        bool text = std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x20; });
        if (!text || line[0] != '/' || line.find('=') == std::string::npos) {
            *why = path + ":" + std::to_string(number) + " is no setting";
            return false;
        }
    }
    return true;
}

}  // namespace

Monkey::Monkey(Controls& controls, Supervisor& supervisor, MonkeyHooks hooks, FILE* report)
    : controls_(controls), supervisor_(supervisor), hooks_(std::move(hooks)), report_(report)
{
}

int Monkey::Uniform(int lo, int hi)
{
    return std::uniform_int_distribution<int>(lo, hi)(random_);
}

bool Monkey::Fail(const std::string& why)
{
    std::fprintf(report_, "FAILED monkey %u: %s\nreplay: the %zu events so far, as scenario steps:\n", seed_,
                 why.c_str(), events_.size());
    for (const std::string& event : events_)
        std::fprintf(report_, "  %s\n", event.c_str());
    std::fflush(report_);
    return false;
}

void Monkey::Step(const std::string& line)
{
    events_.push_back(line);
}

// Time passes in slices; in each the firmware must have polled its keys
// unless it is off.
void Monkey::Wait(int ms, bool record)
{
    if (record)
        Step("wait " + Ms(ms));
    const int crashesBefore = hooks_.crashes();
    for (int left = ms; left > 0 && !broken_; left -= kSliceMs) {
        hooks_.pass(std::min(left, kSliceMs));
        if (hooks_.crashes() != crashesBefore) {
            broken_ = true;
            brokenWhy_ = "the firmware crashed";
            return;
        }
        uint32_t polls = controls_.state().keyPolls.count.load();
        if (!supervisor_.IsOn() || polls != lastPolls_) {
            stillMs_ = 0;
            lastPolls_ = polls;
            continue;
        }
        stillMs_ += kSliceMs;
        if (stillMs_ >= kHangMs) {
            broken_ = true;
            brokenWhy_ = "the firmware hangs: its main loop has not polled the keys for " + Ms(stillMs_);
        }
    }
}

void Monkey::PowerOn()
{
    Step("power on");
    std::string why;
    if (!supervisor_.PowerOn(&why)) {
        broken_ = true;
        brokenWhy_ = "power on: " + why;
    }
    stillMs_ = 0;
}

void Monkey::Act()
{
    // The same draws whatever the firmware did, so that a seed makes the
    // same choices again.
    const bool wake = Uniform(0, 9) < 7;
    if (!supervisor_.IsOn() && wake) {
        PowerOn();
        return;
    }
    const int dice = Uniform(0, 99);
    if (dice < 45) {
        const char* key = kKeys[Uniform(0, 14)];
        Step(std::string("hold ") + key + " for 150ms");
        controls_.SetKey(*FindKey(key), true);
        Wait(150, false);
        controls_.SetKey(*FindKey(key), false);
    } else if (dice < 55) {
        const char* key = kKeys[Uniform(0, 14)];
        const int ms = Uniform(300, 2500);
        Step(std::string("hold ") + key + " for " + Ms(ms));
        controls_.SetKey(*FindKey(key), true);
        Wait(ms, false);
        controls_.SetKey(*FindKey(key), false);
    } else if (dice < 63) {
        const int i = Uniform(0, 4);
        const bool on = !controls_.SwitchOn(kSwitches[i]);
        Step(std::string("set ") + kSwitchNames[i] + (on ? " on" : " off"));
        controls_.SetSwitch(kSwitches[i], on);
    } else if (dice < 70) {
        const std::string inSlot = controls_.CardInSlot();
        if (!inSlot.empty()) {
            Step("card remove");
            removedCard_ = inSlot;
            controls_.RemoveCard();
        } else if (!removedCard_.empty()) {
            Step("card insert " + removedCard_);
            std::string why;
            if (!controls_.InsertCard(removedCard_, &why)) {
                broken_ = true;
                brokenWhy_ = "card insert: " + why;
            }
        }
    } else if (dice < 76) {
        const bool plug = !controls_.state().hdmi.cable.load();
        Step(plug ? "hdmi plug" : "hdmi unplug");
        controls_.PlugHdmi(plug);
    } else if (dice < 79) {
        const bool plug = !controls_.state().usb.cable.load();
        Step(plug ? "usb plug" : "usb unplug");
        controls_.PlugUsb(plug);
    } else if (dice < 85) {
        // Mostly a usable battery; now and then a low or an empty one.
        const int level = Uniform(0, 19) == 0 ? 0 : Uniform(1, 7);
        Step("battery " + std::to_string(level));
        controls_.SetBattery(level);
    } else if (dice < 88) {
        const bool on = !controls_.state().power.adapter.load();
        Step(std::string("adapter ") + (on ? "on" : "off"));
        controls_.SetAdapter(on);
    } else if (dice < 92) {
        Step("power cut");
        supervisor_.PowerCut();
    } else if (dice < 94) {
        Step("hold F1 for 2500ms");
        controls_.SetKey(*FindKey("F1"), true);
        Wait(2500, false);
        controls_.SetKey(*FindKey("F1"), false);
    }
    Wait(Uniform(50, 1200));
}

// Hands off: a usable battery, no cable, no hold, the card in; the device
// on long enough to accept the card (and mend what the cuts left), then
// switched off as a person does.
bool Monkey::Settle(std::string* why)
{
    controls_.ReleaseAllKeys();
    Step("release all");
    for (const char* line : {"set HOLD off", "usb unplug", "battery 7", "adapter off"})
        Step(line);
    controls_.SetSwitch(Switch::kHold, false);
    controls_.PlugUsb(false);
    controls_.SetBattery(7);
    controls_.SetAdapter(false);
    Wait(1000);
    if (controls_.CardInSlot().empty() && !removedCard_.empty()) {
        Step("card insert " + removedCard_);
        if (!controls_.InsertCard(removedCard_, why))
            return false;
    }
    if (!supervisor_.IsOn())
        PowerOn();
    Wait(12000);
    if (broken_) {
        *why = brokenWhy_;
        return false;
    }
    Step("power off");
    std::fprintf(report_, "monkey %u: %s\n", seed_, supervisor_.PowerOff().c_str());
    return true;
}

bool Monkey::CheckFiles(std::string* why)
{
    if (!SettingsValid(controls_.root() + "/mnt/mtd5/NVRAM.txt", why))
        return false;
    const std::string files = controls_.CardFiles();
    if (files.empty())
        return true;
    if (!SettingsValid(files + "/.NVRAM.txt", why))
        return false;
    std::vector<std::string> all;
    ListFiles(files, "", all);
    for (const std::string& path : all) {
        const std::string name = path.substr(path.rfind('/') + 1);
        const std::string host = files + path;
        std::string output;
        int status = 0;
        if (name[0] == '.') {
            // The recorder's own files: settings (checked above), playlists,
            // the temporary files of a dub or a photo (documented partials);
            // a journal has no business here once the card was accepted.
            if (Suffix(name, ".jnl")) {
                *why = path + ": a recording was not recovered at card acceptance";
                return false;
            }
            continue;
        }
        if (Suffix(name, ".mov"))
            status = board::RunProgram(board::FindSystemProgram("ffmpeg"),
                                       {"-v", "error", "-xerror", "-i", host, "-f", "null", "-"}, "", &output);
        else if (Suffix(name, ".wav"))
            status = board::RunProgram(board::FindSystemProgram("sox"), {host, "-n"}, "", &output);
        else if (Suffix(name, ".jpg"))
            status = board::RunProgram(board::FindSystemProgram("djpeg"), {"-outfile", "/dev/null", host}, "",
                                       &output);
        else
            continue;
        if (status != 0) {
            *why = path + " does not open: " + output;
            return false;
        }
    }
    return true;
}

bool Monkey::Run(uint32_t seed, int durationMs)
{
    seed_ = seed;
    random_.seed(seed);
    events_.clear();
    broken_ = false;
    stillMs_ = 0;
    lastPolls_ = controls_.state().keyPolls.count.load();
    removedCard_ = controls_.CardInSlot();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(durationMs);
    if (!supervisor_.IsOn())
        PowerOn();
    while (!broken_ && std::chrono::steady_clock::now() < end)
        Act();
    if (broken_)
        return Fail(brokenWhy_);
    std::string why;
    if (!Settle(&why) || !CheckFiles(&why))
        return Fail(why);
    std::fprintf(report_, "monkey %u: %zu events, no crash, no hang, every file opens\n", seed, events_.size());
    std::fflush(report_);
    return true;
}

}  // namespace vrec::frontend
