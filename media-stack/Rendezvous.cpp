#include "media-stack/Dmai.h"

#include <condition_variable>
#include <mutex>
#include <new>

const Rendezvous_Attrs Rendezvous_Attrs_DEFAULT = {0};

struct Rendezvous_Object
{
    std::mutex lock;
    std::condition_variable released;
    int count = 0;
    int arrived = 0;
    unsigned generation = 0;  // advances each time a full meeting completes
    bool forced = false;
};

Rendezvous_Handle Rendezvous_create(int nCount, const Rendezvous_Attrs* pAttrs)
{
    if (nCount <= 0)
        return nullptr;
    auto* pRv = new (std::nothrow) Rendezvous_Object;
    if (pRv)
        pRv->count = nCount;
    return pRv;
}

int Rendezvous_delete(Rendezvous_Handle hRv)
{
    if (!hRv)
        return Dmai_EINVAL;
    delete hRv;
    return Dmai_EOK;
}

int Rendezvous_meet(Rendezvous_Handle hRv)
{
    if (!hRv)
        return Dmai_EINVAL;
    std::unique_lock<std::mutex> guard(hRv->lock);
    if (hRv->forced)
        return Dmai_EOK;
    if (++hRv->arrived >= hRv->count) {
        hRv->arrived = 0;
        ++hRv->generation;
        hRv->released.notify_all();
        return Dmai_EOK;
    }
    unsigned generation = hRv->generation;
    hRv->released.wait(guard, [hRv, generation] { return hRv->forced || hRv->generation != generation; });
    return Dmai_EOK;
}

int Rendezvous_force(Rendezvous_Handle hRv)
{
    if (!hRv)
        return Dmai_EINVAL;
    {
        std::lock_guard<std::mutex> guard(hRv->lock);
        hRv->forced = true;
        hRv->arrived = 0;
    }
    hRv->released.notify_all();
    return Dmai_EOK;
}

int Rendezvous_reset(Rendezvous_Handle hRv)
{
    if (!hRv)
        return Dmai_EINVAL;
    std::lock_guard<std::mutex> guard(hRv->lock);
    hRv->forced = false;
    hRv->arrived = 0;
    return Dmai_EOK;
}
