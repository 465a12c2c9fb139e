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

// Decoder input: samples queued by the player, free buffers given back.
extern Fifo_Handle g_hDecoderIn;
extern Fifo_Handle g_hDecoderFree;
extern int g_bWaitDispImage;  // the first picture after a seek waits to be shown at once
extern int g_bNonSkip;        // the next picture reaches the LCD even when it would be skipped
// Ends the decode loop (it starts again with the next frame).
void VideoDecStop(void);

#endif
