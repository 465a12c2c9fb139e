// The writer thread: MOV recording loop, pre-record, and the WAV loop.
#ifndef MEDIA_WRITER_H
#define MEDIA_WRITER_H

#include "media-stack/Dmai.h"

struct WriterEnv
{
    Fifo_Handle hFreeFifo;   // FIFO D: empty encoded-frame buffers back to the encoder
    Fifo_Handle hInFifo;     // FIFO C: encoded frames from the encoder
};

extern int g_bMovWriterRunning;
extern int g_bWavWriterRunning;

void* WriterThread(void* pArg);
void PreRecExitVal(void);

#endif
