#include "sim/frontend/ScenarioRunner.h"

#include "sim/board/camera/CameraControl.h"
#include "sim/board/camera/SyncMark.h"

#include "sim/board/BoardPaths.h"
#include "sim/board/KeyBits.h"
#include "sim/board/Mounts.h"
#include "sim/frontend/CardSummary.h"
#include "sim/frontend/MediaProbe.h"
#include "sim/frontend/Monkey.h"
#include "sim/frontend/Pictures.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <glob.h>
#include <unistd.h>
#include <thread>

namespace vrec::frontend {

namespace {

constexpr int kPressMs = 150;
constexpr int kKeyReadWaitMs = 3000;  // the longest a key waits for the firmware to read it
constexpr int kPollMs = 50;

std::string Hex(uint32_t rgb)
{
    char text[16];
    std::snprintf(text, sizeof(text), "#%06X", rgb & 0xFFFFFF);
    return text;
}

std::string OnOff(bool on) { return on ? "on" : "off"; }

// A box text for a report: its line breaks and frame marks as blanks.
std::string Printable(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    return text;
}

bool MatchesOnCard(const std::string& filesDir, const std::string& pattern)
{
    glob_t found;
    std::string host = filesDir + pattern;
    int r = glob(host.c_str(), GLOB_NOSORT, nullptr, &found);
    bool any = r == 0 && found.gl_pathc > 0;
    globfree(&found);
    return any;
}

}  // namespace

ScenarioRunner::ScenarioRunner(Controls& controls, Supervisor& supervisor, std::string outDir, FILE* report)
    : controls_(controls), supervisor_(supervisor), outDir_(std::move(outDir)), report_(report)
{
}

double ScenarioRunner::Seconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void ScenarioRunner::Note(const std::string& text)
{
    std::fprintf(report_, "[%8.2f] %s\n", Seconds(), text.c_str());
    std::fflush(report_);
}

std::string ScenarioRunner::HostFile(const std::string& name) const
{
    return name.empty() || name[0] == '/' ? name : scenarioDir_ + "/" + name;
}

void ScenarioRunner::WatchUsb()
{
    bool onUsb = controls_.CardOnUsb();
    if (onUsb == cardOnUsb_)
        return;
    cardOnUsb_ = onUsb;
    if (onUsb)
        Note("the card is on USB: the host sees its files in " + controls_.CardFiles());
    else
        Note("the card is back from USB");
}

bool ScenarioRunner::RunUsb(const Step& step, std::string* why)
{
    if (step.action != "put") {
        controls_.PlugUsb(step.on);
        return true;
    }
    if (!controls_.CardOnUsb()) {
        *why = "the card is not exported over USB";
        return false;
    }
    return controls_.PutOnCard(HostFile(step.source), step.name, why);
}

void ScenarioRunner::WatchFirmware()
{
    WatchUsb();
    std::string message;
    PowerEvent event = supervisor_.Poll(&message);
    if (event == PowerEvent::kNone)
        return;
    Note(message);
    if (event == PowerEvent::kCrashed) {
        ++failures_;
        ++crashes_;
    }
}

void ScenarioRunner::Pass(int ms)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        WatchFirmware();
        auto left = until - std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(20)));
    }
    WatchFirmware();
}

// A busy firmware reads its key lines late: a press that came and went in
// between would be lost, so a key stays down until it has been read, and a
// key goes down again only once its release has been read (F1 goes to the
// power controller; nothing reads while the device is off).
void ScenarioRunner::AwaitKeyRead(const std::vector<uint32_t>& keys, bool down)
{
    uint32_t lines = 0;
    for (uint32_t key : keys)
        lines |= key & ~static_cast<uint32_t>(board::keybit::kF1);
    board::HardwareState& state = controls_.state();
    auto seen = [&] { return (state.keyReads.mask.load() & lines) == (down ? lines : 0); };
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kKeyReadWaitMs);
    while (lines != 0 && state.firmware.pid.load() != 0 && !seen() && std::chrono::steady_clock::now() < until)
        Pass(10);
}

int ScenarioRunner::Run(const Scenario& scenario)
{
    start_ = std::chrono::steady_clock::now();
    failures_ = 0;
    boxesSeen_ = controls_.state().box.opened.load();
    size_t slash = scenario.path.rfind('/');
    scenarioDir_ = slash == std::string::npos ? "." : scenario.path.substr(0, slash);
    for (const Step& step : scenario.steps) {
        Note(step.text);
        std::string why;
        if (!RunStep(step, &why)) {
            ++failures_;
            std::fprintf(report_, "FAILED %s:%d: %s\n", scenario.path.c_str(), step.line, why.c_str());
        }
        WatchFirmware();
        if (step.kind == Step::Kind::kQuit)
            break;
    }
    controls_.ReleaseAllKeys();
    if (supervisor_.IsOn())
        Note("end of the scenario: " + supervisor_.PowerOff());
    std::fprintf(report_, "%s", SummariseCard(controls_.CardInSlot(), controls_.CardFiles()).c_str());
    std::fprintf(report_, "%s: %zu steps, %d failed\n", scenario.path.c_str(), scenario.steps.size(), failures_);
    std::fflush(report_);
    return failures_;
}

bool ScenarioRunner::RunStep(const Step& step, std::string* why)
{
    switch (step.kind) {
    case Step::Kind::kWait:
        Pass(step.ms);
        return true;
    case Step::Kind::kPress:
        AwaitKeyRead(step.keys, false);  // the last release of these keys was seen
        for (uint32_t key : step.keys)
            controls_.SetKey(key, true);
        Pass(kPressMs);
        AwaitKeyRead(step.keys, true);
        for (uint32_t key : step.keys)
            controls_.SetKey(key, false);
        Pass(kPressMs);
        return true;
    case Step::Kind::kHold:
        AwaitKeyRead(step.keys, false);
        for (uint32_t key : step.keys)
            controls_.SetKey(key, true);
        if (step.ms > 0) {
            Pass(step.ms);
            AwaitKeyRead(step.keys, true);
            for (uint32_t key : step.keys)
                controls_.SetKey(key, false);
        }
        return true;
    case Step::Kind::kRelease:
        if (step.allKeys)
            controls_.ReleaseAllKeys();
        for (uint32_t key : step.keys)
            controls_.SetKey(key, false);
        return true;
    case Step::Kind::kSet:
        controls_.SetSwitch(step.which, step.on);
        return true;
    case Step::Kind::kCard:
        return RunCard(step, why);
    case Step::Kind::kHdmi:
        controls_.PlugHdmi(step.on, step.sink);
        return true;
    case Step::Kind::kUsb:
        return RunUsb(step, why);
    case Step::Kind::kBattery:
        controls_.SetBattery(step.number);
        return true;
    case Step::Kind::kAdapter:
        controls_.SetAdapter(step.on);
        return true;
    case Step::Kind::kVolume:
        controls_.SetInputVolume(step.number);
        return true;
    case Step::Kind::kSnap: {
        std::string path = step.name[0] == '/' ? step.name : outDir_ + "/" + step.name;
        if (!Snapshot(controls_.root(), controls_.state(), step.output, path, why))
            return false;
        std::fprintf(report_, "snapshot: %s\n", path.c_str());
        return true;
    }
    case Step::Kind::kPower:
        if (step.action == "on") {
            if (supervisor_.IsOn()) {
                *why = "the device is on already";
                return false;
            }
            return supervisor_.PowerOn(why);
        }
        if (step.action == "off") {
            if (!supervisor_.IsOn()) {
                *why = "the device is off already";
                return false;
            }
            Note(supervisor_.PowerOff());
            return true;
        }
        supervisor_.PowerCut();
        return true;
    case Step::Kind::kConsole:
        if (!supervisor_.IsOn()) {
            *why = "the device is off: no console";
            return false;
        }
        supervisor_.process().SendLine(step.name);
        return true;
    case Step::Kind::kExpect:
        return Await(step.check, why);
    case Step::Kind::kQuit:
        return true;
    case Step::Kind::kFlash:
        return RunFlash(step, why);
    case Step::Kind::kSound:
        return RunSound(step, why);
    case Step::Kind::kCamera:
        return RunCamera(step, why);
    case Step::Kind::kMonkey:
        return RunMonkey(step, why);
    }
    return true;
}

bool ScenarioRunner::RunMonkey(const Step& step, std::string* why)
{
    MonkeyHooks hooks{[this](int ms) { Pass(ms); }, [this] { return crashes_; }};
    Monkey monkey(controls_, supervisor_, hooks, report_);
    if (monkey.Run(static_cast<uint32_t>(step.number), step.ms))
        return true;
    *why = "monkey " + std::to_string(step.number) + " broke an invariant (events above)";
    return false;
}

bool ScenarioRunner::RunFlash(const Step& step, std::string* why)
{
    board::FlashFault& fault = controls_.state().flashFault;
    if (step.action == "erase") {
        std::string partition = controls_.root() + "/flash/mtd" + std::to_string(step.number);
        if (truncate(partition.c_str(), 0) != 0) {
            *why = "cannot erase " + partition + ": " + std::strerror(errno);
            return false;
        }
        return true;
    }
    fault.kind = board::kFlashFaultNone;
    if (step.action == "off")
        return true;
    fault.partition = step.number;
    fault.offset = static_cast<int64_t>(step.offset);
    fault.kind = step.action == "flip" ? board::kFlashFaultFlippedBit : board::kFlashFaultWriteError;
    return true;
}

bool ScenarioRunner::RunSound(const Step& step, std::string* why)
{
    SoundSource source = step.sound;
    if (source.kind == SoundSource::Kind::kWavFile)
        source.wavFile = HostFile(source.wavFile);
    return controls_.SetSoundSource(step.soundInput, source, why);
}

bool ScenarioRunner::RunCamera(const Step& step, std::string* why)
{
    board::Camera& camera = controls_.state().camera;
    if (step.action == "scene")
        board::SetCameraScene(camera);
    else if (step.action == "bars")
        board::SetCameraBars(camera);
    else if (step.action == "host")
        board::SetCameraHost(camera);
    else if (step.action == "file") {
        // Relative to the scenario; the firmware runs elsewhere: it gets the
        // file's absolute path.
        std::string name = HostFile(step.name);
        char* full = realpath(name.c_str(), nullptr);
        std::string path = full ? full : "";
        std::free(full);
        if (path.empty() || !board::SetCameraFile(camera, path)) {
            *why = "no video file " + step.name;
            return false;
        }
    } else if (step.number < 0)
        board::RequestSyncMark(camera);
    else
        board::SetSyncEverySecond(camera, step.number == 1);
    return true;
}

bool ScenarioRunner::RunCard(const Step& step, std::string* why)
{
    if (step.action == "fill")
        return controls_.FillCard(step.sizeBytes, why);
    if (step.action == "remove") {
        std::string inSlot = controls_.CardInSlot();
        if (inSlot.empty()) {
            *why = "no card in the slot";
            return false;
        }
        lastRemovedCard_ = inSlot;
        controls_.RemoveCard();
        return true;
    }
    if (step.action == "put")
        return controls_.PutOnCard(HostFile(step.source), step.name, why);
    if (step.action == "insert") {
        if (!controls_.CardInSlot().empty()) {
            *why = "a card is in the slot already";
            return false;
        }
        std::string name = step.name;
        if (name.empty())
            name = lastRemovedCard_;
        if (name.empty()) {
            std::vector<std::string> names = controls_.CardNames();
            if (names.empty()) {
                *why = "the board has no card";
                return false;
            }
            name = names.front();
        }
        return controls_.InsertCard(name, why);
    }
    board::CardFormat format = step.action == "new"       ? board::CardFormat::kDevice
                               : step.action == "foreign" ? board::CardFormat::kForeign
                                                          : board::CardFormat::kBlank;
    std::string inSlot = controls_.CardInSlot();
    if (!inSlot.empty()) {
        lastRemovedCard_ = inSlot;
        controls_.RemoveCard();
        Pass(1000);  // the slot is seen empty (for a few of the device's checks) before the new card goes in
    }
    if (step.clusterSectors > 0)
        return controls_.NewCard(step.name, format, step.sizeBytes, why, step.clusterSectors);
    return controls_.NewCard(step.name, format, step.sizeBytes, why);
}

bool ScenarioRunner::Evaluate(const Check& check, std::string* got)
{
    board::HardwareState& state = controls_.state();
    switch (check.what) {
    case Check::What::kLed: {
        int lit = check.name == "rec" ? state.leds.rec.load() : check.name == "peak" ? state.leds.peak.load()
                                                                                      : state.leds.camera.load();
        *got = "the " + check.name + " LED is " + OnOff(lit != 0);
        return (lit != 0) == check.on;
    }
    case Check::What::kBacklight: {
        int level = state.leds.backlight.load();
        *got = "the backlight is at level " + std::to_string(level);
        return check.level < 0 ? level > 0 : level == check.level;
    }
    case Check::What::kScreen: {
        std::string screen(state.firmware.activeScreen,
                           strnlen(state.firmware.activeScreen, sizeof(state.firmware.activeScreen)));
        *got = screen.empty() ? "no screen was noted" : "the screen is \"" + screen + "\"";
        return screen == check.name;
    }
    case Check::What::kFile: {
        std::string files = controls_.CardFiles();
        if (files.empty()) {
            *got = "no card in the slot";
            return !check.on;
        }
        bool present = MatchesOnCard(files, check.name);
        *got = check.name + (present ? " is on the card" : " is not on the card");
        return present == check.on;
    }
    case Check::What::kPower: {
        bool on = supervisor_.IsOn();
        *got = "the device is " + OnOff(on);
        return on == check.on;
    }
    case Check::What::kCard: {
        board::BoardPaths paths(controls_.root(), {});
        bool mounted = board::IsMounted(paths, board::kCardPartition);
        *got = mounted ? "the card is mounted" : "the card is not mounted";
        return mounted == check.on;
    }
    case Check::What::kPixel: {
        board::RgbImage picture = Capture(controls_.root(), state, check.output);
        if (check.x >= picture.width || check.y >= picture.height) {
            *got = picture.empty() ? "no picture" : "the picture is only " + std::to_string(picture.width) + " x " +
                                                        std::to_string(picture.height);
            return false;
        }
        const uint8_t* p = &picture.rgb[(static_cast<size_t>(check.y) * picture.width + check.x) * 3];
        uint32_t rgb = static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2];
        *got = "the pixel is " + Hex(rgb);
        int want[3] = {static_cast<int>(check.colour >> 16 & 0xFF), static_cast<int>(check.colour >> 8 & 0xFF),
                       static_cast<int>(check.colour & 0xFF)};
        for (int i = 0; i < 3; ++i)
            if (std::abs(p[i] - want[i]) > check.tolerance)
                return false;
        return true;
    }
    case Check::What::kBox:
    case Check::What::kNewBox: {
        const board::BoxNote& box = state.box;
        uint32_t opened = box.opened.load();
        std::string text(box.text, strnlen(box.text, sizeof(box.text)));
        bool fresh = check.what == Check::What::kBox || opened > boxesSeen_;
        *got = opened == 0 ? "no box was opened"
               : !fresh    ? "no box opened since the last box check"
                           : "the last box says \"" + Printable(text) + "\"";
        if (opened == 0 || !fresh || text.find(check.name) == std::string::npos)
            return false;
        boxesSeen_ = opened;
        return true;
    }
    case Check::What::kUsb: {
        bool onUsb = controls_.CardOnUsb();
        *got = onUsb ? "the card is exported over USB" : "the card is not exported over USB";
        return onUsb == check.on;
    }
    case Check::What::kText:
        return EvaluateText(check, got);
    case Check::What::kDuration:
        return EvaluateDuration(check, got);
    case Check::What::kConsole: {
        bool found = supervisor_.process().ConsoleText().find(check.name) != std::string::npos;
        *got = found ? "the console shows it" : "the console does not show \"" + check.name + "\"";
        return found;
    }
    }
    return false;
}

bool ScenarioRunner::EvaluateText(const Check& check, std::string* got)
{
    auto it = fonts_.find(check.font);
    if (it == fonts_.end()) {
        FontImage font;
        std::string why;
        if (!LoadFontImage(fontDir_ + "/" + FontFileName(check.font), font, &why)) {
            *got = why;
            return false;
        }
        it = fonts_.emplace(check.font, std::move(font)).first;
    }
    board::RgbImage picture = Capture(controls_.root(), controls_.state(), Output::kLcd);
    int x = 0, y = 0;
    if (FindText(picture, MaskOf(it->second, check.name), check.colour, check.x, check.y, &x, &y))
        return true;
    *got = "the LCD does not show \"" + check.name + "\"" +
           (check.x >= 0 ? " at " + std::to_string(check.x) + " " + std::to_string(check.y) : "");
    return false;
}

bool ScenarioRunner::EvaluateDuration(const Check& check, std::string* got)
{
    std::string files = controls_.CardFiles();
    if (files.empty()) {
        *got = "no card in the slot";
        return false;
    }
    glob_t found;
    std::string pattern = files + check.name;
    if (glob(pattern.c_str(), 0, nullptr, &found) != 0 || found.gl_pathc == 0) {
        globfree(&found);
        *got = check.name + " is not on the card";
        return false;
    }
    bool ok = false;
    std::string seen;
    for (size_t i = 0; i < found.gl_pathc; ++i) {
        double seconds = 0;
        std::string why;
        std::string path = found.gl_pathv[i];
        std::string name = path.substr(files.size());
        if (!MediaDuration(path, &seconds, &why)) {
            seen += (seen.empty() ? "" : ", ") + why;
            continue;
        }
        char text[64];
        std::snprintf(text, sizeof(text), "%.3f s", seconds);
        seen += (seen.empty() ? "" : ", ") + name + " lasts " + text;
        if (std::abs(seconds * 1000.0 - check.durationMs) <= check.toleranceMs)
            ok = true;
    }
    globfree(&found);
    *got = seen;
    return ok;
}

bool ScenarioRunner::Await(const Check& check, std::string* why)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(check.withinMs);
    std::string got;
    while (!Evaluate(check, &got)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            *why = got;
            return false;
        }
        Pass(kPollMs);
    }
    return true;
}

}  // namespace vrec::frontend
