// The writer thread: the MOV recording loop with its pre-record rings, and
// the WAV loop (Media/WavWriter.cpp).
#ifndef MEDIA_WRITER_H
#define MEDIA_WRITER_H

#include "media-stack/Dmai.h"

struct WriterEnv
{
    Fifo_Handle hFreeFifo;   // FIFO D: empty encoded-frame buffers back to the encoder
    Fifo_Handle hInFifo;     // FIFO C: encoded frames from the encoder
};

#define WRITER_VIDEO_BUFFERS 7
#define WRITER_VIDEO_BUFFER_SIZE 1382400
#define WRITER_SPLIT_BYTES 2000000000

// Pre-record rings: 3 s of frames (the key-frame slots 0, 30 and 60 larger)
// and 3 s of 100 ms sound buffers.
#define PREREC_V_FRAMES 90
#define PREREC_A_FRAMES 30
#define PREREC_V_KEY_SLOT_SIZE 307200
#define PREREC_V_SLOT_SIZE 102400
#define PREREC_A_SLOT_SIZE 57600

extern unsigned char* g_pPreRecV[PREREC_V_FRAMES];
extern int g_nPreRecV[PREREC_V_FRAMES];
extern unsigned char* g_pPreRecA;  // PREREC_A_FRAMES slots of PREREC_A_SLOT_SIZE
extern int g_nPreRecA[PREREC_A_FRAMES];
extern int g_nPreRecFramesV;
extern int g_nPreRecFramesA;
extern int g_nPreRecScanIndexV;
extern int g_nPreRecScanIndexA;

extern int g_bMovWriterRunning;
extern int g_bWavWriterRunning;
extern int g_bFileIncrementReq;  // the recorder screen asks for a new file

void* WriterThread(void* pArg);
void WriterMovLoop(void);
void WriterWavLoop(void);
void PreRecClear(void);
void PreRecCalcIndex(void);
void PreRecExitVal(void);

// Capacity of a video ring slot (0 when it could not be allocated).
int PreRecSlotSizeV(int nSlot);
// Pre-record as the loops use it: the setting, off for after-recording.
int PreRecIsOn(void);

// The queues both loops share: encoded frames from the encoder, sound
// buffers from the capture thread. Get returns the next queued buffer or null.
Buffer_Handle WriterGetVideo(void);
void WriterPutVideoFree(Buffer_Handle hBuf);
Buffer_Handle WriterGetAudio(void);
void WriterPutAudioFree(Buffer_Handle hBuf);
// Every queued frame and sound buffer goes back to its free queue.
void WriterFlushQueues(void);

// A frame beginning with an intra VOP.
int WriterIsKeyFrame(const unsigned char* p, int nSize);
// Frames and sound buffers refused since start (too large for their store).
int WriterGetDroppedCount(void);
void WriterCountDropped(const char* szWhat, int nSize, int nCapacity);

#endif
