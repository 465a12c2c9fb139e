#include "media-stack/Dmai.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>

const Fifo_Attrs Fifo_Attrs_DEFAULT = {0};

// A null entry in the queue is a flush mark.
struct Fifo_Object
{
    std::mutex lock;
    std::condition_variable arrived;
    std::deque<Buffer_Handle> entries;
    int numBuffers = 0;
};

namespace {

int TakeFront(Fifo_Object& fifo, Buffer_Handle* phBuf)
{
    Buffer_Handle hBuf = fifo.entries.front();
    fifo.entries.pop_front();
    if (!hBuf)
        return Dmai_EFLUSH;
    --fifo.numBuffers;
    *phBuf = hBuf;
    return Dmai_EOK;
}

}  // namespace

Fifo_Handle Fifo_create(const Fifo_Attrs* pAttrs)
{
    return new (std::nothrow) Fifo_Object;
}

int Fifo_delete(Fifo_Handle hFifo)
{
    if (!hFifo)
        return Dmai_EINVAL;
    delete hFifo;
    return Dmai_EOK;
}

int Fifo_get(Fifo_Handle hFifo, Buffer_Handle* phBuf)
{
    if (!hFifo || !phBuf)
        return Dmai_EINVAL;
    std::unique_lock<std::mutex> guard(hFifo->lock);
    hFifo->arrived.wait(guard, [hFifo] { return !hFifo->entries.empty(); });
    return TakeFront(*hFifo, phBuf);
}

int Fifo_getPoll(Fifo_Handle hFifo, Buffer_Handle* phBuf, int nMS)
{
    if (!hFifo || !phBuf)
        return Dmai_EINVAL;
    std::unique_lock<std::mutex> guard(hFifo->lock);
    if (!hFifo->arrived.wait_for(guard, std::chrono::milliseconds(nMS < 0 ? 0 : nMS),
                                 [hFifo] { return !hFifo->entries.empty(); }))
        return Dmai_ETIMEOUT;
    return TakeFront(*hFifo, phBuf);
}

int Fifo_put(Fifo_Handle hFifo, Buffer_Handle hBuf)
{
    if (!hFifo || !hBuf)
        return Dmai_EINVAL;
    {
        std::lock_guard<std::mutex> guard(hFifo->lock);
        hFifo->entries.push_back(hBuf);
        ++hFifo->numBuffers;
    }
    hFifo->arrived.notify_one();
    return Dmai_EOK;
}

int Fifo_flush(Fifo_Handle hFifo)
{
    if (!hFifo)
        return Dmai_EINVAL;
    {
        std::lock_guard<std::mutex> guard(hFifo->lock);
        hFifo->entries.push_back(nullptr);
    }
    hFifo->arrived.notify_one();
    return Dmai_EOK;
}

int Fifo_getNumEntries(Fifo_Handle hFifo)
{
    if (!hFifo)
        return Dmai_EINVAL;
    std::lock_guard<std::mutex> guard(hFifo->lock);
    return hFifo->numBuffers;
}
