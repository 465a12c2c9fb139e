// The previewer, resizer, rotation and frame copy of the imaging
// coprocessor, done in software on 4:2:2 pictures.
#include "media-stack/Scaling.h"

#include "media-stack/Picture.h"

#include <new>

const Previewer_Attrs Previewer_Attrs_DEFAULT = {1};
const Resize_Attrs Resize_Attrs_DEFAULT = {0};
const Rotation_Attrs Rotation_Attrs_DEFAULT = {0};
const Framecopy_Attrs Framecopy_Attrs_DEFAULT = {0};

namespace {

bool SamePicture(Buffer_Handle hSrc, Buffer_Handle hDst)
{
    return mediastack::PictureOf(hSrc).valid() && mediastack::PictureOf(hDst).valid();
}

template <typename Object>
int Delete(Object* h)
{
    if (!h)
        return Dmai_EINVAL;
    delete h;
    return Dmai_EOK;
}

// The work planes of a scaling job, kept between pictures.
struct PlanePair
{
    mediastack::Planes src;
    mediastack::Planes dst;
};

// Scales (or, with quarter set, turns) the source into the destination.
int Transform(PlanePair* planes, Buffer_Handle hSrc, Buffer_Handle hDst, int quarter = 0)
{
    if (!planes)
        return Dmai_EINVAL;
    mediastack::Picture src = mediastack::PictureOf(hSrc);
    mediastack::Picture dst = mediastack::PictureOf(hDst);
    bool ok = quarter ? mediastack::RotatePicture(src, dst, quarter > 0, planes->src, planes->dst)
                      : mediastack::ScalePicture(src, dst, planes->src, planes->dst);
    if (!ok)
        return Dmai_EFAIL;
    Buffer_setNumBytesUsed(hDst, dst.width * dst.height * 2);
    return Dmai_EOK;
}

}  // namespace

// ---- Previewer --------------------------------------------------------------

struct Previewer_Object
{
    int autoWhiteBalance = 1;
    int whiteBalance = 0;
    bool configured = false;
};

Previewer_Handle Previewer_create(const Previewer_Attrs* pAttrs)
{
    auto* h = new (std::nothrow) Previewer_Object;
    if (h)
        h->autoWhiteBalance = (pAttrs ? *pAttrs : Previewer_Attrs_DEFAULT).autoWhiteBalance;
    return h;
}

int Previewer_config2(Previewer_Handle hPrv, Buffer_Handle hSrc, Buffer_Handle hDst)
{
    if (!hPrv || !SamePicture(hSrc, hDst))
        return Dmai_EINVAL;
    hPrv->configured = true;
    return Dmai_EOK;
}

// The sensor's gains do the balancing; the previewer only follows the setting.
int Previewer_setWhiteBalance(Previewer_Handle hPrv, int nWhiteBalance)
{
    if (!hPrv || nWhiteBalance < 0)
        return Dmai_EINVAL;
    hPrv->whiteBalance = nWhiteBalance;
    hPrv->autoWhiteBalance = nWhiteBalance == 0;
    return Dmai_EOK;
}

int Previewer_delete(Previewer_Handle hPrv)
{
    return Delete(hPrv);
}

// ---- Resizer ----------------------------------------------------------------

struct Resize_Object : PlanePair
{
    bool configured = false;
    bool chained = false;
};

Resize_Handle Resize_create(const Resize_Attrs* pAttrs)
{
    return new (std::nothrow) Resize_Object;
}

int Resize_recreate(Resize_Handle hRsz)
{
    if (!hRsz)
        return Dmai_EINVAL;
    hRsz->configured = false;
    hRsz->chained = false;
    return Dmai_EOK;
}

int Resize_config(Resize_Handle hRsz, Buffer_Handle hSrc, Buffer_Handle hDst)
{
    if (!hRsz || !SamePicture(hSrc, hDst))
        return Dmai_EINVAL;
    hRsz->configured = true;
    return Dmai_EOK;
}

int Resize_chain_config2(Resize_Handle hRsz, Previewer_Handle hPrv, Buffer_Handle hSrc, Buffer_Handle hDst)
{
    if (!hRsz || !hPrv || !SamePicture(hSrc, hDst))
        return Dmai_EINVAL;
    hRsz->chained = true;
    return Dmai_EOK;
}

int Resize_execute(Resize_Handle hRsz, Buffer_Handle hSrc, Buffer_Handle hDst)
{
    return Transform(hRsz, hSrc, hDst);
}

int Resize_delete(Resize_Handle hRsz)
{
    return Delete(hRsz);
}

// ---- Rotation ---------------------------------------------------------------

struct Rotation_Object : PlanePair
{
};

Rotation_Handle Rotation_create(const Rotation_Attrs* pAttrs)
{
    return new (std::nothrow) Rotation_Object;
}

int Rotation_config(Rotation_Handle hRot, Buffer_Handle hSrc, Buffer_Handle hDst)
{
    if (!hRot)
        return Dmai_EINVAL;
    mediastack::Picture src = mediastack::PictureOf(hSrc);
    mediastack::Picture dst = mediastack::PictureOf(hDst);
    if (!src.valid() || !dst.valid() || src.width != dst.height || src.height != dst.width)
        return Dmai_EINVAL;
    return Dmai_EOK;
}

int Rotation_execute(Rotation_Handle hRot, Buffer_Handle hSrc, Buffer_Handle hDst, int nDirection)
{
    return Transform(hRot, hSrc, hDst, nDirection == 0 ? 1 : -1);
}

int Rotation_delete(Rotation_Handle hRot)
{
    return Delete(hRot);
}

// ---- Frame copy -------------------------------------------------------------

struct Framecopy_Object : PlanePair
{
};

Framecopy_Handle Framecopy_create(const Framecopy_Attrs* pAttrs)
{
    return new (std::nothrow) Framecopy_Object;
}

int Framecopy_config(Framecopy_Handle hFc, Buffer_Handle hSrc, Buffer_Handle hDst)
{
    if (!hFc || !SamePicture(hSrc, hDst))
        return Dmai_EINVAL;
    return Dmai_EOK;
}

int Framecopy_execute(Framecopy_Handle hFc, Buffer_Handle hSrc, Buffer_Handle hDst)
{
    return Transform(hFc, hSrc, hDst);
}

int Framecopy_delete(Framecopy_Handle hFc)
{
    return Delete(hFc);
}
