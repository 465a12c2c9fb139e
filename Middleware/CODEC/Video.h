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

#define DECODER_INPUT_SIZE 262144

// Decoder input queues: the player fills buffers from the free queue and
// puts them to g_hDecoderIn; the decode loop gives them back.
extern Fifo_Handle g_hDecoderIn;
extern Fifo_Handle g_hDecoderFree;

extern int g_bVDecRunning;             // the decode loop runs
extern int g_bWaitDispImage;           // hold the first frame after a seek until cleared
extern int g_bNonSkip;                 // show the next decoded frame on the LCD too
extern Buffer_Handle g_hTmpDecodeDst;  // a caller's destination for one frame; cleared when ready
extern int g_nDecodeResult;            // 0, -1, -2, -3, -6, -7 or -999

void* VideoThread(void* pArg);

int VideoEncInitVal(VideoEnv* pEnv);
void VideoEncExitVal(void);
int VideoEncCreateVenc1(int nWidth, int nHeight);
void VideoEncodeLoop(VideoEnv* pEnv);
void VideEncStop(void);

int VideoDecInitVal(void);
void VideoDecExitVal(void);
int VideoDecodeLoop(void);
void VideoDecStop(void);

#endif
