#include "media-stack/BufferObject.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

const Buffer_Attrs Buffer_Attrs_DEFAULT = {Buffer_Type_BASIC, 0};
const BufferGfx_Attrs BufferGfx_Attrs_DEFAULT = {
    {Buffer_Type_GRAPHICS, 0}, ColorSpace_UYVY, {0, 0, 0, 0, 0}};

namespace {
std::atomic<int> g_logLevel{0};
constexpr size_t kAlignment = 64;
}  // namespace

void Dmai_init(void) {}
void Dmai_setLogLevel(int nLevel) { g_logLevel = nLevel; }
int Dmai_getLogLevel(void) { return g_logLevel; }

void BufferObject_init(Buffer_Object* pBuf, int32_t size, const Buffer_Attrs* pAttrs)
{
    const Buffer_Attrs& attrs = pAttrs ? *pAttrs : Buffer_Attrs_DEFAULT;
    pBuf->size = size;
    pBuf->used = 0;
    pBuf->attrs = {};
    pBuf->attrs.bAttrs = attrs;
    pBuf->attrs.colorSpace = ColorSpace_NOTSET;
    if (attrs.type == Buffer_Type_GRAPHICS) {
        pBuf->attrs = *reinterpret_cast<const BufferGfx_Attrs*>(pAttrs);
        pBuf->origDim = pBuf->attrs.dim;
    }
}

Buffer_Handle Buffer_create(int32_t size, const Buffer_Attrs* pAttrs)
{
    if (size < 0)
        return nullptr;
    auto* pBuf = new (std::nothrow) Buffer_Object;
    if (!pBuf)
        return nullptr;
    BufferObject_init(pBuf, size, pAttrs);
    if (!(pAttrs && pAttrs->reference) && size > 0) {
        size_t rounded = (static_cast<size_t>(size) + kAlignment - 1) / kAlignment * kAlignment;
        pBuf->pUser = static_cast<int8_t*>(std::aligned_alloc(kAlignment, rounded));
        if (!pBuf->pUser) {
            delete pBuf;
            return nullptr;
        }
        std::memset(pBuf->pUser, 0, rounded);
        pBuf->ownsMemory = true;
    }
    return pBuf;
}

int Buffer_delete(Buffer_Handle hBuf)
{
    if (!hBuf)
        return Dmai_EINVAL;
    if (hBuf->pBufTab)
        return Dmai_EINVAL;  // owned by its table
    if (hBuf->ownsMemory)
        std::free(hBuf->pUser);
    delete hBuf;
    return Dmai_EOK;
}

int8_t* Buffer_getUserPtr(Buffer_Handle hBuf) { return hBuf ? hBuf->pUser : nullptr; }
int32_t Buffer_getSize(Buffer_Handle hBuf) { return hBuf ? hBuf->size : -1; }
int32_t Buffer_getNumBytesUsed(Buffer_Handle hBuf) { return hBuf ? hBuf->used : -1; }
int Buffer_getType(Buffer_Handle hBuf) { return hBuf ? hBuf->attrs.bAttrs.type : -1; }

int Buffer_setNumBytesUsed(Buffer_Handle hBuf, int32_t nBytes)
{
    if (!hBuf || nBytes < 0 || nBytes > hBuf->size)
        return Dmai_EINVAL;
    hBuf->used = nBytes;
    return Dmai_EOK;
}

int Buffer_setUserPtr(Buffer_Handle hBuf, int8_t* pPtr)
{
    if (!hBuf || hBuf->ownsMemory)
        return Dmai_EINVAL;
    hBuf->pUser = pPtr;
    return Dmai_EOK;
}

int Buffer_setSize(Buffer_Handle hBuf, int32_t size)
{
    if (!hBuf || size < 0 || (hBuf->ownsMemory && size > hBuf->size))
        return Dmai_EINVAL;
    hBuf->size = size;
    if (hBuf->used > size)
        hBuf->used = size;
    return Dmai_EOK;
}

int ColorSpace_getBpp(int colorSpace)
{
    switch (colorSpace) {
    case ColorSpace_YUV420PSEMI: return 12;
    case ColorSpace_YUV422PSEMI: return 16;
    case ColorSpace_UYVY: return 16;
    case ColorSpace_RGB565: return 16;
    case ColorSpace_RGB888: return 24;
    case ColorSpace_GRAY: return 8;
    default: return -1;
    }
}

int32_t BufferGfx_calcLineLength(int32_t width, int colorSpace)
{
    int bpp = ColorSpace_getBpp(colorSpace);
    if (bpp < 0 || width < 0)
        return -1;
    // Semi-planar formats give the luma line length.
    if (colorSpace == ColorSpace_YUV420PSEMI || colorSpace == ColorSpace_YUV422PSEMI)
        return width;
    return width * bpp / 8;
}

int32_t BufferGfx_calcSize(int32_t width, int32_t height, int colorSpace)
{
    int bpp = ColorSpace_getBpp(colorSpace);
    if (bpp < 0 || width < 0 || height < 0)
        return -1;
    return static_cast<int32_t>(static_cast<int64_t>(width) * height * bpp / 8);
}

BufferGfx_Attrs* BufferGfx_getBufferAttrs(Buffer_Handle hBuf)
{
    return hBuf ? &hBuf->attrs : nullptr;
}

int BufferGfx_getDimensions(Buffer_Handle hBuf, BufferGfx_Dimensions* pDim)
{
    if (!hBuf || !pDim || hBuf->attrs.bAttrs.type != Buffer_Type_GRAPHICS)
        return Dmai_EINVAL;
    *pDim = hBuf->attrs.dim;
    return Dmai_EOK;
}

int BufferGfx_setDimensions(Buffer_Handle hBuf, const BufferGfx_Dimensions* pDim)
{
    if (!hBuf || !pDim || hBuf->attrs.bAttrs.type != Buffer_Type_GRAPHICS)
        return Dmai_EINVAL;
    int64_t end = static_cast<int64_t>(pDim->y + pDim->height) * pDim->lineLength;
    if (pDim->x < 0 || pDim->y < 0 || pDim->width < 0 || pDim->height < 0 || end > hBuf->size)
        return Dmai_EINVAL;
    hBuf->attrs.dim = *pDim;
    return Dmai_EOK;
}

int BufferGfx_resetDimensions(Buffer_Handle hBuf)
{
    if (!hBuf || hBuf->attrs.bAttrs.type != Buffer_Type_GRAPHICS)
        return Dmai_EINVAL;
    hBuf->attrs.dim = hBuf->origDim;
    return Dmai_EOK;
}

int BufferGfx_getColorSpace(Buffer_Handle hBuf)
{
    return hBuf ? hBuf->attrs.colorSpace : ColorSpace_NOTSET;
}

int BufferGfx_setColorSpace(Buffer_Handle hBuf, int colorSpace)
{
    if (!hBuf || hBuf->attrs.bAttrs.type != Buffer_Type_GRAPHICS)
        return Dmai_EINVAL;
    hBuf->attrs.colorSpace = colorSpace;
    return Dmai_EOK;
}
