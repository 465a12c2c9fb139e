// The LCD panel and the HDMI picture as a person sees them: the video plane
// with the OSD window of the output's frame buffer over it, the OSD's
// colour-key pixels letting the video through.
//
// HDMI: the OSD window is 640 x 480 picture pixels (the frame buffer's
// pixels repeated by its zoom). On a 640 x 480 picture it covers the whole
// picture; on 1280 x 720 it is scaled to the picture height (960 x 720) and
// centred, 160 pixels of video showing left and right, so the GUI keeps
// its 4:3 shape.
#include "sim/board/Compositor.h"

#include "sim/board/DeviceDefaults.h"
#include "sim/board/Pixels.h"

#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace vrec::board {

namespace {

constexpr int kLcdWidth = 240;
constexpr int kLcdHeight = 320;
constexpr int kHdmiOsdWidth = 640;
constexpr int kHdmiOsdHeight = 480;
constexpr int kHdmiDefaultWidth = 1280;
constexpr int kHdmiDefaultHeight = 720;

// Reads size bytes at offset of a file of the root; false when the file
// is missing or shorter.
bool ReadPart(const std::string& path, off_t offset, size_t size, std::vector<uint8_t>& out)
{
    out.assign(size, 0);
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < size) {
        ssize_t n = pread(fd, out.data() + done, size - done, offset + static_cast<off_t>(done));
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    return done == size;
}

// A video plane of width x height UYVY pixels; black when none is shown
// or the plane cannot be read.
class VideoPlane
{
public:
    VideoPlane(const std::string& path, int width, int height, bool shown) : width_(width)
    {
        shown_ = shown && ReadPart(path, 0, static_cast<size_t>(width) * height * 2, bytes_);
    }

    Rgb At(int x, int y) const
    {
        if (!shown_)
            return {0, 0, 0};
        return UyvyPixel(bytes_.data() + static_cast<size_t>(y) * width_ * 2, x);
    }

private:
    int width_;
    bool shown_ = false;
    std::vector<uint8_t> bytes_;
};

// The frame a frame buffer shows: its visible area at the panned offset.
class OsdFrame
{
public:
    OsdFrame(const std::string& root, const FrameBufferState& fb, const FrameBufferGeometry& geometry)
    {
        width_ = fb.xres.load();
        height_ = fb.yres.load();
        int lineLength = fb.lineLength.load();
        visible_ = fb.windowEnabled.load() && fb.blanked.load() == 0 && width_ > 0 && height_ > 0 &&
                   lineLength >= width_ * 2;
        keyed_ = fb.colorKeyEnabled.load() != 0;
        key_ = static_cast<uint16_t>(fb.colorKey.load());
        if (!visible_)
            return;
        off_t start = static_cast<off_t>(fb.yoffset.load()) * lineLength + fb.xoffset.load() * 2;
        size_t size = static_cast<size_t>(lineLength) * (height_ - 1) + width_ * 2;
        std::vector<uint8_t> bytes;
        visible_ = start >= 0 && static_cast<size_t>(start) + size <= FrameBufferMemorySize(geometry) &&
                   ReadPart(root + "/" + geometry.memoryFile, start, size, bytes);
        if (!visible_)
            return;
        pixels_.resize(static_cast<size_t>(width_) * height_);
        for (int y = 0; y < height_; ++y) {
            const uint8_t* row = bytes.data() + static_cast<size_t>(y) * lineLength;
            for (int x = 0; x < width_; ++x)
                pixels_[static_cast<size_t>(y) * width_ + x] = static_cast<uint16_t>(row[2 * x] | (row[2 * x + 1] << 8));
        }
    }

    int width() const { return width_; }
    int height() const { return height_; }

    // The OSD pixel at (x, y) over the video pixel under it.
    Rgb Over(int x, int y, Rgb video) const
    {
        if (!visible_ || x < 0 || y < 0 || x >= width_ || y >= height_)
            return video;
        uint16_t pixel = pixels_[static_cast<size_t>(y) * width_ + x];
        if (keyed_ && pixel == key_)
            return video;
        return Rgb565ToRgb(pixel);
    }

private:
    int width_ = 0;
    int height_ = 0;
    bool visible_ = false;
    bool keyed_ = false;
    uint16_t key_ = 0;
    std::vector<uint16_t> pixels_;
};

RgbImage BlackImage(int width, int height)
{
    RgbImage image;
    image.width = width;
    image.height = height;
    image.rgb.assign(static_cast<size_t>(width) * height * 3, 0);
    return image;
}

void Put(RgbImage& image, int x, int y, Rgb colour)
{
    uint8_t* p = image.rgb.data() + (static_cast<size_t>(y) * image.width + x) * 3;
    p[0] = colour.r;
    p[1] = colour.g;
    p[2] = colour.b;
}

}  // namespace

RgbImage ComposeLcd(const std::string& root, const HardwareState& state)
{
    RgbImage image = BlackImage(kLcdWidth, kLcdHeight);
    if (state.leds.backlight.load() <= 0)
        return image;
    VideoPlane video(root + "/video-lcd.plane", kLcdWidth, kLcdHeight, state.display.lcdVideoShown.load() != 0);
    OsdFrame osd(root, state.display.fb[1], kFrameBuffers[1]);
    for (int y = 0; y < kLcdHeight; ++y)
        for (int x = 0; x < kLcdWidth; ++x)
            Put(image, x, y, osd.Over(x, y, video.At(x, y)));
    return image;
}

RgbImage ComposeHdmi(const std::string& root, const HardwareState& state)
{
    if (!state.hdmi.cable.load() || !state.hdmi.sink.load())
        return {};
    int width = state.display.hdmiVideoWidth.load();
    int height = state.display.hdmiVideoHeight.load();
    bool videoShown = width > 0 && height > 0 && width <= 1920 && height <= 1080;
    if (!videoShown) {
        width = kHdmiDefaultWidth;
        height = kHdmiDefaultHeight;
    }
    RgbImage image = BlackImage(width, height);
    if (state.hdmi.muted.load())
        return image;
    VideoPlane video(root + "/video-hdmi.plane", width, height, videoShown);
    const FrameBufferState& fb = state.display.fb[0];
    OsdFrame osd(root, fb, kFrameBuffers[0]);
    int zoomX = fb.zoom.load() & 3;
    int zoomY = fb.zoomVertical.load() & 3;
    // The 640 x 480 window scaled to the picture height and centred.
    int windowWidth = kHdmiOsdWidth * height / kHdmiOsdHeight;
    int left = (width - windowWidth) / 2;
    for (int y = 0; y < height; ++y) {
        int wy = y * kHdmiOsdHeight / height;
        for (int x = 0; x < width; ++x) {
            Rgb colour = video.At(x, y);
            if (x >= left && x < left + windowWidth) {
                int wx = (x - left) * kHdmiOsdHeight / height;
                colour = osd.Over(wx >> zoomX, wy >> zoomY, colour);
            }
            Put(image, x, y, colour);
        }
    }
    return image;
}

}  // namespace vrec::board
