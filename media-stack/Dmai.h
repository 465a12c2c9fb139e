// Media framework: buffers, picture buffers, buffer tables, FIFOs and
// meeting points, plus the framework and codec-engine start-up.
//
// Handles are opaque; creation returns null on failure; other calls return
// Dmai_EOK (0) on success and a negative code on failure.
#ifndef MEDIA_STACK_DMAI_H
#define MEDIA_STACK_DMAI_H

#include <stdint.h>

enum
{
    Dmai_EOK = 0,
    Dmai_EFLUSH = 1,     // the FIFO was flushed
    Dmai_EEOF = 2,
    Dmai_EBITERROR = 4,  // decoder: bit error in the stream
    Dmai_ETIMEOUT = 5,   // Fifo_getPoll: nothing arrived in time
    Dmai_EFAIL = -1,
    Dmai_ENOMEM = -2,
    Dmai_EINVAL = -3,
};

void Dmai_init(void);
void Dmai_setLogLevel(int nLevel);
int Dmai_getLogLevel(void);

// ---- Buffers ------------------------------------------------------------

typedef struct Buffer_Object* Buffer_Handle;
typedef struct Buffer_Object _Buffer_Object;

enum Buffer_Type
{
    Buffer_Type_BASIC = 0,
    Buffer_Type_GRAPHICS = 1,
};

struct Buffer_Attrs
{
    int type;        // Buffer_Type
    int reference;   // 1: no memory of its own, the user pointer is set later
};

extern const Buffer_Attrs Buffer_Attrs_DEFAULT;

Buffer_Handle Buffer_create(int32_t size, const Buffer_Attrs* pAttrs);
int Buffer_delete(Buffer_Handle hBuf);
int8_t* Buffer_getUserPtr(Buffer_Handle hBuf);
int32_t Buffer_getSize(Buffer_Handle hBuf);
int32_t Buffer_getNumBytesUsed(Buffer_Handle hBuf);
int Buffer_setNumBytesUsed(Buffer_Handle hBuf, int32_t nBytes);
int Buffer_setUserPtr(Buffer_Handle hBuf, int8_t* pPtr);
int Buffer_setSize(Buffer_Handle hBuf, int32_t size);
int Buffer_getType(Buffer_Handle hBuf);

// ---- Picture buffers ----------------------------------------------------

enum ColorSpace_Type
{
    ColorSpace_NOTSET = -1,
    ColorSpace_YUV420PSEMI = 0,
    ColorSpace_YUV422PSEMI = 1,
    ColorSpace_UYVY = 2,        // 4:2:2 interleaved, 2 bytes a pixel
    ColorSpace_RGB565 = 3,
    ColorSpace_RGB888 = 4,
    ColorSpace_GRAY = 5,
};

struct BufferGfx_Dimensions
{
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
    int32_t lineLength;  // bytes
};

struct BufferGfx_Attrs
{
    Buffer_Attrs bAttrs;  // type is Buffer_Type_GRAPHICS
    int colorSpace;       // ColorSpace_Type
    BufferGfx_Dimensions dim;
};

extern const BufferGfx_Attrs BufferGfx_Attrs_DEFAULT;

int ColorSpace_getBpp(int colorSpace);  // bits per pixel, -1 if unknown
int32_t BufferGfx_calcLineLength(int32_t width, int colorSpace);
// Size in bytes of a picture of this size, or -1.
int32_t BufferGfx_calcSize(int32_t width, int32_t height, int colorSpace);
BufferGfx_Attrs* BufferGfx_getBufferAttrs(Buffer_Handle hBuf);
int BufferGfx_getDimensions(Buffer_Handle hBuf, BufferGfx_Dimensions* pDim);
int BufferGfx_setDimensions(Buffer_Handle hBuf, const BufferGfx_Dimensions* pDim);
int BufferGfx_resetDimensions(Buffer_Handle hBuf);
int BufferGfx_getColorSpace(Buffer_Handle hBuf);
int BufferGfx_setColorSpace(Buffer_Handle hBuf, int colorSpace);

// ---- Buffer tables ------------------------------------------------------

typedef struct BufTab_Object* BufTab_Handle;

// count equal buffers carved from one contiguous allocation. pAttrs points
// at a Buffer_Attrs or, for picture buffers, at a BufferGfx_Attrs.
BufTab_Handle BufTab_create(int count, int32_t size, const Buffer_Attrs* pAttrs);
int BufTab_delete(BufTab_Handle hBufTab);
int BufTab_getNumBufs(BufTab_Handle hBufTab);
Buffer_Handle BufTab_getBuf(BufTab_Handle hBufTab, int nIndex);
// Buffers are marked in use by BufTab_getFreeBuf and free again by
// BufTab_freeBuf or BufTab_freeAll.
Buffer_Handle BufTab_getFreeBuf(BufTab_Handle hBufTab);
int BufTab_freeBuf(Buffer_Handle hBuf);
int BufTab_freeAll(BufTab_Handle hBufTab);
BufTab_Handle Buffer_getBufTab(Buffer_Handle hBuf);

// ---- FIFOs --------------------------------------------------------------

typedef struct Fifo_Object* Fifo_Handle;

struct Fifo_Attrs
{
    int reserved;
};

extern const Fifo_Attrs Fifo_Attrs_DEFAULT;

Fifo_Handle Fifo_create(const Fifo_Attrs* pAttrs);
int Fifo_delete(Fifo_Handle hFifo);
// Waits for the next buffer: Dmai_EOK with the buffer, or Dmai_EFLUSH when
// it meets a flush put in by Fifo_flush.
int Fifo_get(Fifo_Handle hFifo, Buffer_Handle* phBuf);
// As Fifo_get, waiting at most nMS milliseconds (Dmai_ETIMEOUT).
int Fifo_getPoll(Fifo_Handle hFifo, Buffer_Handle* phBuf, int nMS);
int Fifo_put(Fifo_Handle hFifo, Buffer_Handle hBuf);
// Queues a flush mark behind the buffers already queued and wakes a reader.
int Fifo_flush(Fifo_Handle hFifo);
int Fifo_getNumEntries(Fifo_Handle hFifo);  // buffers queued (marks not counted)

// ---- Meeting points -----------------------------------------------------

typedef struct Rendezvous_Object* Rendezvous_Handle;

struct Rendezvous_Attrs
{
    int reserved;
};

extern const Rendezvous_Attrs Rendezvous_Attrs_DEFAULT;

Rendezvous_Handle Rendezvous_create(int nCount, const Rendezvous_Attrs* pAttrs);
int Rendezvous_delete(Rendezvous_Handle hRv);
// Returns when nCount parties have met, or at once after Rendezvous_force.
int Rendezvous_meet(Rendezvous_Handle hRv);
// Releases every waiting party; later meetings return at once until reset.
int Rendezvous_force(Rendezvous_Handle hRv);
int Rendezvous_reset(Rendezvous_Handle hRv);

// ---- Codec engine -------------------------------------------------------

typedef struct Engine_Object* Engine_Handle;

struct Engine_Attrs
{
    int reserved;
};

enum
{
    Engine_EOK = 0,
    Engine_EEXIST = 1,  // no engine of that name
    Engine_ENOMEM = 2,
};

void CERuntime_init(void);
Engine_Handle Engine_open(const char* szName, const Engine_Attrs* pAttrs, int* pError);
void Engine_close(Engine_Handle hEngine);
const char* Engine_getName(Engine_Handle hEngine);

// The video devices and the codecs.
#include "media-stack/Capture.h"
#include "media-stack/Display.h"
#include "media-stack/Scaling.h"
#include "media-stack/codec/Codecs.h"

#endif
