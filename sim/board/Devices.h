// The device nodes of the board and how each is opened.
#pragma once

#include "sim/board/Device.h"

#include <memory>
#include <string>

namespace vrec::board {

// Makes the device behind an open() of its node; null with errno set when
// it cannot be opened.
using DeviceFactory = std::shared_ptr<BoardDevice> (*)(Board& board, int flags);

// The factory of a device node, or null when the path is no board device.
DeviceFactory FindDeviceNode(const std::string& path);

std::shared_ptr<BoardDevice> OpenMsp430(Board& board, int flags);
std::shared_ptr<BoardDevice> OpenCardDevice(Board& board, int flags);
std::shared_ptr<BoardDevice> OpenCardPartition(Board& board, int flags);
std::shared_ptr<BoardDevice> OpenKeyDevice(Board& board, int flags);
std::shared_ptr<BoardDevice> OpenLedDevice(Board& board, int flags);
std::shared_ptr<BoardDevice> OpenRtcDevice(Board& board, int flags);
std::shared_ptr<BoardDevice> OpenHdmiDevice(Board& board, int flags);
std::shared_ptr<BoardDevice> OpenFrameBuffer0(Board& board, int flags);
std::shared_ptr<BoardDevice> OpenFrameBuffer2(Board& board, int flags);
std::shared_ptr<BoardDevice> OpenCameraDevice(Board& board, int flags);
std::shared_ptr<BoardDevice> OpenHdmiVideo(Board& board, int flags);
std::shared_ptr<BoardDevice> OpenLcdVideo(Board& board, int flags);

}  // namespace vrec::board
