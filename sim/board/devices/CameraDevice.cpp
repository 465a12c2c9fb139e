// "/dev/video0": the camera behind the video front end, a V4L2 capture
// device with user-pointer buffers. While streaming, a thread of the board
// reads out one frame every 1/30 s of CLOCK_MONOTONIC into the next queued
// buffer; a frame time that finds no queued buffer is dropped (and counted).
#include "sim/board/Board.h"
#include "sim/board/Devices.h"
#include "sim/board/camera/CameraRegisters.h"
#include "sim/board/camera/Sensor.h"
#include "sim/board/camera/SyncMark.h"
#include "sim/board/devices/V4l2Device.h"

#include <atomic>
#include <thread>
#include <time.h>

namespace vrec::board {

namespace {

constexpr int kMaxWidth = 1280;
constexpr int kMaxHeight = 720;
constexpr int kLateFrames = 5;  // further behind than this, the read-out skips ahead

struct WhiteBalancePreset
{
    int preset;
    uint32_t blue, red;
};

// The sensor's gains for the presets (the scene is lit by daylight).
constexpr WhiteBalancePreset kPresets[] = {
    {V4L2_WHITE_BALANCE_AUTO, 0x40, 0x40},         {V4L2_WHITE_BALANCE_INCANDESCENT, 0x64, 0x2C},
    {V4L2_WHITE_BALANCE_FLUORESCENT, 0x50, 0x38},  {V4L2_WHITE_BALANCE_HORIZON, 0x5C, 0x30},
    {V4L2_WHITE_BALANCE_DAYLIGHT, 0x40, 0x40},     {V4L2_WHITE_BALANCE_CLOUDY, 0x36, 0x4A},
};

// The capture driver serves one user at a time.
std::atomic<int> g_users{0};

class CameraDevice : public V4l2Device
{
public:
    explicit CameraDevice(Board& board)
        : V4l2Device(V4L2_BUF_TYPE_VIDEO_CAPTURE, "vpfe-capture", "board camera", kMaxWidth, kMaxHeight),
          board_(board), camera_(board.state().camera), sensor_(board.state())
    {
    }

    ~CameraDevice() override { StreamOff(); }

private:
    AtomicWord& Reg(int r) { return camera_.registers[r]; }

    bool SizeAllowed(uint32_t width, uint32_t height) const override
    {
        return width >= 16 && height >= 16 && width <= kMaxWidth && height <= kMaxHeight;
    }

    void FormatChanged() override { SetFullCrop(); }

    void Queued(int index) override { queued_.push_back(index); }

    void StartStreaming() override
    {
        stop_ = false;
        camera_.width = width_;
        camera_.height = height_;
        camera_.streaming = 1;
        thread_ = std::thread([this] { Run(); });
    }

    void StopStreaming() override
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        std::lock_guard<std::mutex> guard(lock_);
        queued_.clear();
        camera_.streaming = 0;
    }

    int OtherIoctl(unsigned long request, void* arg) override
    {
        if (request == VPFE_CMD_SENSOR_INIT) {
            SensorInit();
            return 0;
        }
        if (!arg)
            return Fail(EFAULT);
        switch (request) {
        case VIDIOC_G_CROP:
        case VIDIOC_S_CROP:
            return Crop(request == VIDIOC_S_CROP, *static_cast<v4l2_crop*>(arg));
        case VIDIOC_G_CTRL:
        case VIDIOC_S_CTRL:
            return Control(request == VIDIOC_S_CTRL, *static_cast<v4l2_control*>(arg));
        case VIDIOC_DBG_G_REGISTER:
        case VIDIOC_DBG_S_REGISTER:
            return Register(request == VIDIOC_DBG_S_REGISTER, *static_cast<v4l2_dbg_register*>(arg));
        default:
            return Fail(ENOTTY);
        }
    }

    void SetFullCrop()
    {
        Reg(camreg::kRowStart) = 0;
        Reg(camreg::kColumnStart) = 0;
        Reg(camreg::kRowSize) = static_cast<uint32_t>(height_ - 1);
        Reg(camreg::kColumnSize) = static_cast<uint32_t>(width_ - 1);
    }

    void SensorInit()
    {
        for (int r = 0; r < kCameraRegisters; ++r)
            Reg(r) = camreg::ResetValue(r);
        std::lock_guard<std::mutex> guard(lock_);
        SetFullCrop();
    }

    int Crop(bool set, v4l2_crop& crop)
    {
        if (crop.type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return Fail(EINVAL);
        if (set) {
            v4l2_rect r = crop.c;
            if (r.width < 2 || r.height < 2 || r.left < 0 || r.top < 0 || r.left + static_cast<int>(r.width) > width_ ||
                r.top + static_cast<int>(r.height) > height_)
                return Fail(EINVAL);
            Reg(camreg::kColumnStart) = static_cast<uint32_t>(r.left);
            Reg(camreg::kRowStart) = static_cast<uint32_t>(r.top);
            Reg(camreg::kColumnSize) = (r.width & ~1u) - 1;
            Reg(camreg::kRowSize) = r.height - 1;
        }
        crop.c.left = static_cast<int32_t>(Reg(camreg::kColumnStart).load());
        crop.c.top = static_cast<int32_t>(Reg(camreg::kRowStart).load());
        crop.c.width = Reg(camreg::kColumnSize).load() + 1;
        crop.c.height = Reg(camreg::kRowSize).load() + 1;
        return 0;
    }

    int Control(bool set, v4l2_control& control)
    {
        switch (control.id) {
        case V4L2_CID_HFLIP:
        case V4L2_CID_VFLIP: {
            uint32_t bit = control.id == V4L2_CID_HFLIP ? camreg::kMirrorColumns : camreg::kMirrorRows;
            if (set) {
                uint32_t mode = Reg(camreg::kReadMode).load();
                Reg(camreg::kReadMode) = control.value ? (mode | bit) : (mode & ~bit);
            }
            control.value = (Reg(camreg::kReadMode).load() & bit) ? 1 : 0;
            return 0;
        }
        case V4L2_CID_TEST_PATTERN:
            if (set) {
                if (control.value < 0 || control.value > 1)
                    return Fail(ERANGE);
                Reg(camreg::kTestPattern) = static_cast<uint32_t>(control.value);
            }
            control.value = static_cast<int32_t>(Reg(camreg::kTestPattern).load() & 1);
            return 0;
        case V4L2_CID_AUTO_N_PRESET_WHITE_BALANCE:
            if (set) {
                const WhiteBalancePreset* found = nullptr;
                for (const WhiteBalancePreset& p : kPresets)
                    if (p.preset == control.value)
                        found = &p;
                if (!found)
                    return Fail(ERANGE);
                Reg(camreg::kBlueGain) = found->blue;
                Reg(camreg::kRedGain) = found->red;
            }
            control.value = V4L2_WHITE_BALANCE_MANUAL;
            for (const WhiteBalancePreset& p : kPresets)
                if (Reg(camreg::kBlueGain).load() == p.blue && Reg(camreg::kRedGain).load() == p.red) {
                    control.value = p.preset;
                    break;
                }
            return 0;
        default:
            return Fail(EINVAL);
        }
    }

    int Register(bool set, v4l2_dbg_register& reg)
    {
        if (reg.reg >= static_cast<uint64_t>(kCameraRegisters))
            return Fail(EINVAL);
        int r = static_cast<int>(reg.reg);
        if (set && r != camreg::kChipVersion)
            Reg(r) = static_cast<uint32_t>(reg.val & 0xFFFF);
        reg.size = 2;
        reg.val = Reg(r).load();
        return 0;
    }

    // The read-out thread.
    void Run()
    {
        int64_t k = FrameIndexAtOrAfter(MonotonicNs());
        uint32_t number = 0;
        while (!stop_) {
            int64_t instant = FrameInstantNs(k);
            int64_t now = MonotonicNs();
            if (now < instant) {
                struct timespec until = {static_cast<time_t>(instant / 1000000000), static_cast<long>(instant % 1000000000)};
                clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
                continue;
            }
            if (now - instant > kLateFrames * FrameInstantNs(1)) {
                // Far behind (the host stalled): the frames in between are lost.
                int64_t next = FrameIndexAtOrAfter(now);
                camera_.dropped.fetch_add(static_cast<uint32_t>(next - k));
                number += static_cast<uint32_t>(next - k);
                k = next;
                continue;
            }
            ReadOutFrame(number, instant);
            ++number;
            ++k;
        }
    }

    void ReadOutFrame(uint32_t number, int64_t instant)
    {
        int index;
        UyvyFrame frame;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (queued_.empty()) {
                camera_.dropped.fetch_add(1);
                return;
            }
            index = queued_.front();
            queued_.pop_front();
            frame = {slots_[static_cast<size_t>(index)].memory, width_, height_, stride_};
        }
        // The board's clock at the frame's instant, however late the read-out.
        int64_t lateUs = (MonotonicNs() - instant) / 1000;
        uint32_t boardMs = static_cast<uint32_t>((board_.SystemTimeUs() - lateUs) / 1000);
        sensor_.ReadOut(frame, number, instant, boardMs);
        {
            std::lock_guard<std::mutex> guard(lock_);
            Release(index, number, instant);
        }
        camera_.frames.fetch_add(1);
    }

    // Declared first, so that it is given up last, after streaming stopped.
    struct UserToken
    {
        ~UserToken() { g_users.fetch_sub(1); }
    } token_;
    Board& board_;
    Camera& camera_;
    CameraSensor sensor_;
    std::deque<int> queued_;  // buffers waiting for a frame
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace

std::shared_ptr<BoardDevice> OpenCameraDevice(Board& board, int flags)
{
    if (g_users.fetch_add(1) != 0) {
        g_users.fetch_sub(1);
        errno = EBUSY;
        return nullptr;
    }
    return std::make_shared<CameraDevice>(board);
}

}  // namespace vrec::board
