// "/dev/msp430": the power controller. The front end sets battery, adapter,
// F1 and the input-volume knob in the hardware state; the firmware reads
// them as the controller's status word and can switch the board off.
#include "sim/board/Board.h"
#include "sim/board/Devices.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace vrec::board {

namespace {

constexpr unsigned long kSetBatteryType = 0x40044802;
constexpr unsigned long kGetStatus = 0x80044803;
constexpr unsigned long kGetVoltage = 0x80044804;
constexpr unsigned long kGetQuickStatus = 0x80044805;
constexpr unsigned long kPowerOffStart = 0x80044806;
constexpr unsigned long kPowerOff = 0x80044807;
constexpr unsigned long kLcdResetOn = 0x80044808;
constexpr unsigned long kLcdResetOff = 0x80044809;

class Msp430Device : public BoardDevice
{
public:
    explicit Msp430Device(Board& board) : board_(board) {}

    int Ioctl(unsigned long request, void* arg) override
    {
        PowerController& power = board_.state().power;
        switch (request) {
        case kSetBatteryType:
            if (!arg)
                return Fail(EFAULT);
            power.batteryType = *static_cast<int*>(arg);
            return 0;
        case kGetStatus:
        case kGetQuickStatus:
            if (!arg)
                return Fail(EFAULT);
            *static_cast<uint32_t*>(arg) = StatusWord(power, request == kGetStatus);
            return 0;
        case kGetVoltage:
            if (!arg)
                return Fail(EFAULT);
            *static_cast<uint32_t*>(arg) = static_cast<uint32_t>(power.batteryVoltage.load() & 0xFF);
            return 0;
        case kPowerOffStart:
            power.powerOffStarted = 1;
            return 0;
        case kPowerOff:
            power.powerCut = 1;
            board_.state().firmware.pid = 0;
            // The power is gone: nothing after this runs.
            std::fflush(nullptr);
            _exit(0);
        case kLcdResetOn:
            power.lcdReset = 1;
            return 0;
        case kLcdResetOff:
            power.lcdReset = 0;
            return 0;
        default:
            return Fail(ENOTTY);
        }
    }

private:
    static uint32_t StatusWord(const PowerController& power, bool full)
    {
        uint32_t word = static_cast<uint32_t>(power.inputVolume.load() & 0x7F);
        if (power.f1Pressed)
            word |= 0x100;
        if (full) {
            if (!power.adapter)
                word |= 0x200;
            word |= static_cast<uint32_t>(power.batteryLevel.load() & 0x7) << 11;
        }
        return word;
    }

    Board& board_;
};

}  // namespace

std::shared_ptr<BoardDevice> OpenMsp430(Board& board, int flags)
{
    return std::make_shared<Msp430Device>(board);
}

}  // namespace vrec::board
