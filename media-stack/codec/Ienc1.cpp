// "jpegenc": baseline JFIF pictures from 4:2:2 pictures with libjpeg-turbo's
// raw-data interface (the planes go in as they are, no colour conversion).
#include "media-stack/Picture.h"
#include "media-stack/codec/Codecs.h"
#include "media-stack/codec/JpegSupport.h"

#include <libyuv/planar_functions.h>

#include <cstring>
#include <new>

const IMGENC1_Params Ienc1_Params_DEFAULT = {sizeof(IMGENC1_Params), 720, 1280, 1, XDM_BYTE, XDM_YUV_422ILE};
const IMGENC1_DynamicParams Ienc1_DynamicParams_DEFAULT = {
    sizeof(IMGENC1_DynamicParams), 1, XDM_YUV_422ILE, 720, 1280, 0, 0, 75};

struct Ienc1_Object
{
    int maxWidth = 0;
    int maxHeight = 0;
    int quality = 75;
    mediastack::Planes planes;
};

namespace {

constexpr int kMcuWidth = 16;  // 2x1 luma sampling
constexpr int kMcuHeight = 8;

// Writes into the output buffer; a picture that does not fit is noticed,
// and the rest goes to a scratch area.
struct BufferDestination
{
    jpeg_destination_mgr manager;
    JOCTET* start;
    size_t capacity;
    bool overflow;
    JOCTET scratch[4096];
};

void InitDestination(j_compress_ptr) {}

boolean EmptyOutput(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<BufferDestination*>(cinfo->dest);
    dest->overflow = true;
    dest->manager.next_output_byte = dest->scratch;
    dest->manager.free_in_buffer = sizeof(dest->scratch);
    return TRUE;
}

void TermDestination(j_compress_ptr) {}

// Planes padded to whole MCUs by repeating the last column and row.
void PadPlanes(mediastack::Planes& planes, int width, int height, int paddedWidth, int paddedHeight)
{
    struct Plane
    {
        uint8_t* data;
        int stride, width, padded;
    } all[3] = {{planes.y(), planes.yStride(), width, paddedWidth},
                {planes.u(), planes.uvStride(), width / 2, paddedWidth / 2},
                {planes.v(), planes.uvStride(), width / 2, paddedWidth / 2}};
    for (const Plane& p : all) {
        for (int y = 0; y < height; ++y) {
            uint8_t* row = p.data + static_cast<size_t>(y) * p.stride;
            std::memset(row + p.width, row[p.width - 1], static_cast<size_t>(p.padded - p.width));
        }
        for (int y = height; y < paddedHeight; ++y)
            std::memcpy(p.data + static_cast<size_t>(y) * p.stride, p.data + static_cast<size_t>(height - 1) * p.stride,
                        static_cast<size_t>(p.padded));
    }
}

// libjpeg's errors long-jump back here: no objects with destructors live in this frame.
bool Compress(Ienc1_Object* pIe, int width, int height, int paddedHeight, BufferDestination* dest)
{
    jpeg_compress_struct cinfo;
    mediastack::JpegError error;
    cinfo.err = mediastack::InstallJpegErrors(error);
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    cinfo.dest = &dest->manager;
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_YCbCr;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, JCS_YCbCr);
    cinfo.comp_info[0].h_samp_factor = 2;
    cinfo.comp_info[0].v_samp_factor = 1;
    for (int c = 1; c < 3; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    cinfo.raw_data_in = TRUE;
    jpeg_set_quality(&cinfo, pIe->quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    mediastack::Planes& planes = pIe->planes;
    JSAMPROW rows[3][kMcuHeight];
    JSAMPARRAY components[3] = {rows[0], rows[1], rows[2]};
    for (int y = 0; y < paddedHeight; y += kMcuHeight) {
        for (int i = 0; i < kMcuHeight; ++i) {
            rows[0][i] = planes.y() + static_cast<size_t>(y + i) * planes.yStride();
            rows[1][i] = planes.u() + static_cast<size_t>(y + i) * planes.uvStride();
            rows[2][i] = planes.v() + static_cast<size_t>(y + i) * planes.uvStride();
        }
        jpeg_write_raw_data(&cinfo, components, kMcuHeight);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

Ienc1_Handle Ienc1_create(Engine_Handle hEngine, const char* szName, IMGENC1_Params* pParams,
                          IMGENC1_DynamicParams* pDynParams)
{
    if (!hEngine || !szName || std::strcmp(szName, "jpegenc") != 0 || !pParams || !pDynParams ||
        pParams->maxWidth <= 0 || pParams->maxHeight <= 0 || pDynParams->qValue < 1 || pDynParams->qValue > 100)
        return nullptr;
    auto* pIe = new (std::nothrow) Ienc1_Object;
    if (!pIe)
        return nullptr;
    pIe->maxWidth = pParams->maxWidth;
    pIe->maxHeight = pParams->maxHeight;
    pIe->quality = pDynParams->qValue;
    return pIe;
}

int Ienc1_process(Ienc1_Handle hIe, Buffer_Handle hInBuf, Buffer_Handle hOutBuf)
{
    if (!hIe || !hOutBuf)
        return Dmai_EINVAL;
    mediastack::Picture in = mediastack::PictureOf(hInBuf);
    if (!in.valid() || in.width > hIe->maxWidth || in.height > hIe->maxHeight)
        return Dmai_EINVAL;
    int paddedWidth = (in.width + kMcuWidth - 1) / kMcuWidth * kMcuWidth;
    int paddedHeight = (in.height + kMcuHeight - 1) / kMcuHeight * kMcuHeight;
    mediastack::Planes& planes = hIe->planes;
    planes.Reserve(paddedWidth, paddedHeight, paddedHeight);
    libyuv::UYVYToI422(in.data, in.stride, planes.y(), planes.yStride(), planes.u(), planes.uvStride(), planes.v(),
                       planes.uvStride(), in.width, in.height);
    PadPlanes(planes, in.width, in.height, paddedWidth, paddedHeight);

    auto* dest = new (std::nothrow) BufferDestination;
    if (!dest)
        return Dmai_ENOMEM;
    dest->manager.init_destination = InitDestination;
    dest->manager.empty_output_buffer = EmptyOutput;
    dest->manager.term_destination = TermDestination;
    dest->start = reinterpret_cast<JOCTET*>(Buffer_getUserPtr(hOutBuf));
    dest->capacity = static_cast<size_t>(Buffer_getSize(hOutBuf));
    dest->manager.next_output_byte = dest->start;
    dest->manager.free_in_buffer = dest->capacity;
    dest->overflow = false;
    bool ok = Compress(hIe, in.width, in.height, paddedHeight, dest);
    int result = Dmai_EFAIL;
    if (ok && !dest->overflow) {
        Buffer_setNumBytesUsed(hOutBuf, static_cast<int32_t>(dest->capacity - dest->manager.free_in_buffer));
        result = Dmai_EOK;
    } else {
        Buffer_setNumBytesUsed(hOutBuf, 0);
    }
    delete dest;
    return result;
}

int Ienc1_delete(Ienc1_Handle hIe)
{
    if (!hIe)
        return Dmai_EINVAL;
    delete hIe;
    return Dmai_EOK;
}
