// The hardware state of the simulated board, shared through a memory-mapped
// file in the board root by the firmware process, the board tools and the
// front end. Every field is a lock-free atomic so that any side may read or
// write it at any time.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace vrec::board {

constexpr uint32_t kStateMagic = 0x56524543;  // "VREC"
constexpr uint32_t kStateVersion = 4;

using AtomicInt = std::atomic<int32_t>;
using AtomicWord = std::atomic<uint32_t>;
using AtomicLong = std::atomic<int64_t>;

// Key lines of "/dev/vreckey": bits 0..23 of the key mask. F1 is not here;
// the power controller reports it.
struct KeyLines
{
    AtomicWord mask;
    AtomicWord changes;  // raised whenever mask changes
};

struct PowerController
{
    AtomicInt batteryLevel;    // 0..7
    AtomicInt batteryVoltage;  // byte
    AtomicInt adapter;         // mains adapter connected
    AtomicInt f1Pressed;
    AtomicInt inputVolume;     // knob, 0..127
    AtomicInt batteryType;     // last type set by the firmware: 0 alkaline, 1 NiMH
    AtomicInt powerOffStarted;
    AtomicInt powerCut;
    AtomicInt lcdReset;
};

// What a person sees of the LEDs and backlight (1 = lit).
struct Leds
{
    AtomicInt rec;
    AtomicInt peak;
    AtomicInt camera;
    AtomicInt backlight;  // level, 0 = off
    AtomicWord recChanges;
    AtomicWord peakChanges;
    AtomicWord cameraChanges;
    AtomicWord backlightChanges;
};

struct Hdmi
{
    AtomicInt cable;        // mirrors key bit 22
    AtomicInt sink;         // a display answers on the cable
    AtomicInt muted;
    AtomicInt videoFormat;
    AtomicInt audioBits;
    AtomicInt audioRate;
    AtomicInt audioWidth;
    std::atomic<uint8_t> registers[256];
    std::atomic<uint8_t> edid[256];
};

struct Usb
{
    AtomicInt cable;         // mirrors key bit 23
    AtomicInt gadgetLoaded;  // the card is exported as mass storage
};

constexpr int kCardNameSize = 64;

struct CardSlot
{
    AtomicInt inserted;  // mirrors key bit 20
    AtomicInt writeProtected;
    AtomicWord changes;
    char name[kCardNameSize];  // card in the slot (a folder under cards/)
};

// One OSD frame-buffer device ("/dev/fb0" or "/dev/fb2").
struct FrameBufferState
{
    AtomicInt open;
    AtomicInt xres;
    AtomicInt yres;
    AtomicInt lineLength;
    AtomicInt shownBank;
    AtomicInt zoom;
    AtomicInt colorKey;
    AtomicInt colorKeyEnabled;
    AtomicInt windowEnabled;
    AtomicInt blanked;
    AtomicWord flips;
    // The rest of the variable screen information and the blend settings.
    AtomicInt xresVirtual;
    AtomicInt yresVirtual;
    AtomicInt xoffset;
    AtomicInt yoffset;
    AtomicInt bitsPerPixel;
    AtomicInt zoomVertical;
    AtomicInt blendFactor;
};

// The OSD memory of "/dev/fb0" and "/dev/fb2" lives in "<root>/fb0.mem" and
// "<root>/fb2.mem" (two banks each); the video planes under the OSD in
// "<root>/video-lcd.plane" (240 x 320, 4:2:2 interleaved, as the panel is
// mounted) and "<root>/video-hdmi.plane" (up to 1280 x 720, 4:2:2).
struct Display
{
    FrameBufferState fb[2];  // [0] "/dev/fb0" (HDMI), [1] "/dev/fb2" (LCD)
    AtomicInt videoOutput;   // 0 LCD, 1 HDMI: where the video planes go
    AtomicWord videoFrames;
    AtomicInt lcdVideoShown;     // the LCD video plane holds a picture
    AtomicInt hdmiVideoWidth;    // 1280 or 640; 0 while no HDMI video is shown
    AtomicInt hdmiVideoHeight;
};

// The processor's video-front-end registers (CCDC, IPIPEIF, IPIPE and their
// neighbours), reached by the debug console through "/dev/vrecled".
constexpr uint32_t kRegisterBase = 0x01C70000;
constexpr int kRegisterWords = 2048;  // 0x01C70000 .. 0x01C71FFF

struct ProcessorRegisters
{
    AtomicWord word[kRegisterWords];
};

struct Clock
{
    AtomicLong rtcOffsetUs;     // RTC = host time + offset (runs while powered off)
    AtomicLong systemOffsetUs;  // system clock = host time + offset (set at power-on, by "date")
    // Test clock: while held, the board's host time stands at heldUs and
    // moves only when a test advances it (HoldClock, AdvanceClock).
    AtomicInt held;
    AtomicLong heldUs;
};

constexpr int kNoteSize = 32;

struct Firmware
{
    AtomicInt pid;             // firmware process, 0 when none runs
    AtomicInt rebootRequested; // "reboot" was run
    AtomicWord syncs;          // sync calls
    AtomicWord boots;
    AtomicWord screenChanges;
    char activeScreen[kNoteSize];  // noted by the program (SYS_NoteState "screen")
};

// The camera: what it looks at, its sensor's registers (read and written
// through the capture device "/dev/video0") and the sync marks a test asks for.
enum CameraSourceKind : int32_t
{
    kCameraScene = 0,  // the moving test scene with frame number and time
    kCameraBars = 1,   // colour bars
    kCameraFile = 2,   // frames of a video file, looped
    kCameraHost = 3,   // the host's own camera
};

constexpr int kCameraRegisters = 256;
constexpr int kCameraPathSize = 256;

struct Camera
{
    AtomicInt source;           // CameraSourceKind
    AtomicWord sourceChanges;   // raised after file changes
    char file[kCameraPathSize]; // host path of the video file
    AtomicInt streaming;        // a capture is running
    AtomicInt width;            // its frame size
    AtomicInt height;
    AtomicWord frames;          // frames delivered since power-on
    AtomicWord dropped;         // frame times that found no free buffer
    // Sync marks (a white frame and a click on the built-in microphones at
    // the same instant, CLOCK_MONOTONIC nanoseconds): every whole second
    // while syncEverySecond is set, and once at syncMarkNs when it is not 0.
    AtomicInt syncEverySecond;
    AtomicLong syncMarkNs;
    AtomicWord registers[kCameraRegisters];
};

// What one capture input of the sound card hears.
enum SoundSourceKind : int32_t
{
    kSoundSilence = 0,
    kSoundTone = 1,     // a sine per channel
    kSoundNoise = 2,    // white noise per channel
    kSoundWavFile = 3,  // a WAV file, looped
    kSoundHost = 4,     // the host's own capture device
};

constexpr int kSoundPathSize = 256;

struct SoundInput
{
    AtomicInt kind;             // SoundSourceKind
    AtomicInt toneHz[2];        // left, right
    AtomicInt levelCentiDb[2];  // peak level in dBFS x 100 at unity gain (a WAV file: its gain)
    AtomicWord changes;         // raised after wavFile changes
    char wavFile[kSoundPathSize];  // host path
};

// The codec's mixer controls, in the units the control plugin shows.
struct SoundMixer
{
    AtomicInt lineOutDac;     // both channels: 0..120 in 0.5 dB steps, 120 = 0 dB, 0 = off
    AtomicInt capturePga;     // both channels: 0..48 in 0.5 dB steps, 24 = 0 dB
    AtomicInt exCap;          // 0 "Off", 1 "On"
    AtomicInt zeroOutput;     // 0 "Disable", 1 "Enable"
    AtomicInt dacMute;        // 0 "Off", 1 "On"
    AtomicInt adcMute;
    AtomicInt captureSource;  // 0 "Inner_Mic", 1 "Ext_Mic", 2 "Ext_Mic_Bias", 3 "Line"
    AtomicInt micGain;        // 0 "Low", 1 "Mid", 2 "High"
    AtomicInt levelControl;   // 0 "Off", 1 "Auto", 2 "Limiter"
    AtomicInt speaker;        // 0 "Off", 1 "On"
    AtomicInt zeroCross;      // 0 "Off", 1 "On"
    AtomicInt regDump;        // 0 "Disable", 1 "Enable"
    AtomicWord writes;        // raised by every control write
};

// A PCM stream of the card as the front end and tests see it.
struct SoundStream
{
    AtomicInt open;
    AtomicInt running;
    AtomicInt rate;
    AtomicInt bits;
    AtomicInt periodFrames;
    AtomicInt bufferFrames;
    AtomicLong frames;  // moved since power-on
    AtomicWord xruns;
    AtomicWord opens;
};

struct SoundCard
{
    SoundInput inner;              // the built-in microphones
    SoundInput external;           // the external jack (microphone or line)
    AtomicInt externalNeedsBias;   // the external microphone is silent without plug-in power
    SoundMixer mixer;
    AtomicInt hostSpeakers;        // also play through the host's speakers
    AtomicWord overrunRequests;    // each raise makes the running capture over-run once
    AtomicWord underrunRequests;   // ... the running playback under-run once
    AtomicWord suspendRequests;    // ... every running stream suspend once
    SoundStream capture;
    SoundStream playback;
};

// Faults of the internal NAND flash, injected by a test or a scenario and
// obeyed by the board's flash tools: a bit that reads back inverted, or
// writes that fail.
enum FlashFaultKind : int32_t
{
    kFlashFaultNone = 0,
    kFlashFaultFlippedBit = 1,  // bit 0 of the byte at offset reads inverted
    kFlashFaultWriteError = 2,  // every write to the partition fails
};

struct FlashFault
{
    AtomicInt kind;       // FlashFaultKind
    AtomicInt partition;  // N of "/dev/mtdN"
    AtomicLong offset;
};

// The text of the last box the firmware opened (SYS_NoteState "box"), for
// the front end's checks.
constexpr int kBoxNoteSize = 256;

struct BoxNote
{
    AtomicWord opened;  // raised for every box
    char text[kBoxNoteSize];
};

// How often the firmware's main loop polled the key lines: it rises every
// 50 ms while the GUI thread runs, so a watcher sees a hung GUI.
struct KeyPolls
{
    AtomicWord count;
};

// What the firmware's last read of the key lines saw, and how many reads it
// made: a press is only a press once the firmware has seen it.
struct KeyReads
{
    AtomicWord mask;
    AtomicWord count;
};

struct HardwareState
{
    uint32_t magic;
    uint32_t version;
    uint32_t size;
    uint32_t initialised;
    KeyLines keys;
    PowerController power;
    Leds leds;
    Hdmi hdmi;
    Usb usb;
    CardSlot card;
    Display display;
    Clock clock;
    Firmware firmware;
    Camera camera;
    SoundCard sound;
    ProcessorRegisters registers;
    // Taken from the spare bytes, so that boards made before keep their state.
    FlashFault flashFault;
    BoxNote box;
    KeyPolls keyPolls;
    KeyReads keyReads;
    uint8_t spare[4096 - sizeof(FlashFault) - sizeof(BoxNote) - sizeof(KeyPolls) - sizeof(KeyReads)];
};

static_assert(std::atomic<int32_t>::is_always_lock_free, "shared atomics must be lock-free");
static_assert(std::atomic<int64_t>::is_always_lock_free, "shared atomics must be lock-free");

// Maps "<root>/hardware.state", creating it with the defaults of a new
// board when it is missing or of another layout.
class HardwareStateFile
{
public:
    explicit HardwareStateFile(const std::string& root);
    ~HardwareStateFile();
    HardwareStateFile(const HardwareStateFile&) = delete;
    HardwareStateFile& operator=(const HardwareStateFile&) = delete;

    HardwareState& state() { return *state_; }
    bool ok() const { return state_ != nullptr; }

private:
    HardwareState* state_ = nullptr;
};

// Defaults of a board fresh from the factory: battery full, no adapter,
// no cables, CAMERA_SW on, no headphones, clock not set.
void ResetHardwareState(HardwareState& state);

// Key-line helpers that keep the detect bits and the device states together.
void SetKeyBits(HardwareState& state, uint32_t bits, bool on);
void SetBatteryLevel(HardwareState& state, int level);
// The codec as it comes out of reset at power-on: every mixer control at
// its default.
void ResetSoundCodec(HardwareState& state);

// The time the board's clocks count from: the host's real time, or the
// test clock's while it is held (microseconds since the epoch).
int64_t BoardBaseTimeUs(const HardwareState& state);
// Holds the test clock at the present time; AdvanceClock moves it on.
void HoldClock(HardwareState& state);
void AdvanceClock(HardwareState& state, int64_t ms);
void ReleaseClock(HardwareState& state);
// What the devices hold after the power comes on: processor and HDMI
// transmitter registers at their reset values, frame buffers closed.
void ResetDevicesAtPowerOn(HardwareState& state);

}  // namespace vrec::board
