#include "sim/frontend/Scenario.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace vrec::frontend {

namespace {

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool ParseInt(const std::string& text, int lo, int hi, int& out)
{
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || v < lo || v > hi)
        return false;
    out = static_cast<int>(v);
    return true;
}

// "4G", "512M", "64M" -> bytes.
bool ParseSize(const std::string& text, uint64_t& out)
{
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    std::string unit = Lower(end ? end : "");
    double scale = unit == "g" || unit == "gb" ? 1024.0 * 1024 * 1024 : unit == "m" || unit == "mb" ? 1024.0 * 1024 : 0;
    // Compared as doubles before the cast: too large a number (or "nan")
    // has no value as a size.
    const double bytes = v * scale;
    if (text.empty() || end == text.c_str() || scale == 0 ||
        !(bytes >= 32.0 * 1024 * 1024 && bytes <= 64.0 * 1024 * 1024 * 1024))
        return false;
    out = static_cast<uint64_t>(bytes);
    return true;
}

// "40M", "512K", "1.5G", "0" -> bytes (a free space, any amount).
bool ParseSpace(const std::string& text, uint64_t& out)
{
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    std::string unit = Lower(end ? end : "");
    double scale = unit == "g" || unit == "gb"   ? 1024.0 * 1024 * 1024
                   : unit == "m" || unit == "mb" ? 1024.0 * 1024
                   : unit == "k" || unit == "kb" ? 1024.0
                   : unit.empty()                ? 1.0
                                                 : 0;
    if (text.empty() || end == text.c_str() || scale == 0 || !(v >= 0 && v * scale <= 64.0 * 1024 * 1024 * 1024))
        return false;
    out = static_cast<uint64_t>(v * scale);
    return true;
}

bool ParseDouble(const std::string& text, double lo, double hi, double& out)
{
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != 0 || !(v >= lo && v <= hi))
        return false;
    out = v;
    return true;
}

bool ParseOnOff(const std::string& text, bool& out)
{
    std::string t = Lower(text);
    if (t == "on" || t == "in") {
        out = true;
        return true;
    }
    if (t == "off" || t == "out") {
        out = false;
        return true;
    }
    return false;
}

bool ParseColour(const std::string& text, uint32_t& out)
{
    if (text.size() != 7 || text[0] != '#')
        return false;
    char* end = nullptr;
    out = static_cast<uint32_t>(std::strtoul(text.c_str() + 1, &end, 16));
    return *end == 0;
}

bool ParseOutput(const std::string& text, Output& out)
{
    std::string t = Lower(text);
    if (t == "lcd")
        out = Output::kLcd;
    else if (t == "hdmi")
        out = Output::kHdmi;
    else
        return false;
    return true;
}

// "4K" .. "64K" (or bytes) -> sectors of 512 bytes in a FAT cluster.
bool ParseCluster(const std::string& text, int& sectors)
{
    uint64_t bytes = 0;
    if (!ParseSpace(text, bytes) || bytes < 512 || bytes > 65536 || (bytes & (bytes - 1)) != 0)
        return false;
    sectors = static_cast<int>(bytes / 512);
    return true;
}

class LineParser
{
public:
    // Words are separated by blanks; double quotes keep blanks in a word
    // ("/MY_FOLDER/my clip.MOV"), and a backslash in them takes the next
    // character as it is.
    LineParser(const std::string& line, Step& step) : step_(step)
    {
        size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
                ++i;
            if (i == line.size())
                break;
            std::string word;
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) {
                if (line[i] != '"') {
                    word += line[i++];
                    continue;
                }
                for (++i; i < line.size() && line[i] != '"'; ++i) {
                    if (line[i] == '\\' && i + 1 < line.size())
                        ++i;
                    word += line[i];
                }
                if (i == line.size())
                    unterminated_ = true;
                else
                    ++i;
            }
            words_.push_back(word);
        }
    }

    bool Parse(std::string* why)
    {
        why_ = why;
        if (unterminated_)
            return Fail("a quote is not closed");
        const std::string verb = Lower(Word(0));
        if (verb == "wait")
            return Kind(Step::Kind::kWait) && Count(2) && Duration(1, step_.ms);
        if (verb == "press")
            return Kind(Step::Kind::kPress) && KeyList(1, words_.size());
        if (verb == "hold") {
            Kind(Step::Kind::kHold);
            size_t forAt = Find("for");
            if (forAt == words_.size())
                return KeyList(1, words_.size());
            return KeyList(1, forAt) && Count(forAt + 2) && Duration(forAt + 1, step_.ms);
        }
        if (verb == "release") {
            Kind(Step::Kind::kRelease);
            if (words_.size() == 2 && Lower(Word(1)) == "all") {
                step_.allKeys = true;
                return true;
            }
            return KeyList(1, words_.size());
        }
        if (verb == "set") {
            Kind(Step::Kind::kSet);
            auto sw = FindSwitch(Word(1));
            if (!sw)
                return Fail("unknown switch '" + Word(1) + "'");
            step_.which = *sw;
            return Count(3) && OnOff(2, step_.on);
        }
        if (verb == "card")
            return ParseCard();
        if (verb == "hdmi" || verb == "usb") {
            Kind(verb == "hdmi" ? Step::Kind::kHdmi : Step::Kind::kUsb);
            std::string what = Lower(Word(1));
            if (verb == "usb" && what == "put") {
                step_.action = "put";
                return ParsePut();
            }
            if (what == "unplug")
                return Count(2);
            if (what != "plug")
                return Fail("say '" + verb + " plug' or '" + verb + " unplug'" + (verb == "usb" ? " or 'usb put'" : ""));
            step_.on = true;
            if (verb == "hdmi" && words_.size() == 3 && Lower(Word(2)) == "nosink") {
                step_.sink = false;
                return true;
            }
            return Count(2);
        }
        if (verb == "battery")
            return Kind(Step::Kind::kBattery) && Count(2) && Int(1, 0, 7, step_.number);
        if (verb == "volume")
            return Kind(Step::Kind::kVolume) && Count(2) && Int(1, 0, 127, step_.number);
        if (verb == "adapter")
            return Kind(Step::Kind::kAdapter) && Count(2) && OnOff(1, step_.on);
        if (verb == "snap") {
            Kind(Step::Kind::kSnap);
            if (!Count(3))
                return false;
            if (!ParseOutput(Word(1), step_.output))
                return Fail("snap lcd or snap hdmi");
            step_.name = Word(2);
            return true;
        }
        if (verb == "power") {
            Kind(Step::Kind::kPower);
            step_.action = Lower(Word(1));
            if (step_.action != "on" && step_.action != "off" && step_.action != "cut")
                return Fail("power on, power off or power cut");
            return Count(2);
        }
        if (verb == "console") {
            Kind(Step::Kind::kConsole);
            if (words_.size() < 2)
                return Fail("console needs a command line");
            step_.name = Rest(1, words_.size());
            return true;
        }
        if (verb == "camera")
            return ParseCamera();
        if (verb == "expect")
            return Kind(Step::Kind::kExpect) && ParseExpect();
        if (verb == "sound")
            return ParseSound();
        if (verb == "quit")
            return Kind(Step::Kind::kQuit) && Count(1);
        if (verb == "flash")
            return ParseFlash();
        if (verb == "monkey")
            return Kind(Step::Kind::kMonkey) && Count(3) && Int(1, 0, 2147483647, step_.number) &&
                   Duration(2, step_.ms);
        return Fail("unknown step '" + Word(0) + "'");
    }

private:
    bool ParseCard()
    {
        Kind(Step::Kind::kCard);
        step_.action = Lower(Word(1));
        const std::string& a = step_.action;
        if (a == "remove")
            return Count(2);
        if (a == "insert") {
            if (words_.size() > 3)
                return Fail("card insert [NAME]");
            step_.name = Word(2);
            return true;
        }
        if (a == "new" || a == "foreign" || a == "blank") {
            size_t most = a == "blank" ? 4 : 5;
            if (words_.size() < 3 || words_.size() > most)
                return Fail("card " + a + " NAME [SIZE]" + (a == "blank" ? "" : " [CLUSTER]"));
            step_.name = Word(2);
            if (step_.name.empty() || step_.name.find('/') != std::string::npos || step_.name[0] == '.')
                return Fail("a card name is a plain name");
            step_.sizeBytes = 4ull << 30;
            if (words_.size() >= 4 && !ParseSize(Word(3), step_.sizeBytes))
                return Fail("card size like 512M or 4G (32M to 64G)");
            if (words_.size() == 5 && !ParseCluster(Word(4), step_.clusterSectors))
                return Fail("a cluster size is a power of two from 512 to 64K, like 16K");
            return true;
        }
        if (a == "fill") {
            if (!Count(3))
                return false;
            if (!ParseSpace(Word(2), step_.sizeBytes))
                return Fail("card fill FREE: the space left free, like 40M or 512K");
            return true;
        }
        if (a == "put")
            return ParsePut();
        return Fail("card insert, remove, new, foreign, blank, fill or put");
    }

    // card put | usb put HOSTFILE /CARDPATH
    bool ParsePut()
    {
        if (!Count(4))
            return false;
        step_.source = Word(2);
        step_.name = Word(3);
        if (step_.source.empty() || step_.name.empty() || step_.name[0] != '/' ||
            step_.name.find("/../") != std::string::npos || step_.name.size() < 2 ||
            step_.name.compare(step_.name.size() - 3, 3, "/..") == 0)
            return Fail(Word(0) + " put HOSTFILE /CARDPATH (the card path starts with '/' and stays on the card)");
        return true;
    }

    // flash fault mtdN flip OFFSET | flash fault mtdN fail | flash fault off | flash erase mtdN
    bool ParseFlash()
    {
        Kind(Step::Kind::kFlash);
        std::string what = Lower(Word(1));
        if (what == "fault" && Lower(Word(2)) == "off") {
            step_.action = "off";
            return Count(3);
        }
        if (what != "fault" && what != "erase")
            return Fail("flash fault mtdN flip OFFSET|fail, flash fault off or flash erase mtdN");
        std::string part = Lower(Word(2));
        if (part.size() != 4 || part.compare(0, 3, "mtd") != 0 || part[3] < '1' || part[3] > '5')
            return Fail("the flash partitions are mtd1 to mtd5");
        step_.number = part[3] - '0';
        if (what == "erase") {
            step_.action = "erase";
            return Count(3);
        }
        step_.action = Lower(Word(3));
        if (step_.action == "fail")
            return Count(4);
        if (step_.action != "flip")
            return Fail("a flash fault is flip OFFSET or fail");
        char* end = nullptr;
        std::string offset = Word(4);
        step_.offset = std::strtoull(offset.c_str(), &end, 0);
        if (offset.empty() || *end != 0)
            return Fail("'" + offset + "' is not a byte offset");
        return Count(5);
    }

    // sound builtin|external silence | tone HZ DB [HZ DB] | noise DB [DB] | wav FILE [DB] | host
    bool ParseSound()
    {
        Kind(Step::Kind::kSound);
        const std::string input = Lower(Word(1));
        if (input == "builtin" || input == "inner")
            step_.soundInput = SoundInputName::kBuiltIn;
        else if (input == "external" || input == "jack")
            step_.soundInput = SoundInputName::kExternal;
        else
            return Fail("sound builtin|external SOURCE");
        SoundSource& src = step_.sound;
        const std::string kind = Lower(Word(2));
        if (kind == "silence") {
            src.kind = SoundSource::Kind::kSilence;
            return Count(3);
        }
        if (kind == "host") {
            src.kind = SoundSource::Kind::kHost;
            return Count(3);
        }
        if (kind == "tone") {
            src.kind = SoundSource::Kind::kTone;
            if (words_.size() != 5 && words_.size() != 7)
                return Fail("sound ... tone HZ DB [HZ DB] (left, then right)");
            for (int ch = 0; ch < 2; ++ch) {
                size_t at = words_.size() == 7 ? 3 + 2 * ch : 3;
                if (!Int(at, 1, 48000, src.hz[ch]) || !Level(at + 1, src.db[ch]))
                    return false;
            }
            return true;
        }
        if (kind == "noise") {
            src.kind = SoundSource::Kind::kNoise;
            if (words_.size() != 4 && words_.size() != 5)
                return Fail("sound ... noise DB [DB]");
            return Level(3, src.db[0]) && Level(words_.size() - 1, src.db[1]);
        }
        if (kind == "wav") {
            src.kind = SoundSource::Kind::kWavFile;
            if (words_.size() != 4 && words_.size() != 5)
                return Fail("sound ... wav FILE [GAIN_DB]");
            src.wavFile = Word(3);
            src.db[0] = src.db[1] = 0.0;
            return words_.size() == 4 || Level(4, src.db[0]);
        }
        return Fail("sources are silence, tone, noise, wav and host");
    }

    // What the board's camera looks at, and its sync marks.
    bool ParseCamera()
    {
        Kind(Step::Kind::kCamera);
        step_.action = Lower(Word(1));
        const std::string& a = step_.action;
        if (a == "scene" || a == "bars" || a == "host")
            return Count(2);
        if (a == "file") {
            if (words_.size() < 3)
                return Fail("camera file PATH");
            step_.name = Rest(2, words_.size());
            return true;
        }
        if (a == "sync") {
            step_.number = -1;
            if (words_.size() == 2)
                return true;
            bool on = false;
            if (!CountTo(words_.size(), 3) || !OnOff(2, on))
                return false;
            step_.number = on ? 1 : 0;
            return true;
        }
        return Fail("camera scene, bars, host, file PATH or sync [on|off]");
    }

    bool ParseExpect()
    {
        Check& c = step_.check;
        size_t end = words_.size();
        size_t within = Find("within");
        if (within != words_.size()) {
            if (within + 2 != words_.size() || !Duration(within + 1, c.withinMs))
                return Fail("'within DURATION' ends a check");
            end = within;
        }
        const std::string what = Lower(Word(1));
        if (what == "led") {
            c.what = Check::What::kLed;
            c.name = Lower(Word(2));
            if (c.name != "rec" && c.name != "peak" && c.name != "camera")
                return Fail("LEDs are rec, peak and camera");
            return CountTo(end, 4) && OnOff(3, c.on);
        }
        if (what == "backlight") {
            c.what = Check::What::kBacklight;
            if (!CountTo(end, 3))
                return false;
            std::string v = Lower(Word(2));
            if (v == "on")
                c.level = -1;
            else if (v == "off")
                c.level = 0;
            else if (!Int(2, 0, 255, c.level))
                return false;
            return true;
        }
        if (what == "screen") {
            c.what = Check::What::kScreen;
            c.name = Word(2);
            return CountTo(end, 3);
        }
        if (what == "file" || (what == "no" && Lower(Word(2)) == "file")) {
            c.what = Check::What::kFile;
            c.on = what == "file";
            size_t at = c.on ? 2 : 3;
            c.name = Word(at);
            if (c.name.empty() || c.name[0] != '/')
                return Fail("card paths start with '/' (the card's root)");
            if (c.name.find("..") != std::string::npos)
                return Fail("card paths stay on the card");
            return CountTo(end, at + 1);
        }
        if (what == "power") {
            c.what = Check::What::kPower;
            return CountTo(end, 3) && OnOff(2, c.on);
        }
        if (what == "card") {
            c.what = Check::What::kCard;
            std::string v = Lower(Word(2));
            if (v != "mounted" && v != "unmounted")
                return Fail("expect card mounted|unmounted");
            c.on = v == "mounted";
            return CountTo(end, 3);
        }
        if (what == "pixel") {
            c.what = Check::What::kPixel;
            if (end != 6 && end != 7)
                return Fail("expect pixel lcd|hdmi X Y #RRGGBB [TOLERANCE]");
            if (!ParseOutput(Word(2), c.output))
                return Fail("pixels of lcd or hdmi");
            if (!Int(3, 0, 1919, c.x) || !Int(4, 0, 1079, c.y))
                return false;
            if (!ParseColour(Word(5), c.colour))
                return Fail("colours are written #RRGGBB");
            return end == 6 || Int(6, 0, 255, c.tolerance);
        }
        if (what == "usb") {
            c.what = Check::What::kUsb;
            std::string v = Lower(Word(2));
            if (v != "exported" && v != "unexported")
                return Fail("expect usb exported|unexported");
            c.on = v == "exported";
            return CountTo(end, 3);
        }
        if (what == "box") {
            c.what = Check::What::kBox;
            if (end < 3)
                return Fail("expect box TEXT");
            c.name = Rest(2, end);
            return true;
        }
        if (what == "new" && Lower(Word(2)) == "box") {
            c.what = Check::What::kNewBox;
            if (end < 4)
                return Fail("expect new box TEXT");
            c.name = Rest(3, end);
            return true;
        }
        if (what == "text") {
            // expect text FONT [#RRGGBB] [at X Y] TEXT...
            c.what = Check::What::kText;
            c.font = Lower(Word(2));
            if (c.font != "a16" && c.font != "a20" && c.font != "a24" && c.font != "f16")
                return Fail("the fonts are a16, a20, a24 and f16");
            size_t at = 3;
            c.colour = 0xFFFFFF;
            if (Word(at).size() == 7 && Word(at)[0] == '#') {
                if (!ParseColour(Word(at), c.colour))
                    return Fail("colours are written #RRGGBB");
                ++at;
            }
            c.x = -1;
            c.y = -1;
            if (Lower(Word(at)) == "at") {
                if (!Int(at + 1, 0, 319, c.x) || !Int(at + 2, 0, 239, c.y))
                    return false;
                at += 3;
            }
            if (at >= end)
                return Fail("expect text FONT [#RRGGBB] [at X Y] TEXT");
            c.name = Rest(at, end);
            return true;
        }
        if (what == "duration") {
            // expect duration /PATH DURATION [TOLERANCE]
            c.what = Check::What::kDuration;
            c.name = Word(2);
            if (c.name.empty() || c.name[0] != '/' || c.name.find("..") != std::string::npos)
                return Fail("card paths start with '/' (the card's root)");
            if (end != 4 && end != 5)
                return Fail("expect duration /PATH DURATION [TOLERANCE]");
            return Duration(3, c.durationMs) && (end == 4 || Duration(4, c.toleranceMs));
        }
        if (what == "console") {
            c.what = Check::What::kConsole;
            if (end < 3)
                return Fail("expect console TEXT");
            c.name = Rest(2, end);
            return true;
        }
        return Fail("unknown check '" + Word(1) + "'");
    }

    bool Kind(Step::Kind kind)
    {
        step_.kind = kind;
        return true;
    }
    std::string Word(size_t i) const { return i < words_.size() ? words_[i] : std::string(); }
    size_t Find(const std::string& word) const
    {
        for (size_t i = 1; i < words_.size(); ++i)
            if (Lower(words_[i]) == word)
                return i;
        return words_.size();
    }
    std::string Rest(size_t from, size_t to) const
    {
        std::string s;
        for (size_t i = from; i < to; ++i)
            s += (s.empty() ? "" : " ") + words_[i];
        return s;
    }
    bool Fail(const std::string& text)
    {
        *why_ = text;
        return false;
    }
    bool Count(size_t n) { return CountTo(words_.size(), n); }
    bool CountTo(size_t have, size_t n)
    {
        if (have < n)
            return Fail("'" + Word(0) + "' needs more words");
        if (have > n)
            return Fail("unexpected '" + Word(n) + "'");
        return true;
    }
    bool Duration(size_t i, int& ms)
    {
        ms = ParseDuration(Word(i));
        return ms >= 0 || Fail("'" + Word(i) + "' is not a duration (500ms, 2s, 1.5s, 1m)");
    }
    bool Int(size_t i, int lo, int hi, int& out)
    {
        return ParseInt(Word(i), lo, hi, out) ||
               Fail("'" + Word(i) + "' is not a number from " + std::to_string(lo) + " to " + std::to_string(hi));
    }
    bool Level(size_t i, double& db)
    {
        return ParseDouble(Word(i), -144.0, 24.0, db) || Fail("'" + Word(i) + "' is not a level in dB (-144 to 24)");
    }
    bool OnOff(size_t i, bool& out) { return ParseOnOff(Word(i), out) || Fail("say on or off, not '" + Word(i) + "'"); }
    bool KeyList(size_t from, size_t to)
    {
        if (from >= to)
            return Fail("name the keys");
        for (size_t i = from; i < to; ++i) {
            auto bit = FindKey(words_[i]);
            if (!bit)
                return Fail("unknown key '" + words_[i] + "'");
            step_.keys.push_back(*bit);
        }
        return true;
    }

    Step& step_;
    std::vector<std::string> words_;
    bool unterminated_ = false;
    std::string* why_ = nullptr;
};

}  // namespace

int ParseDuration(const std::string& text)
{
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (text.empty() || end == text.c_str() || !(v >= 0))
        return -1;
    std::string unit = Lower(end);
    double ms = unit == "ms" ? v : unit == "s" ? v * 1000 : unit == "m" || unit == "min" ? v * 60000 : -1;
    if (!(ms >= 0 && ms <= 24.0 * 3600 * 1000))
        return -1;
    return static_cast<int>(std::lround(ms));
}

bool ParseScenarioText(const std::string& text, const std::string& name, Scenario& out, std::string* why)
{
    out.path = name;
    out.steps.clear();
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        Step step;
        step.line = number;
        step.text = line.substr(first);
        std::string reason;
        if (!LineParser(step.text, step).Parse(&reason)) {
            *why = name + ":" + std::to_string(number) + ": " + reason;
            return false;
        }
        out.steps.push_back(step);
    }
    return true;
}

bool ParseScenario(const std::string& path, Scenario& out, std::string* why)
{
    std::ifstream in(path);
    if (!in) {
        *why = "cannot read the scenario " + path;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    return ParseScenarioText(text.str(), path, out, why);
}

const char* ScenarioSyntax()
{
    return R"(Scenario files: one step a line, run in order; '#' starts a comment line.
Words in double quotes may hold blanks ("/MY_FOLDER/my clip.MOV").
Durations: 500ms, 2s, 1.5s, 1m.  Keys: F1 (power) F2 F3 MENU MODE DISPLAY T W
UP DOWN LEFT RIGHT ENTER RECORD PLAY STOP.  The device is off when a scenario starts.
  wait DURATION                    let time pass
  press KEY [KEY...]               press together for 150 ms, release, pause 150 ms
  hold KEY [KEY...] for DURATION   hold, then release
  hold KEY [KEY...]                hold until a release step
  release KEY [KEY...] | all
  set SWITCH on|off                HOLD SPEAKER CAMERA_SW HEADPHONES (on = plugged)
                                   MIC (external microphone plugged) WRITE_PROTECT
  card insert [NAME]               a card of the board (default: the last one removed)
  card remove
  card new NAME [SIZE] [CLUSTER]   a new card formatted by the recorder, put in (SIZE 4G;
                                   CLUSTER 32K, or another like 16K)
  card foreign NAME [SIZE] [CLUSTER]  a new card formatted elsewhere, put in
  card blank NAME [SIZE]           a new card never formatted, put in
  card put HOSTFILE /CARDPATH      copies a file of this machine onto the card in the slot
  card fill FREE                   fill the card in the slot to leave FREE (40M, 512K, 0)
  sound builtin|external SOURCE    what the built-in microphones or the jack hear:
                                   silence | tone HZ DB [HZ DB] (left, right) |
                                   noise DB [DB] | wav FILE [GAIN_DB] | host
  hdmi plug [nosink] | hdmi unplug nosink: a cable without a display answering
  usb plug | usb unplug
  usb put HOSTFILE /CARDPATH       the USB host copies a file onto the exported card
  battery N                        level 0 (empty) .. 7 (full)
  adapter on|off                   mains adapter
  volume N                         input-volume knob 0..127
  snap lcd|hdmi FILE.png           snapshot (relative to --out); prints its path
  power on | power off | power cut power off holds the power key (then the console's
                                   "quit"); cut pulls the battery
  console TEXT                     a line for the debug console
  flash fault mtdN flip OFFSET     the flash's bit 0 of that byte reads inverted
  flash fault mtdN fail            writes to the partition fail
  flash fault off | flash erase mtdN
  camera scene|bars|host           what the camera sees: the test scene, colour
                                   bars, the host's own camera
  camera file PATH                 ... a video file (looped; relative to the scenario)
  camera sync                      one sync mark: a white frame and a click on the
                                   built-in microphones at the same instant
  camera sync on|off               a sync mark every second
  expect CHECK [within DURATION]   fails the run unless CHECK holds (by then)
      led rec|peak|camera on|off   backlight on|off|N        screen NAME
      file /PATH  |  no file /PATH (card paths, patterns allowed: /MY_FOLDER/*.MOV)
      power on|off                 card mounted|unmounted    console TEXT
      box TEXT                     the last message box the firmware opened holds TEXT
      new box TEXT                 ... and it opened after the last box check that held
      usb exported|unexported      the card is (not) exported over USB
      pixel lcd|hdmi X Y #RRGGBB [TOLERANCE]  (LCD as held: 320 x 240, GUI coordinates)
      text FONT [#RRGGBB] [at X Y] TEXT  the LCD shows TEXT as the firmware draws it in
                                   FONT (a16 a20 a24 f16): white edged with black unless
                                   a colour is given (plain text), at (X, Y) as given to
                                   its drawing call, or anywhere
      duration /PATH DURATION [TOLERANCE]  a recording on the card lasts DURATION
                                   (ffprobe; TOLERANCE 200ms unless given)
  monkey SEED DURATION             a random user for that long (keys, switches, card,
                                   cables, battery, power cuts), seeded: no crash, no
                                   hang, then every file on the card must open
  quit                             end here (the device is shut down if on)
)";
}

}  // namespace vrec::frontend
