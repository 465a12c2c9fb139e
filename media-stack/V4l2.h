// What the capture and display share: the V4L2 requests of a streaming
// device with user-pointer buffers, through the system-call seam.
#pragma once

#include "media-stack/Dmai.h"

#include <cstdint>

namespace mediastack {

// A request, repeated when a signal interrupted it; the ioctl's result.
int Request(int fd, unsigned long request, void* arg);
// select() on the device: > 0 ready, 0 time-out, < 0 error.
int WaitReadable(int fd, int ms);

// Format (UYVY), buffer count and streaming of a device of the type.
bool SetFormat(int fd, uint32_t type, int32_t width, int32_t height, int32_t lineLength);
bool RequestBuffers(int fd, uint32_t type, int count);
bool Stream(int fd, uint32_t type, bool on);

// Queues buffer index of the table, its whole memory given to the driver.
int QueueBuffer(int fd, uint32_t type, BufTab_Handle hBufTab, int index, uint32_t bytesUsed);
// The index of the next buffer the driver gives back, waiting at most
// waitMs; Dmai_ETIMEOUT or Dmai_EFAIL.
int DequeueBuffer(int fd, uint32_t type, int waitMs, int* index);

// Index of a buffer among the first count of a table, or -1.
int IndexInTable(BufTab_Handle hBufTab, int count, Buffer_Handle hBuf);

}  // namespace mediastack
