#include "media-stack/BufferObject.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

struct BufTab_Object
{
    std::vector<Buffer_Object> buffers;
    int8_t* pMemory = nullptr;
    std::mutex lock;
};

namespace {
constexpr size_t kAlignment = 64;
}

BufTab_Handle BufTab_create(int count, int32_t size, const Buffer_Attrs* pAttrs)
{
    if (count <= 0 || size <= 0)
        return nullptr;
    auto* pTab = new (std::nothrow) BufTab_Object;
    if (!pTab)
        return nullptr;
    size_t stride = (static_cast<size_t>(size) + kAlignment - 1) / kAlignment * kAlignment;
    size_t total = stride * static_cast<size_t>(count);
    pTab->pMemory = static_cast<int8_t*>(std::aligned_alloc(kAlignment, total));
    if (!pTab->pMemory) {
        delete pTab;
        return nullptr;
    }
    std::memset(pTab->pMemory, 0, total);
    pTab->buffers.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        Buffer_Object& buf = pTab->buffers[static_cast<size_t>(i)];
        BufferObject_init(&buf, size, pAttrs);
        buf.pUser = pTab->pMemory + stride * static_cast<size_t>(i);
        buf.pBufTab = pTab;
    }
    return pTab;
}

int BufTab_delete(BufTab_Handle hBufTab)
{
    if (!hBufTab)
        return Dmai_EINVAL;
    std::free(hBufTab->pMemory);
    delete hBufTab;
    return Dmai_EOK;
}

int BufTab_getNumBufs(BufTab_Handle hBufTab)
{
    return hBufTab ? static_cast<int>(hBufTab->buffers.size()) : -1;
}

Buffer_Handle BufTab_getBuf(BufTab_Handle hBufTab, int nIndex)
{
    if (!hBufTab || nIndex < 0 || nIndex >= static_cast<int>(hBufTab->buffers.size()))
        return nullptr;
    return &hBufTab->buffers[static_cast<size_t>(nIndex)];
}

Buffer_Handle BufTab_getFreeBuf(BufTab_Handle hBufTab)
{
    if (!hBufTab)
        return nullptr;
    std::lock_guard<std::mutex> guard(hBufTab->lock);
    for (Buffer_Object& buf : hBufTab->buffers) {
        if (!buf.inUse) {
            buf.inUse = true;
            return &buf;
        }
    }
    return nullptr;
}

int BufTab_freeBuf(Buffer_Handle hBuf)
{
    if (!hBuf || !hBuf->pBufTab)
        return Dmai_EINVAL;
    std::lock_guard<std::mutex> guard(hBuf->pBufTab->lock);
    hBuf->inUse = false;
    return Dmai_EOK;
}

int BufTab_freeAll(BufTab_Handle hBufTab)
{
    if (!hBufTab)
        return Dmai_EINVAL;
    std::lock_guard<std::mutex> guard(hBufTab->lock);
    for (Buffer_Object& buf : hBufTab->buffers)
        buf.inUse = false;
    return Dmai_EOK;
}

BufTab_Handle Buffer_getBufTab(Buffer_Handle hBuf)
{
    return hBuf ? hBuf->pBufTab : nullptr;
}
