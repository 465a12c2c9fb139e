// "/dev/adv7523_hdmi": the HDMI transmitter. Its registers, the sink's EDID
// over the display data channel, the EDID check (a sink answers while the
// cable is in and a display is attached), audio and video format and the
// AV mute.
#include "sim/board/Board.h"
#include "sim/board/DeviceDefaults.h"
#include "sim/board/Devices.h"

#include <cstdint>

namespace vrec::board {

namespace {

constexpr unsigned long kReadRegister = 0xC002B000;
constexpr unsigned long kWriteRegister = 0xC002B001;
constexpr unsigned long kReadEdid = 0xC002B002;
constexpr unsigned long kCheckEdid = 0xC002B003;
constexpr unsigned long kSetAudioFormat = 0xC002B004;
constexpr unsigned long kSetVideoFormat = 0xC002B005;
constexpr unsigned long kMuteOn = 0xC002B006;
constexpr unsigned long kMuteOff = 0xC002B007;

constexpr int kStatusRegister = 0x42;  // bit 6 hot-plug detect, bit 5 monitor sense
constexpr uint8_t kHotPlug = 0x40;
constexpr uint8_t kMonitorSense = 0x20;

class HdmiDevice : public BoardDevice
{
public:
    explicit HdmiDevice(Board& board) : hdmi_(board.state().hdmi) {}

    int Ioctl(unsigned long request, void* arg) override
    {
        if (request == kMuteOn || request == kMuteOff) {
            hdmi_.muted = request == kMuteOn ? 1 : 0;
            return 0;
        }
        if (!arg)
            return Fail(EFAULT);
        auto* pair = static_cast<uint8_t*>(arg);
        auto* words = static_cast<int32_t*>(arg);
        switch (request) {
        case kReadRegister:
            pair[1] = ReadRegister(pair[0]);
            return 0;
        case kWriteRegister:
            hdmi_.registers[pair[0]] = pair[1];
            return 0;
        case kReadEdid:
            // The EDID lives in the display: without one the channel does not answer.
            if (!SinkPresent())
                return Fail(EIO);
            pair[1] = hdmi_.edid[pair[0]].load();
            return 0;
        case kCheckEdid:
            words[0] = SinkPresent() && EdidUsable(hdmi_) ? 1 : 0;
            return 0;
        case kSetAudioFormat:
            hdmi_.audioBits = words[0];
            hdmi_.audioRate = words[1];
            hdmi_.audioWidth = words[2];
            return 0;
        case kSetVideoFormat:
            hdmi_.videoFormat = words[0];
            return 0;
        default:
            return Fail(ENOTTY);
        }
    }

private:
    bool SinkPresent() const { return hdmi_.cable.load() && hdmi_.sink.load(); }

    uint8_t ReadRegister(int reg) const
    {
        uint8_t value = hdmi_.registers[reg].load();
        if (reg != kStatusRegister)
            return value;
        value &= static_cast<uint8_t>(~(kHotPlug | kMonitorSense));
        if (hdmi_.cable.load())
            value |= kHotPlug;
        if (SinkPresent())
            value |= kMonitorSense;
        return value;
    }

    Hdmi& hdmi_;
};

}  // namespace

std::shared_ptr<BoardDevice> OpenHdmiDevice(Board& board, int flags)
{
    return std::make_shared<HdmiDevice>(board);
}

}  // namespace vrec::board
