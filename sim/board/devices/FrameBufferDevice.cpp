// "/dev/fb0" (HDMI OSD) and "/dev/fb2" (LCD OSD): DaVinci OSD windows. The
// memory lives in "<root>/fb0.mem" and "<root>/fb2.mem" so that the front
// end sees what the firmware draws; the screen information, the shown
// bank, zoom, colour key and window state are kept in the hardware state.
#include "sim/board/Board.h"
#include "sim/board/DeviceDefaults.h"
#include "sim/board/Devices.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/fb.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vrec::board {

namespace {

constexpr unsigned long kSetZoom = 0x400C4624;
constexpr unsigned long kSetBlendFactor = 0x400C4631;
constexpr unsigned long kEnableWindow = 0x40014630;
constexpr int kMaxZoom = 2;         // x1, x2, x4
constexpr int kMaxBlendFactor = 7;

class FrameBufferDevice : public BoardDevice
{
public:
    FrameBufferDevice(Board& board, int index, int memoryFd)
        : fb_(board.state().display.fb[index]), geometry_(kFrameBuffers[index]), memoryFd_(memoryFd)
    {
        fb_.open.fetch_add(1);
    }

    ~FrameBufferDevice() override
    {
        close(memoryFd_);
        int open = fb_.open.load();
        while (open > 0 && !fb_.open.compare_exchange_weak(open, open - 1)) {
        }
    }

    int Ioctl(unsigned long request, void* arg) override
    {
        unsigned long value = reinterpret_cast<unsigned long>(arg);
        switch (request) {
        case FBIOBLANK:
            if (value > FB_BLANK_POWERDOWN)
                return Fail(EINVAL);
            fb_.blanked = static_cast<int32_t>(value);
            return 0;
        case kEnableWindow:
            fb_.windowEnabled = value != 0 ? 1 : 0;
            return 0;
        default:
            break;
        }
        if (!arg)
            return Fail(EFAULT);
        auto* words = static_cast<uint32_t*>(arg);
        switch (request) {
        case FBIOGET_VSCREENINFO:
            GetVariable(*static_cast<fb_var_screeninfo*>(arg));
            return 0;
        case FBIOPUT_VSCREENINFO:
            return PutVariable(*static_cast<fb_var_screeninfo*>(arg));
        case FBIOGET_FSCREENINFO:
            GetFixed(*static_cast<fb_fix_screeninfo*>(arg));
            return 0;
        case FBIOPAN_DISPLAY:
            return Pan(*static_cast<const fb_var_screeninfo*>(arg));
        case kSetZoom:
            // {window id, horizontal zoom, vertical zoom}
            if (words[0] > 1 || words[1] > kMaxZoom || words[2] > kMaxZoom)
                return Fail(EINVAL);
            fb_.zoom = static_cast<int32_t>(words[1]);
            fb_.zoomVertical = static_cast<int32_t>(words[2]);
            return 0;
        case kSetBlendFactor:
            // {colour key, keying enabled, blend factor}
            if (words[0] > 0xFFFF || words[2] > kMaxBlendFactor)
                return Fail(EINVAL);
            fb_.colorKey = static_cast<int32_t>(words[0]);
            fb_.colorKeyEnabled = words[1] != 0 ? 1 : 0;
            fb_.blendFactor = static_cast<int32_t>(words[2]);
            return 0;
        default:
            return Fail(ENOTTY);
        }
    }

    void* Map(size_t length, int prot, int flags, off_t offset) override
    {
        if (offset < 0 || length == 0 || static_cast<size_t>(offset) + length > FrameBufferMemorySize(geometry_)) {
            errno = EINVAL;
            return MAP_FAILED;
        }
        return mmap(nullptr, length, prot, flags, memoryFd_, offset);
    }

private:
    void GetVariable(fb_var_screeninfo& var) const
    {
        std::memset(&var, 0, sizeof(var));
        var.xres = static_cast<uint32_t>(fb_.xres.load());
        var.yres = static_cast<uint32_t>(fb_.yres.load());
        var.xres_virtual = static_cast<uint32_t>(fb_.xresVirtual.load());
        var.yres_virtual = static_cast<uint32_t>(fb_.yresVirtual.load());
        var.xoffset = static_cast<uint32_t>(fb_.xoffset.load());
        var.yoffset = static_cast<uint32_t>(fb_.yoffset.load());
        var.bits_per_pixel = static_cast<uint32_t>(fb_.bitsPerPixel.load());
        var.red = {11, 5, 0};
        var.green = {5, 6, 0};
        var.blue = {0, 5, 0};
        var.height = static_cast<uint32_t>(-1);
        var.width = static_cast<uint32_t>(-1);
        var.vmode = FB_VMODE_NONINTERLACED;
    }

    int PutVariable(fb_var_screeninfo& var)
    {
        // The OSD window takes RGB565 only, within its memory.
        if (var.bits_per_pixel != 16 || var.grayscale != 0 || var.nonstd != 0)
            return Fail(EINVAL);
        if (var.xres == 0 || var.yres == 0 || var.xres > static_cast<uint32_t>(geometry_.maxWidth) ||
            var.yres > static_cast<uint32_t>(geometry_.maxHeight))
            return Fail(EINVAL);
        if (var.xres_virtual < var.xres || var.yres_virtual < var.yres ||
            var.xres_virtual > static_cast<uint32_t>(geometry_.maxWidth) ||
            static_cast<size_t>(var.xres_virtual) * var.yres_virtual * 2 > FrameBufferMemorySize(geometry_))
            return Fail(EINVAL);
        if (var.xoffset + var.xres > var.xres_virtual || var.yoffset + var.yres > var.yres_virtual)
            return Fail(EINVAL);
        fb_.xres = static_cast<int32_t>(var.xres);
        fb_.yres = static_cast<int32_t>(var.yres);
        fb_.xresVirtual = static_cast<int32_t>(var.xres_virtual);
        fb_.yresVirtual = static_cast<int32_t>(var.yres_virtual);
        fb_.bitsPerPixel = 16;
        fb_.lineLength = static_cast<int32_t>(var.xres_virtual * 2);
        SetOffsets(var.xoffset, var.yoffset);
        GetVariable(var);
        return 0;
    }

    int Pan(const fb_var_screeninfo& var)
    {
        uint32_t xres = static_cast<uint32_t>(fb_.xres.load());
        uint32_t yres = static_cast<uint32_t>(fb_.yres.load());
        if (var.xoffset + xres > static_cast<uint32_t>(fb_.xresVirtual.load()) ||
            var.yoffset + yres > static_cast<uint32_t>(fb_.yresVirtual.load()))
            return Fail(EINVAL);
        SetOffsets(var.xoffset, var.yoffset);
        fb_.flips.fetch_add(1);
        return 0;
    }

    void SetOffsets(uint32_t xoffset, uint32_t yoffset)
    {
        fb_.xoffset = static_cast<int32_t>(xoffset);
        fb_.yoffset = static_cast<int32_t>(yoffset);
        int32_t yres = fb_.yres.load();
        fb_.shownBank = yres > 0 ? static_cast<int32_t>(yoffset) / yres : 0;
    }

    void GetFixed(fb_fix_screeninfo& fix) const
    {
        std::memset(&fix, 0, sizeof(fix));
        std::snprintf(fix.id, sizeof(fix.id), "%s", geometry_.id);
        fix.smem_len = static_cast<uint32_t>(FrameBufferMemorySize(geometry_));
        fix.type = FB_TYPE_PACKED_PIXELS;
        fix.visual = FB_VISUAL_TRUECOLOR;
        fix.ypanstep = 1;
        fix.line_length = static_cast<uint32_t>(fb_.lineLength.load());
    }

    FrameBufferState& fb_;
    const FrameBufferGeometry& geometry_;
    int memoryFd_;
};

std::shared_ptr<BoardDevice> OpenFrameBuffer(Board& board, int flags, int index)
{
    if ((flags & O_ACCMODE) != O_RDWR) {
        errno = EACCES;
        return nullptr;
    }
    const FrameBufferGeometry& geometry = kFrameBuffers[index];
    std::string path = board.paths().root() + "/" + geometry.memoryFile;
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return nullptr;
    struct stat st;
    off_t size = static_cast<off_t>(FrameBufferMemorySize(geometry));
    if (fstat(fd, &st) != 0 || (st.st_size != size && ftruncate(fd, size) != 0)) {
        int error = errno;
        close(fd);
        errno = error;
        return nullptr;
    }
    return std::make_shared<FrameBufferDevice>(board, index, fd);
}

}  // namespace

std::shared_ptr<BoardDevice> OpenFrameBuffer0(Board& board, int flags)
{
    return OpenFrameBuffer(board, flags, 0);
}

std::shared_ptr<BoardDevice> OpenFrameBuffer2(Board& board, int flags)
{
    return OpenFrameBuffer(board, flags, 1);
}

}  // namespace vrec::board
