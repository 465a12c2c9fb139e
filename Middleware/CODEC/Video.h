// The video thread: MPEG-4 encode and decode loops.
#ifndef MIDDLEWARE_CODEC_VIDEO_H
#define MIDDLEWARE_CODEC_VIDEO_H

#include "media-stack/Dmai.h"

struct VideoEnv
{
    Fifo_Handle hEncodedOut;   // FIFO C: encoded frames to the writer
    Fifo_Handle hEncodedFree;  // FIFO D: encoded-frame buffers given back
    Fifo_Handle hCaptureFree;  // FIFO A: capture buffers given back
    Fifo_Handle hCaptureIn;    // FIFO B: captured frames
};

void* VideoThread(void* pArg);

#endif
