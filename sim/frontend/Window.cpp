#include "sim/frontend/Window.h"

#include "sim/board/KeyBits.h"
#include "sim/board/camera/CameraControl.h"
#include "sim/board/camera/SyncMark.h"
#include "sim/frontend/Pictures.h"
#include "sim/frontend/TextPainter.h"

#include <SDL.h>

#include <algorithm>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <functional>
#include <iostream>
#include <mutex>
#include <thread>
#include <vector>

namespace vrec::frontend {

namespace kb = board::keybit;

namespace {

constexpr int kWindowWidth = 1060;
constexpr int kWindowHeight = 712;
constexpr int kLcdX = 50, kLcdY = 92, kLcdScale = 2;
constexpr int kPanelX = 750;

// Keyboard keys standing for the device's keys.
struct KeyBinding
{
    SDL_Keycode key;
    uint32_t bit;
};
const KeyBinding kKeyBindings[] = {
    {SDLK_F1, kb::kF1},         {SDLK_F2, kb::kF2},         {SDLK_F3, kb::kF3},       {SDLK_ESCAPE, kb::kMenu},
    {SDLK_m, kb::kMenu},        {SDLK_TAB, kb::kMode},      {SDLK_d, kb::kDisplay},   {SDLK_t, kb::kT},
    {SDLK_w, kb::kW},           {SDLK_UP, kb::kUp},         {SDLK_DOWN, kb::kDown},   {SDLK_LEFT, kb::kLeft},
    {SDLK_RIGHT, kb::kRight},   {SDLK_RETURN, kb::kEnter},  {SDLK_KP_ENTER, kb::kEnter}, {SDLK_r, kb::kRecord},
    {SDLK_SPACE, kb::kPlay},    {SDLK_s, kb::kStop},        {SDLK_BACKSPACE, kb::kStop},
};

// Standard input lines for the firmware's console.
class ConsoleInput
{
public:
    ConsoleInput()
    {
        std::thread([this] {
            std::string line;
            while (std::getline(std::cin, line)) {
                std::lock_guard<std::mutex> guard(lock_);
                lines_.push_back(line);
            }
        }).detach();
    }
    bool Next(std::string& line)
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (lines_.empty())
            return false;
        line = lines_.front();
        lines_.pop_front();
        return true;
    }

private:
    std::mutex lock_;
    std::deque<std::string> lines_;
};

void FillCircle(SDL_Renderer* r, int cx, int cy, int radius)
{
    for (int dy = -radius; dy <= radius; ++dy) {
        int dx = 0;
        while ((dx + 1) * (dx + 1) + dy * dy <= radius * radius)
            ++dx;
        SDL_RenderDrawLine(r, cx - dx, cy + dy, cx + dx, cy + dy);
    }
}

void SetColour(SDL_Renderer* r, uint32_t rgb)
{
    SDL_SetRenderDrawColor(r, rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF, 255);
}

void Fill(SDL_Renderer* r, int x, int y, int w, int h, uint32_t rgb)
{
    SetColour(r, rgb);
    SDL_Rect rect{x, y, w, h};
    SDL_RenderFillRect(r, &rect);
}

// Cards the window makes: as the recorder formats them, formatted
// elsewhere, with clusters too small, never formatted.
struct NewCardKind
{
    const char* label;
    const char* prefix;
    board::CardFormat format;
    int sectorsPerCluster;
};
const NewCardKind kNewCardKinds[] = {
    {"formatted by the recorder", "card", board::CardFormat::kDevice, 64},
    {"formatted elsewhere", "elsewhere", board::CardFormat::kForeign, 64},
    {"16 KB clusters", "clusters16k", board::CardFormat::kDevice, 32},
    {"blank (never formatted)", "blank", board::CardFormat::kBlank, 64},
};

// Opens a folder in the desktop's file manager, without waiting for it.
bool OpenFolder(const std::string& folder)
{
    std::string opener = board::FindSystemProgram("xdg-open");
    if (opener.empty())
        return false;
    pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        // The grandchild belongs to init, so nobody waits for it here.
        setsid();
        if (fork() == 0) {
            execl(opener.c_str(), opener.c_str(), folder.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return true;
}

std::string Stamp()
{
    char text[32];
    std::time_t now = std::time(nullptr);
    std::strftime(text, sizeof(text), "%Y%m%d-%H%M%S", std::localtime(&now));
    return text;
}

class Window
{
public:
    Window(Controls& controls, Supervisor& supervisor, const WindowOptions& options)
        : controls_(controls), supervisor_(supervisor), options_(options)
    {
    }
    ~Window();
    int Run();

private:
    struct Row
    {
        std::string shortcut;
        std::function<std::string()> label;
        std::function<void()> toggle;
        SDL_Rect rect{};
    };

    bool Open();
    void BuildRows();
    void OnKey(const SDL_KeyboardEvent& key, bool down);
    void OnClick(int x, int y);
    void Render();
    void RenderDevice();
    void RenderPanel();
    void UpdateHdmi();
    void Status(const std::string& text);
    void TakeSnapshot(Output output);
    void NextCard();
    void NextSoundSource(SoundInputName input);
    void NextCameraSource();
    void MakeNewCard();
    void OpenCardFolder();
    bool SaveScreenshot();

    Controls& controls_;
    Supervisor& supervisor_;
    WindowOptions options_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* lcd_ = nullptr;
    std::unique_ptr<TextPainter> text_;
    std::unique_ptr<TextPainter> small_;
    SDL_Window* hdmiWindow_ = nullptr;
    SDL_Renderer* hdmiRenderer_ = nullptr;
    SDL_Texture* hdmiTexture_ = nullptr;
    int hdmiWidth_ = 0, hdmiHeight_ = 0;
    std::vector<Row> rows_;
    std::string status_;
    std::string chosenCard_;
    size_t newCardKind_ = 0;
    bool cardOnUsb_ = false;
    ConsoleInput* console_ = nullptr;
};

Window::~Window()
{
    if (hdmiTexture_)
        SDL_DestroyTexture(hdmiTexture_);
    if (hdmiRenderer_)
        SDL_DestroyRenderer(hdmiRenderer_);
    if (hdmiWindow_)
        SDL_DestroyWindow(hdmiWindow_);
    text_.reset();
    small_.reset();
    if (lcd_)
        SDL_DestroyTexture(lcd_);
    if (renderer_)
        SDL_DestroyRenderer(renderer_);
    if (window_)
        SDL_DestroyWindow(window_);
    SDL_Quit();
}

bool Window::Open()
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "vrecsim: no window: %s\n", SDL_GetError());
        return false;
    }
    window_ = SDL_CreateWindow("KESTRA7 - simulated recorder", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               kWindowWidth, kWindowHeight, 0);
    if (!window_) {
        std::fprintf(stderr, "vrecsim: no window: %s\n", SDL_GetError());
        return false;
    }
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer_)
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) {
        std::fprintf(stderr, "vrecsim: no renderer: %s\n", SDL_GetError());
        return false;
    }
    lcd_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB24, SDL_TEXTUREACCESS_STREAMING, 320, 240);
    text_ = std::make_unique<TextPainter>(renderer_, VREC_UI_FONT, 15);
    small_ = std::make_unique<TextPainter>(renderer_, VREC_UI_FONT, 12);
    if (!text_->ok())
        std::fprintf(stderr, "vrecsim: cannot load %s: the window has no labels\n", VREC_UI_FONT);
    return true;
}

void Window::BuildRows()
{
    auto onOff = [](bool on) { return std::string(on ? "on" : "off"); };
    auto sw = [this, onOff](const char* key, const char* name, Switch which) {
        rows_.push_back({key, [this, name, which, onOff] { return std::string(name) + ": " + onOff(controls_.SwitchOn(which)); },
                         [this, which] { controls_.SetSwitch(which, !controls_.SwitchOn(which)); }});
    };
    sw("H", "HOLD", Switch::kHold);
    sw("K", "SPEAKER", Switch::kSpeaker);
    sw("C", "CAMERA_SW", Switch::kCameraSw);
    rows_.push_back({"J", [this] { return std::string("Headphones: ") + (controls_.SwitchOn(Switch::kHeadphones) ? "plugged" : "out"); },
                     [this] { controls_.SetSwitch(Switch::kHeadphones, !controls_.SwitchOn(Switch::kHeadphones)); }});
    rows_.push_back({"E", [this] { return std::string("External mic: ") + (controls_.SwitchOn(Switch::kMic) ? "plugged" : "out"); },
                     [this] { controls_.SetSwitch(Switch::kMic, !controls_.SwitchOn(Switch::kMic)); }});
    rows_.push_back({"B", [this] { return "Built-in mics: " + DescribeSoundSource(controls_.CurrentSoundSource(SoundInputName::kBuiltIn)); },
                     [this] { NextSoundSource(SoundInputName::kBuiltIn); }});
    rows_.push_back({"L", [this] { return "External jack: " + DescribeSoundSource(controls_.CurrentSoundSource(SoundInputName::kExternal)); },
                     [this] { NextSoundSource(SoundInputName::kExternal); }});
    rows_.push_back({"I", [this] {
                         std::string in = controls_.CardInSlot();
                         return in.empty() ? "Card: out (" + chosenCard_ + ")" : "Card: " + in + " in";
                     },
                     [this] {
                         if (!controls_.CardInSlot().empty()) {
                             chosenCard_ = controls_.CardInSlot();
                             controls_.RemoveCard();
                             return;
                         }
                         std::string why;
                         if (!controls_.InsertCard(chosenCard_, &why))
                             Status("card: " + why);
                     }});
    rows_.push_back({"N", [this] { return "Card image: " + chosenCard_; }, [this] { NextCard(); }});
    rows_.push_back({"Q", [this] { return std::string("New card: ") + kNewCardKinds[newCardKind_].label; },
                     [this] { newCardKind_ = (newCardKind_ + 1) % (sizeof(kNewCardKinds) / sizeof(kNewCardKinds[0])); }});
    rows_.push_back({"Z", [] { return std::string("Make that card and put it in"); }, [this] { MakeNewCard(); }});
    sw("P", "Write protect", Switch::kWriteProtect);
    rows_.push_back({"X", [this] { return std::string("HDMI cable: ") + (controls_.state().hdmi.cable ? "in" : "out"); },
                     [this] { controls_.PlugHdmi(!controls_.state().hdmi.cable); }});
    rows_.push_back({"U", [this] { return std::string("USB cable: ") + (controls_.state().usb.cable ? "in" : "out"); },
                     [this] { controls_.PlugUsb(!controls_.state().usb.cable); }});
    rows_.push_back({"O", [this] {
                         return std::string(controls_.CardOnUsb() ? "Card on USB: open its folder"
                                                                  : "Card on USB: no (the device has it)");
                     },
                     [this] { OpenCardFolder(); }});
    rows_.push_back({"A", [this, onOff] { return "Mains adapter: " + onOff(controls_.state().power.adapter != 0); },
                     [this] { controls_.SetAdapter(!controls_.state().power.adapter); }});
    rows_.push_back({"- +", [this] { return "Battery level: " + std::to_string(controls_.state().power.batteryLevel.load()) + " / 7"; },
                     [this] { controls_.SetBattery((controls_.state().power.batteryLevel + 1) % 8); }});
    rows_.push_back({"[ ]", [this] { return "Input volume: " + std::to_string(controls_.state().power.inputVolume.load()); },
                     [this] { controls_.SetInputVolume((controls_.state().power.inputVolume + 16) % 128); }});
    // The camera: what it looks at (the host's camera only when chosen), and sync marks.
    rows_.push_back({"V", [this] { return "Camera: " + board::CameraSourceName(controls_.state().camera); },
                     [this] { NextCameraSource(); }});
    rows_.push_back({"Y", [this, onOff] { return "Sync mark every second: " + onOff(controls_.state().camera.syncEverySecond != 0); },
                     [this] {
                         board::Camera& camera = controls_.state().camera;
                         board::SetSyncEverySecond(camera, camera.syncEverySecond == 0);
                     }});
    rows_.push_back({"G", [] { return std::string("Sync mark now"); }, [this] { board::RequestSyncMark(controls_.state().camera); }});
    rows_.push_back({"F1", [this] { return std::string("Power: ") + (supervisor_.IsOn() ? "on (hold F1 to switch off)" : "off (press F1)"); },
                     [this] {
                         std::string why;
                         if (!supervisor_.IsOn() && !supervisor_.PowerOn(&why))
                             Status(why);
                     }});
}

// Steps through what an input can hear: silence, two tones, noise, the
// --wav file and the host's microphone.
void Window::NextSoundSource(SoundInputName input)
{
    std::vector<SoundSource> choices(4);
    choices[1].kind = SoundSource::Kind::kTone;
    choices[1].hz[0] = choices[1].hz[1] = 1000;
    choices[1].db[0] = choices[1].db[1] = -6.0;
    choices[2].kind = SoundSource::Kind::kTone;
    choices[2].hz[0] = choices[2].hz[1] = 440;
    choices[2].db[0] = choices[2].db[1] = -20.0;
    choices[3].kind = SoundSource::Kind::kNoise;
    choices[3].db[0] = choices[3].db[1] = -30.0;
    if (!options_.soundFile.empty()) {
        SoundSource wav;
        wav.kind = SoundSource::Kind::kWavFile;
        wav.wavFile = options_.soundFile;
        wav.db[0] = wav.db[1] = 0.0;
        choices.push_back(wav);
    }
    SoundSource host;
    host.kind = SoundSource::Kind::kHost;
    choices.push_back(host);

    std::string now = DescribeSoundSource(controls_.CurrentSoundSource(input));
    size_t next = 0;
    for (size_t i = 0; i < choices.size(); ++i) {
        if (DescribeSoundSource(choices[i]) == now) {
            next = (i + 1) % choices.size();
            break;
        }
    }
    std::string why;
    if (!controls_.SetSoundSource(input, choices[next], &why))
        Status("sound: " + why);
}

void Window::NextCard()
{
    std::vector<std::string> names = controls_.CardNames();
    if (names.empty())
        return;
    size_t i = 0;
    while (i < names.size() && names[i] != chosenCard_)
        ++i;
    chosenCard_ = names[(i + 1) % names.size()];
    if (!controls_.CardInSlot().empty()) {
        Status("card " + chosenCard_ + " goes in when the card in the slot is out (I)");
    }
}

// A new card of the kind chosen in the panel, named after the kind.
void Window::MakeNewCard()
{
    const NewCardKind& kind = kNewCardKinds[newCardKind_];
    std::vector<std::string> names = controls_.CardNames();
    std::string name;
    for (int n = 1; name.empty(); ++n) {
        std::string candidate = std::string(kind.prefix) + "-" + std::to_string(n);
        if (std::find(names.begin(), names.end(), candidate) == names.end())
            name = candidate;
    }
    std::string why;
    if (!controls_.NewCard(name, kind.format, 4ull << 30, &why, kind.sectorsPerCluster)) {
        Status("card: " + why);
        return;
    }
    chosenCard_ = name;
    Status("card " + name + " (" + kind.label + ") is in the slot");
}

// While the card is exported the host may change it: its files are a folder here.
void Window::OpenCardFolder()
{
    if (!controls_.CardOnUsb()) {
        Status("the card is not on USB: plug the USB cable (U) while the device is idle");
        return;
    }
    std::string folder = controls_.CardFiles();
    if (OpenFolder(folder))
        Status("opening " + folder);
    else
        Status("the card's files are in " + folder);
}

// Scene, colour bars, the video file (when a scenario chose one) and the
// host's camera, in turn.
void Window::NextCameraSource()
{
    board::Camera& camera = controls_.state().camera;
    switch (camera.source.load()) {
    case board::kCameraScene:
        board::SetCameraBars(camera);
        break;
    case board::kCameraBars:
        if (camera.file[0]) {
            board::SetCameraFile(camera, std::string(camera.file, strnlen(camera.file, sizeof(camera.file))));
            break;
        }
        board::SetCameraHost(camera);
        break;
    case board::kCameraFile:
        board::SetCameraHost(camera);
        break;
    default:
        board::SetCameraScene(camera);
        break;
    }
    Status("camera: " + board::CameraSourceName(camera));
}

void Window::Status(const std::string& text)
{
    status_ = text;
    std::fprintf(stderr, "vrecsim: %s\n", text.c_str());
}

void Window::TakeSnapshot(Output output)
{
    std::string path = options_.snapshotDir + "/" + (output == Output::kLcd ? "lcd-" : "hdmi-") + Stamp() + ".png";
    std::string why;
    if (Snapshot(controls_.root(), controls_.state(), output, path, &why))
        Status("snapshot: " + path);
    else
        Status("no snapshot: " + why);
}

void Window::OnKey(const SDL_KeyboardEvent& key, bool down)
{
    if (key.repeat)
        return;
    for (const KeyBinding& binding : kKeyBindings) {
        if (binding.key != key.keysym.sym)
            continue;
        controls_.SetKey(binding.bit, down);
        if (binding.bit == kb::kF1 && down && !supervisor_.IsOn()) {
            std::string why;
            if (supervisor_.PowerOn(&why))
                Status("powering on");
            else
                Status(why);
        }
        return;
    }
    if (!down)
        return;
    auto toggle = [this](const char* shortcut) {
        for (Row& row : rows_)
            if (row.shortcut == shortcut)
                row.toggle();
    };
    switch (key.keysym.sym) {
    case SDLK_h: toggle("H"); break;
    case SDLK_k: toggle("K"); break;
    case SDLK_c: toggle("C"); break;
    case SDLK_j: toggle("J"); break;
    case SDLK_e: toggle("E"); break;
    case SDLK_i: toggle("I"); break;
    case SDLK_n: toggle("N"); break;
    case SDLK_q: toggle("Q"); break;
    case SDLK_z: toggle("Z"); break;
    case SDLK_o: toggle("O"); break;
    case SDLK_p: toggle("P"); break;
    case SDLK_x: toggle("X"); break;
    case SDLK_u: toggle("U"); break;
    case SDLK_a: toggle("A"); break;
    case SDLK_b: toggle("B"); break;
    case SDLK_l: toggle("L"); break;
    case SDLK_v: toggle("V"); break;
    case SDLK_y: toggle("Y"); break;
    case SDLK_g: toggle("G"); break;
    case SDLK_MINUS:
    case SDLK_KP_MINUS: controls_.SetBattery(controls_.state().power.batteryLevel - 1); break;
    case SDLK_PLUS:
    case SDLK_EQUALS:
    case SDLK_KP_PLUS: controls_.SetBattery(controls_.state().power.batteryLevel + 1); break;
    case SDLK_LEFTBRACKET: controls_.SetInputVolume(controls_.state().power.inputVolume - 4); break;
    case SDLK_RIGHTBRACKET: controls_.SetInputVolume(controls_.state().power.inputVolume + 4); break;
    case SDLK_F12: TakeSnapshot(Output::kLcd); break;
    case SDLK_F11: TakeSnapshot(Output::kHdmi); break;
    default: break;
    }
}

void Window::OnClick(int x, int y)
{
    for (Row& row : rows_) {
        SDL_Point p{x, y};
        if (SDL_PointInRect(&p, &row.rect)) {
            row.toggle();
            return;
        }
    }
}

void Window::RenderDevice()
{
    board::HardwareState& state = controls_.state();
    // The body of the recorder around its screen.
    Fill(renderer_, 20, 20, 700, 600, 0x2B2F34);
    Fill(renderer_, 24, 24, 692, 592, 0x33383E);
    text_->Draw(40, 34, "KESTRA7", 0xE8ECF0);
    struct Led { const char* name; int lit; uint32_t colour; };
    const Led leds[] = {{"REC", state.leds.rec, 0xFF3B30}, {"PEAK", state.leds.peak, 0xFFB000},
                        {"CAMERA", state.leds.camera, 0x34D058}};
    int x = 200;
    for (const Led& led : leds) {
        SetColour(renderer_, led.lit ? led.colour : 0x3A3F45);
        FillCircle(renderer_, x, 44, 7);
        small_->Draw(x + 12, 36, led.name, led.lit ? 0xFFFFFF : 0x9AA3AD);
        x += 110;
    }
    int backlight = state.leds.backlight;
    small_->Draw(560, 36, "Backlight: " + (backlight ? std::to_string(backlight) : std::string("off")), 0x9AA3AD);

    // The LCD as held (upright), in a black bezel.
    Fill(renderer_, kLcdX - 10, kLcdY - 10, 320 * kLcdScale + 20, 240 * kLcdScale + 20, 0x0A0B0C);
    board::RgbImage lcd = Capture(controls_.root(), state, Output::kLcd);
    if (lcd.width == 320 && lcd.height == 240)
        SDL_UpdateTexture(lcd_, nullptr, lcd.rgb.data(), 320 * 3);
    SDL_Rect to{kLcdX, kLcdY, 320 * kLcdScale, 240 * kLcdScale};
    SDL_RenderCopy(renderer_, lcd_, nullptr, &to);
    if (!supervisor_.IsOn())
        text_->Draw(kLcdX + 220, kLcdY + 228, "OFF - press F1 to power on", 0x6F7882);

    // Status line.
    std::string line = status_;
    size_t newline = line.find('\n');
    if (newline != std::string::npos)
        line = line.substr(0, newline) + " (details on the terminal)";
    small_->Draw(40, 592, line, 0xC8D0D8);
}

void Window::RenderPanel()
{
    int y = 28;
    text_->Draw(kPanelX, y, "Switches and cables", 0xFFFFFF);
    y += 28;
    for (Row& row : rows_) {
        row.rect = SDL_Rect{kPanelX - 4, y - 2, 300, 19};
        Fill(renderer_, row.rect.x, row.rect.y, row.rect.w, row.rect.h, 0x262B31);
        small_->Draw(kPanelX, y + 2, row.shortcut, 0x7FC8FF);
        small_->Draw(kPanelX + 40, y + 2, row.label(), 0xE8ECF0);
        y += 21;
    }
    y += 10;
    text_->Draw(kPanelX, y, "Keys", 0xFFFFFF);
    y += 24;
    const char* legend[] = {"F1 power (hold: off)   F2  F3", "Esc / M  MENU     Tab  MODE",
                            "D  DISPLAY    T / W  zoom", "arrows  UP DOWN LEFT RIGHT", "Enter  ENTER     R  RECORD",
                            "Space  PLAY    S  STOP", "F12 / F11  snapshot LCD / HDMI"};
    for (const char* text : legend) {
        small_->Draw(kPanelX, y, text, 0xB8C2CC);
        y += 17;
    }
}

void Window::UpdateHdmi()
{
    board::RgbImage picture = Capture(controls_.root(), controls_.state(), Output::kHdmi);
    if (picture.empty()) {
        if (hdmiWindow_) {
            SDL_DestroyTexture(hdmiTexture_);
            SDL_DestroyRenderer(hdmiRenderer_);
            SDL_DestroyWindow(hdmiWindow_);
            hdmiTexture_ = nullptr;
            hdmiRenderer_ = nullptr;
            hdmiWindow_ = nullptr;
        }
        return;
    }
    if (!hdmiWindow_) {
        int w = 640, h = picture.height * 640 / std::max(picture.width, 1);
        hdmiWindow_ = SDL_CreateWindow("KESTRA7 - HDMI display", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, w, h,
                                       SDL_WINDOW_RESIZABLE);
        if (!hdmiWindow_)
            return;
        hdmiRenderer_ = SDL_CreateRenderer(hdmiWindow_, -1, 0);
        if (!hdmiRenderer_)
            hdmiRenderer_ = SDL_CreateRenderer(hdmiWindow_, -1, SDL_RENDERER_SOFTWARE);
        hdmiWidth_ = 0;
    }
    if (!hdmiRenderer_)
        return;
    if (picture.width != hdmiWidth_ || picture.height != hdmiHeight_) {
        if (hdmiTexture_)
            SDL_DestroyTexture(hdmiTexture_);
        hdmiTexture_ = SDL_CreateTexture(hdmiRenderer_, SDL_PIXELFORMAT_RGB24, SDL_TEXTUREACCESS_STREAMING,
                                         picture.width, picture.height);
        hdmiWidth_ = picture.width;
        hdmiHeight_ = picture.height;
    }
    SDL_UpdateTexture(hdmiTexture_, nullptr, picture.rgb.data(), picture.width * 3);
    SDL_RenderClear(hdmiRenderer_);
    SDL_RenderCopy(hdmiRenderer_, hdmiTexture_, nullptr, nullptr);
    SDL_RenderPresent(hdmiRenderer_);
}

void Window::Render()
{
    SetColour(renderer_, 0x1A1D21);
    SDL_RenderClear(renderer_);
    RenderDevice();
    RenderPanel();
}

bool Window::SaveScreenshot()
{
    board::RgbImage image;
    image.width = kWindowWidth;
    image.height = kWindowHeight;
    image.rgb.resize(static_cast<size_t>(image.width) * image.height * 3);
    if (SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_RGB24, image.rgb.data(), image.width * 3) != 0) {
        std::fprintf(stderr, "vrecsim: cannot read the window: %s\n", SDL_GetError());
        return false;
    }
    std::string why;
    if (!board::WritePng(image, options_.screenshot, &why)) {
        std::fprintf(stderr, "vrecsim: %s\n", why.c_str());
        return false;
    }
    std::printf("screenshot: %s\n", options_.screenshot.c_str());
    return true;
}

int Window::Run()
{
    if (!Open())
        return 2;
    std::vector<std::string> cards = controls_.CardNames();
    chosenCard_ = controls_.CardInSlot();
    if (chosenCard_.empty() && !cards.empty())
        chosenCard_ = cards.front();
    BuildRows();
    ConsoleInput console;
    console_ = &console;
    std::string why;
    if (supervisor_.PowerOn(&why))
        Status("powered on; the debug console is this terminal");
    else
        Status("cannot power on: " + why);

    auto started = std::chrono::steady_clock::now();
    int status = 0;
    bool running = true;
    while (running) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT ||
                (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE &&
                 event.window.windowID == SDL_GetWindowID(window_)))
                running = false;
            else if (event.type == SDL_KEYDOWN)
                OnKey(event.key, true);
            else if (event.type == SDL_KEYUP)
                OnKey(event.key, false);
            else if (event.type == SDL_MOUSEBUTTONDOWN && event.button.windowID == SDL_GetWindowID(window_))
                OnClick(event.button.x, event.button.y);
        }
        std::string line;
        while (console.Next(line)) {
            if (supervisor_.IsOn())
                supervisor_.process().SendLine(line);
            else
                Status("the device is off: console line dropped");
        }
        std::string message;
        PowerEvent power = supervisor_.Poll(&message);
        if (power != PowerEvent::kNone) {
            Status(message);
            if (power == PowerEvent::kCrashed)
                status = 1;
        }
        if (controls_.CardOnUsb() != cardOnUsb_) {
            cardOnUsb_ = !cardOnUsb_;
            Status(cardOnUsb_ ? "the card is on USB: its files are in " + controls_.CardFiles() + " (O opens the folder)"
                              : "the card is back from USB");
        }
        Render();
        SDL_RenderPresent(renderer_);
        UpdateHdmi();
        if (!options_.screenshot.empty() &&
            std::chrono::steady_clock::now() - started >= std::chrono::milliseconds(options_.screenshotAfterMs)) {
            Render();
            if (!SaveScreenshot())
                status = 1;
            running = false;
        }
        SDL_Delay(30);
    }
    controls_.ReleaseAllKeys();
    if (supervisor_.IsOn()) {
        Status("shutting the device down");
        Render();
        SDL_RenderPresent(renderer_);
        std::fprintf(stderr, "vrecsim: %s\n", supervisor_.PowerOff().c_str());
    }
    return status;
}

}  // namespace

bool DisplayAvailable()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

int RunWindow(Controls& controls, Supervisor& supervisor, const WindowOptions& options)
{
    Window window(controls, supervisor, options);
    return window.Run();
}

}  // namespace vrec::frontend
