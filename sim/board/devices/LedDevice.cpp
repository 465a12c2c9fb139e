// "/dev/vrecled": the record, peak and camera LEDs (a request value of 0
// lights them), the backlight level, and the debug access to the
// processor's video-front-end registers.
#include "sim/board/Board.h"
#include "sim/board/DeviceDefaults.h"
#include "sim/board/Devices.h"

#include <cstdint>

namespace vrec::board {

namespace {

constexpr unsigned long kSetRec = 0x4004AF00;
constexpr unsigned long kSetPeak = 0x4004AF01;
constexpr unsigned long kSetCamera = 0x4004AF02;
constexpr unsigned long kSetBacklight = 0x4004AF03;
constexpr unsigned long kReadRegister = 0xC008AF04;
constexpr unsigned long kWriteRegister = 0xC008AF05;

struct RegisterAccess
{
    uint32_t address;
    uint32_t value;
};

void SetLed(AtomicInt& led, AtomicWord& changes, unsigned long value)
{
    int lit = value == 0 ? 1 : 0;
    if (led.exchange(lit) != lit)
        changes.fetch_add(1);
}

class LedDevice : public BoardDevice
{
public:
    explicit LedDevice(Board& board) : state_(board.state()) {}

    int Ioctl(unsigned long request, void* arg) override
    {
        unsigned long value = reinterpret_cast<unsigned long>(arg);
        Leds& leds = state_.leds;
        switch (request) {
        case kSetRec:
            SetLed(leds.rec, leds.recChanges, value);
            return 0;
        case kSetPeak:
            SetLed(leds.peak, leds.peakChanges, value);
            return 0;
        case kSetCamera:
            SetLed(leds.camera, leds.cameraChanges, value);
            return 0;
        case kSetBacklight:
            if (value > 255)
                return Fail(EINVAL);
            if (leds.backlight.exchange(static_cast<int32_t>(value)) != static_cast<int32_t>(value))
                leds.backlightChanges.fetch_add(1);
            return 0;
        case kReadRegister:
        case kWriteRegister: {
            if (!arg)
                return Fail(EFAULT);
            auto* access = static_cast<RegisterAccess*>(arg);
            int index = ProcessorRegisterIndex(access->address);
            if (index < 0)
                return Fail(EINVAL);
            if (request == kReadRegister)
                access->value = state_.registers.word[index].load();
            else
                state_.registers.word[index] = access->value;
            return 0;
        }
        default:
            return Fail(ENOTTY);
        }
    }

private:
    HardwareState& state_;
};

}  // namespace

std::shared_ptr<BoardDevice> OpenLedDevice(Board& board, int flags)
{
    return std::make_shared<LedDevice>(board);
}

}  // namespace vrec::board
