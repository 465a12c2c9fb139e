#include "sim/board/Devices.h"

#include <cstring>

namespace vrec::board {

namespace {

struct DeviceNode
{
    const char* path;
    DeviceFactory open;
};

const DeviceNode kDeviceNodes[] = {
    {"/dev/msp430", OpenMsp430},
    {"/dev/mmcblk0", OpenCardDevice},
    {"/dev/mmcblk0p1", OpenCardPartition},
    {"/dev/vreckey", OpenKeyDevice},
    {"/dev/vrecled", OpenLedDevice},
    {"/dev/rtc", OpenRtcDevice},
    {"/dev/adv7523_hdmi", OpenHdmiDevice},
    {"/dev/fb0", OpenFrameBuffer0},
    {"/dev/fb2", OpenFrameBuffer2},
    {"/dev/video0", OpenCameraDevice},
    {"/dev/video1", OpenHdmiVideo},
    {"/dev/video2", OpenLcdVideo},
};

}  // namespace

DeviceFactory FindDeviceNode(const std::string& path)
{
    for (const DeviceNode& node : kDeviceNodes)
        if (path == node.path)
            return node.open;
    return nullptr;
}

}  // namespace vrec::board
