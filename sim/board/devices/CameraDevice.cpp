// "/dev/video0": the camera behind the video front end, a V4L2 capture
// device with user-pointer buffers. While streaming, a thread of the board
// reads out one frame every 1/30 s of CLOCK_MONOTONIC into the next queued
// buffer; a frame time that finds no queued buffer is dropped (and counted).
#include "media-stack/VideoDriver.h"
#include "sim/board/Board.h"
#include "sim/board/Devices.h"
#include "sim/board/camera/CameraRegisters.h"
#include "sim/board/camera/Sensor.h"
#include "sim/board/camera/SyncMark.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <time.h>
#include <vector>

namespace vrec::board {

namespace {

constexpr int kMaxWidth = 1280;
constexpr int kMaxHeight = 720;
constexpr int kMaxBuffers = 16;
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

class CameraDevice : public BoardDevice
{
public:
    explicit CameraDevice(Board& board) : board_(board), camera_(board.state().camera), sensor_(board.state()) {}

    ~CameraDevice() override { StreamOff(); }

    int Ioctl(unsigned long request, void* arg) override
    {
        if (request == VPFE_CMD_SENSOR_INIT) {
            SensorInit();
            return 0;
        }
        if (!arg)
            return Fail(EFAULT);
        switch (request) {
        case VIDIOC_QUERYCAP: {
            auto* cap = static_cast<v4l2_capability*>(arg);
            std::memset(cap, 0, sizeof(*cap));
            std::snprintf(reinterpret_cast<char*>(cap->driver), sizeof(cap->driver), "vpfe-capture");
            std::snprintf(reinterpret_cast<char*>(cap->card), sizeof(cap->card), "board camera");
            cap->capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_DEVICE_CAPS;
            cap->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
            return 0;
        }
        case VIDIOC_G_FMT:
        case VIDIOC_S_FMT:
            return Format(request == VIDIOC_S_FMT, *static_cast<v4l2_format*>(arg));
        case VIDIOC_REQBUFS:
            return RequestBuffers(*static_cast<v4l2_requestbuffers*>(arg));
        case VIDIOC_QBUF:
            return Queue(*static_cast<v4l2_buffer*>(arg));
        case VIDIOC_DQBUF:
            return Dequeue(*static_cast<v4l2_buffer*>(arg));
        case VIDIOC_STREAMON:
            return StreamOn(*static_cast<int*>(arg));
        case VIDIOC_STREAMOFF:
            if (*static_cast<int*>(arg) != V4L2_BUF_TYPE_VIDEO_CAPTURE)
                return Fail(EINVAL);
            StreamOff();
            return 0;
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

    bool Readable() override
    {
        std::lock_guard<std::mutex> guard(lock_);
        return !done_.empty();
    }

private:
    struct Slot
    {
        uint8_t* memory = nullptr;
        size_t length = 0;
        bool queued = false;
        bool done = false;
        uint32_t sequence = 0;
        int64_t instantNs = 0;
    };

    AtomicWord& Reg(int r) { return camera_.registers[r]; }

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
        SetFullCrop();
    }

    int Format(bool set, v4l2_format& fmt)
    {
        if (fmt.type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return Fail(EINVAL);
        std::lock_guard<std::mutex> guard(lock_);
        if (set) {
            v4l2_pix_format& pix = fmt.fmt.pix;
            if (streaming_)
                return Fail(EBUSY);
            if (pix.pixelformat != V4L2_PIX_FMT_UYVY || pix.width < 16 || pix.height < 16 || pix.width > kMaxWidth ||
                pix.height > kMaxHeight || (pix.width & 1))
                return Fail(EINVAL);
            width_ = static_cast<int>(pix.width);
            height_ = static_cast<int>(pix.height);
            stride_ = std::max<int>(static_cast<int>(pix.bytesperline), width_ * 2);
            SetFullCrop();
        }
        v4l2_pix_format& pix = fmt.fmt.pix;
        std::memset(&pix, 0, sizeof(pix));
        pix.width = static_cast<uint32_t>(width_);
        pix.height = static_cast<uint32_t>(height_);
        pix.pixelformat = V4L2_PIX_FMT_UYVY;
        pix.field = V4L2_FIELD_NONE;
        pix.bytesperline = static_cast<uint32_t>(stride_);
        pix.sizeimage = static_cast<uint32_t>(stride_ * height_);
        pix.colorspace = V4L2_COLORSPACE_SMPTE170M;
        return 0;
    }

    int RequestBuffers(v4l2_requestbuffers& req)
    {
        if (req.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || req.memory != V4L2_MEMORY_USERPTR)
            return Fail(EINVAL);
        std::lock_guard<std::mutex> guard(lock_);
        if (streaming_)
            return Fail(EBUSY);
        req.count = std::min<uint32_t>(req.count, kMaxBuffers);
        slots_.assign(req.count, Slot());
        queued_.clear();
        done_.clear();
        return 0;
    }

    int Queue(v4l2_buffer& buf)
    {
        if (buf.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || buf.memory != V4L2_MEMORY_USERPTR)
            return Fail(EINVAL);
        std::lock_guard<std::mutex> guard(lock_);
        if (buf.index >= slots_.size() || buf.m.userptr == 0 || buf.length < static_cast<uint32_t>(stride_ * height_))
            return Fail(EINVAL);
        Slot& slot = slots_[buf.index];
        if (slot.queued || slot.done)
            return Fail(EINVAL);
        slot.memory = reinterpret_cast<uint8_t*>(buf.m.userptr);
        slot.length = buf.length;
        slot.queued = true;
        queued_.push_back(static_cast<int>(buf.index));
        return 0;
    }

    int Dequeue(v4l2_buffer& buf)
    {
        if (buf.type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return Fail(EINVAL);
        std::unique_lock<std::mutex> guard(lock_);
        if (done_.empty()) {
            if (StatusFlags() & O_NONBLOCK)
                return Fail(EAGAIN);
            arrived_.wait(guard, [this] { return !done_.empty() || !streaming_; });
            if (done_.empty())
                return Fail(EINVAL);
        }
        int index = done_.front();
        done_.pop_front();
        Slot& slot = slots_[static_cast<size_t>(index)];
        slot.done = false;
        buf.index = static_cast<uint32_t>(index);
        buf.memory = V4L2_MEMORY_USERPTR;
        buf.m.userptr = reinterpret_cast<unsigned long>(slot.memory);
        buf.length = static_cast<uint32_t>(slot.length);
        buf.bytesused = static_cast<uint32_t>(stride_ * height_);
        buf.sequence = slot.sequence;
        buf.field = V4L2_FIELD_NONE;
        buf.flags = V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC | V4L2_BUF_FLAG_DONE;
        buf.timestamp.tv_sec = static_cast<time_t>(slot.instantNs / 1000000000);
        buf.timestamp.tv_usec = static_cast<suseconds_t>(slot.instantNs % 1000000000 / 1000);
        return 0;
    }

    int StreamOn(int type)
    {
        if (type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return Fail(EINVAL);
        std::lock_guard<std::mutex> guard(lock_);
        if (streaming_)
            return 0;
        if (slots_.empty())
            return Fail(EINVAL);
        streaming_ = true;
        stop_ = false;
        camera_.width = width_;
        camera_.height = height_;
        camera_.streaming = 1;
        thread_ = std::thread([this] { Run(); });
        return 0;
    }

    void StreamOff()
    {
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (!streaming_)
                return;
            stop_ = true;
        }
        thread_.join();
        std::lock_guard<std::mutex> guard(lock_);
        streaming_ = false;
        camera_.streaming = 0;
        queued_.clear();
        done_.clear();
        for (Slot& slot : slots_)
            slot.queued = slot.done = false;
        arrived_.notify_all();
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

    void SetMode(uint32_t bit, bool on)
    {
        uint32_t mode = Reg(camreg::kReadMode).load();
        Reg(camreg::kReadMode) = on ? (mode | bit) : (mode & ~bit);
    }

    int Control(bool set, v4l2_control& control)
    {
        switch (control.id) {
        case V4L2_CID_HFLIP:
        case V4L2_CID_VFLIP: {
            uint32_t bit = control.id == V4L2_CID_HFLIP ? camreg::kMirrorColumns : camreg::kMirrorRows;
            if (set)
                SetMode(bit, control.value != 0);
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
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (queued_.empty()) {
                camera_.dropped.fetch_add(1);
                return;
            }
            index = queued_.front();
            queued_.pop_front();
        }
        Slot& slot = slots_[static_cast<size_t>(index)];
        UyvyFrame frame = {slot.memory, width_, height_, stride_};
        uint32_t boardMs = static_cast<uint32_t>(board_.SystemTimeUs() / 1000);
        sensor_.ReadOut(frame, number, instant, boardMs);
        {
            std::lock_guard<std::mutex> guard(lock_);
            slot.queued = false;
            slot.done = true;
            slot.sequence = number;
            slot.instantNs = instant;
            done_.push_back(index);
        }
        camera_.frames.fetch_add(1);
        arrived_.notify_all();
    }

    // Declared first, so that it is given up last, after streaming stopped.
    struct UserToken
    {
        ~UserToken() { g_users.fetch_sub(1); }
    } token_;
    Board& board_;
    Camera& camera_;
    CameraSensor sensor_;
    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<Slot> slots_;
    std::deque<int> queued_;
    std::deque<int> done_;
    int width_ = kMaxWidth;
    int height_ = kMaxHeight;
    int stride_ = kMaxWidth * 2;
    bool streaming_ = false;
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
