#include "sim/board/HardwareState.h"

#include "sim/board/DeviceDefaults.h"
#include "sim/board/KeyBits.h"

#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vrec::board {

namespace {

bool SameLayout(const HardwareState& state)
{
    return state.magic == kStateMagic && state.version == kStateVersion && state.size == sizeof(HardwareState) &&
           state.initialised == 1;
}

}  // namespace

void ResetHardwareState(HardwareState& state)
{
    std::memset(static_cast<void*>(&state), 0, sizeof(state));
    state.magic = kStateMagic;
    state.version = kStateVersion;
    state.size = sizeof(HardwareState);

    state.keys.mask = keybit::kCameraSw | keybit::kPhoneDetect;
    SetBatteryLevel(state, 7);
    state.power.inputVolume = 96;
    state.leds.backlight = 0;
    ResetDevicesAtPowerOn(state);
    // A fresh board's clock has never been set: it starts at the epoch.
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    int64_t hostUs = static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
    state.clock.rtcOffsetUs = -hostUs;
    state.clock.systemOffsetUs = -hostUs;
    WriteDefaultEdid(state.hdmi);
    // The built-in microphones hear a quiet test tone so that the meter moves.
    state.sound.inner.kind = kSoundTone;
    for (int channel = 0; channel < 2; ++channel) {
        state.sound.inner.toneHz[channel] = 1000;
        state.sound.inner.levelCentiDb[channel] = -2000;
        state.sound.external.toneHz[channel] = 1000;
        state.sound.external.levelCentiDb[channel] = -2000;
    }
    state.sound.external.kind = kSoundSilence;
    ResetSoundCodec(state);
    state.initialised = 1;
}

void ResetSoundCodec(HardwareState& state)
{
    SoundMixer& mixer = state.sound.mixer;
    mixer.lineOutDac = 120;
    mixer.capturePga = 24;
    mixer.exCap = 0;
    mixer.zeroOutput = 0;
    mixer.dacMute = 0;
    mixer.adcMute = 0;
    mixer.captureSource = 0;
    mixer.micGain = 0;
    mixer.levelControl = 0;
    mixer.speaker = 0;
    mixer.zeroCross = 0;
    mixer.regDump = 0;
}

void SetKeyBits(HardwareState& state, uint32_t bits, bool on)
{
    uint32_t old = state.keys.mask.load();
    uint32_t next;
    do {
        next = on ? (old | bits) : (old & ~bits);
    } while (!state.keys.mask.compare_exchange_weak(old, next));
    if (next != old)
        state.keys.changes.fetch_add(1);
}

void SetBatteryLevel(HardwareState& state, int level)
{
    if (level < 0)
        level = 0;
    if (level > 7)
        level = 7;
    state.power.batteryLevel = level;
    // 3.0 V to 4.2 V over the levels, in units of 20 mV above 1 V.
    state.power.batteryVoltage = 100 + level * 10;
}

HardwareStateFile::HardwareStateFile(const std::string& root)
{
    std::string path = root + "/hardware.state";
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    struct stat st;
    bool fresh = fstat(fd, &st) != 0 || st.st_size != static_cast<off_t>(sizeof(HardwareState));
    if (fresh && ftruncate(fd, sizeof(HardwareState)) != 0) {
        close(fd);
        return;
    }
    void* p = mmap(nullptr, sizeof(HardwareState), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (p == MAP_FAILED)
        return;
    state_ = static_cast<HardwareState*>(p);
    if (fresh || !SameLayout(*state_))
        ResetHardwareState(*state_);
}

HardwareStateFile::~HardwareStateFile()
{
    if (state_)
        munmap(state_, sizeof(HardwareState));
}

static int64_t HostNowUs()
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

int64_t BoardBaseTimeUs(const HardwareState& state)
{
    return state.clock.held.load() ? state.clock.heldUs.load() : HostNowUs();
}

void HoldClock(HardwareState& state)
{
    state.clock.heldUs = HostNowUs();
    state.clock.held = 1;
}

void AdvanceClock(HardwareState& state, int64_t ms)
{
    state.clock.heldUs.fetch_add(ms * 1000);
}

// The held time goes on from where it stood: the offsets keep the clocks
// where the test left them.
void ReleaseClock(HardwareState& state)
{
    if (!state.clock.held.load())
        return;
    int64_t shift = state.clock.heldUs.load() - HostNowUs();
    state.clock.rtcOffsetUs.fetch_add(shift);
    state.clock.systemOffsetUs.fetch_add(shift);
    state.clock.held = 0;
}

}  // namespace vrec::board
