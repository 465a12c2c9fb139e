#include "tests/video/support/VideoSupport.h"

#include "Lib/Global.h"
#include "sim/board/camera/Scene.h"
#include "tests/media/support/MovParse.h"

#include <cstdio>
#include <sstream>

namespace vrec::test {

PictureBuffer::PictureBuffer(int width, int height)
{
    BufferGfx_Attrs attrs = BufferGfx_Attrs_DEFAULT;
    attrs.colorSpace = ColorSpace_UYVY;
    attrs.dim = {0, 0, width, height, width * 2};
    buffer_ = Buffer_create(width * height * 2, reinterpret_cast<Buffer_Attrs*>(&attrs));
}

PictureBuffer::~PictureBuffer()
{
    Buffer_delete(buffer_);
}

int PictureBuffer::width() const
{
    BufferGfx_Dimensions dim;
    BufferGfx_getDimensions(buffer_, &dim);
    return dim.width;
}

int PictureBuffer::height() const
{
    BufferGfx_Dimensions dim;
    BufferGfx_getDimensions(buffer_, &dim);
    return dim.height;
}

void DrawScene(Buffer_Handle picture, uint32_t number)
{
    BufferGfx_Dimensions dim;
    BufferGfx_getDimensions(picture, &dim);
    board::UyvyFrame frame = {reinterpret_cast<uint8_t*>(Buffer_getUserPtr(picture)) + dim.y * dim.lineLength + dim.x * 2,
                              dim.width, dim.height, dim.lineLength};
    board::DrawTestScene(frame, board::SensorView(), number / 30.0, number);
    board::FrameStamp stamp;
    stamp.frame = number;
    stamp.timeMs = number * 33;
    board::DrawFrameStamp(frame.data, frame.width, frame.height, frame.stride, stamp);
    Buffer_setNumBytesUsed(picture, dim.width * dim.height * 2);
}

std::optional<board::FrameStamp> StampOf(Buffer_Handle picture)
{
    BufferGfx_Dimensions dim;
    if (BufferGfx_getDimensions(picture, &dim) != Dmai_EOK)
        return std::nullopt;
    const uint8_t* start = reinterpret_cast<const uint8_t*>(Buffer_getUserPtr(picture)) + dim.y * dim.lineLength + dim.x * 2;
    board::FrameStamp stamp;
    if (!board::ReadFrameStamp(start + 1, dim.width, dim.height, dim.lineLength, 2, &stamp))
        return std::nullopt;
    return stamp;
}

std::vector<DecodedFrame> DecodeFrames(const std::string& path, int width, int height)
{
    std::vector<DecodedFrame> frames;
    std::string command = "ffmpeg -nostdin -v error -i '" + path + "' -map 0:v:0 -f rawvideo -pix_fmt gray -";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return frames;
    std::vector<uint8_t> luma(static_cast<size_t>(width) * height);
    while (std::fread(luma.data(), 1, luma.size(), pipe) == luma.size()) {
        DecodedFrame f;
        board::FrameStamp stamp;
        if (board::ReadFrameStamp(luma.data(), width, height, width, 1, &stamp))
            f.stamp = stamp;
        double sum = 0;
        for (uint8_t v : luma)
            sum += v;
        f.meanLuma = sum / static_cast<double>(luma.size());
        frames.push_back(f);
    }
    pclose(pipe);
    return frames;
}

std::string PictureTypes(const std::string& path)
{
    std::string out;
    RunCommand("ffprobe -v error -select_streams v:0 -show_entries frame=pict_type -of csv=p=0 '" + path + "'", &out);
    std::string types;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty())
            types += line[0];
    return types;
}

void OpenEngine()
{
    if (!g_hEngine)
        g_hEngine = Engine_open("encodedecode", nullptr, nullptr);
}

}  // namespace vrec::test
