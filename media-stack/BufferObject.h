// Internal layout of a buffer, shared by the buffer and buffer-table code.
#ifndef MEDIA_STACK_BUFFER_OBJECT_H
#define MEDIA_STACK_BUFFER_OBJECT_H

#include "media-stack/Dmai.h"

struct Buffer_Object
{
    int8_t* pUser = nullptr;
    int32_t size = 0;
    int32_t used = 0;
    bool ownsMemory = false;
    BufferGfx_Attrs attrs = {};        // bAttrs.type tells whether dim applies
    BufferGfx_Dimensions origDim = {}; // restored by BufferGfx_resetDimensions
    BufTab_Object* pBufTab = nullptr;
    bool inUse = false;
};

// Fills a buffer object from creation attributes (basic or picture).
void BufferObject_init(Buffer_Object* pBuf, int32_t size, const Buffer_Attrs* pAttrs);

#endif
