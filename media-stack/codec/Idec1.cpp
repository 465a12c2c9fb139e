// "jpegdec": JPEG pictures into 4:2:2 pictures with libjpeg-turbo. The
// recorder's own 4:2:2 photos come out of the raw-data interface as they
// are; other samplings and colour spaces go through BGRA rows.
#include "media-stack/Picture.h"
#include "media-stack/codec/Codecs.h"
#include "media-stack/codec/JpegSupport.h"

#include <libyuv/convert_from_argb.h>
#include <libyuv/planar_functions.h>

#include <cstring>
#include <new>
#include <vector>

const IMGDEC1_Params Idec1_Params_DEFAULT = {sizeof(IMGDEC1_Params), 720, 1280, 1, XDM_BYTE, XDM_YUV_422ILE};
const IMGDEC1_DynamicParams Idec1_DynamicParams_DEFAULT = {sizeof(IMGDEC1_DynamicParams), 1, 0, 0};

struct Idec1_Object
{
    int maxWidth = 0;
    int maxHeight = 0;
    mediastack::Planes planes;
    std::vector<uint8_t> bgra;  // one row
};

namespace {

constexpr int kRawRows = 8;  // one iMCU row of 2x1 / 1x1 / 1x1 sampling

bool IsRecorderSampling(const jpeg_decompress_struct& cinfo)
{
    return cinfo.num_components == 3 && cinfo.jpeg_color_space == JCS_YCbCr && cinfo.comp_info[0].h_samp_factor == 2 &&
           cinfo.comp_info[0].v_samp_factor == 1 && cinfo.comp_info[1].h_samp_factor == 1 &&
           cinfo.comp_info[1].v_samp_factor == 1 && cinfo.comp_info[2].h_samp_factor == 1 &&
           cinfo.comp_info[2].v_samp_factor == 1;
}

void ReadRaw(jpeg_decompress_struct& cinfo, Idec1_Object* pId, const mediastack::Picture& out)
{
    int paddedWidth = (out.width + 15) & ~15;
    int paddedHeight = (static_cast<int>(cinfo.output_height) + kRawRows - 1) / kRawRows * kRawRows;
    mediastack::Planes& planes = pId->planes;
    planes.Reserve(paddedWidth, paddedHeight, paddedHeight);
    JSAMPROW rows[3][kRawRows];
    JSAMPARRAY components[3] = {rows[0], rows[1], rows[2]};
    while (cinfo.output_scanline < cinfo.output_height) {
        int y = static_cast<int>(cinfo.output_scanline);
        for (int i = 0; i < kRawRows; ++i) {
            rows[0][i] = planes.y() + static_cast<size_t>(y + i) * planes.yStride();
            rows[1][i] = planes.u() + static_cast<size_t>(y + i) * planes.uvStride();
            rows[2][i] = planes.v() + static_cast<size_t>(y + i) * planes.uvStride();
        }
        if (jpeg_read_raw_data(&cinfo, components, kRawRows) == 0)
            break;
    }
    libyuv::I422ToUYVY(planes.y(), planes.yStride(), planes.u(), planes.uvStride(), planes.v(), planes.uvStride(),
                       out.data, out.stride, out.width, out.height);
}

void ReadRows(jpeg_decompress_struct& cinfo, Idec1_Object* pId, const mediastack::Picture& out)
{
    pId->bgra.resize(static_cast<size_t>(out.width) * 4);
    JSAMPROW row = pId->bgra.data();
    while (cinfo.output_scanline < cinfo.output_height) {
        int y = static_cast<int>(cinfo.output_scanline);
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1)
            break;
        if (static_cast<int>(cinfo.output_width) < out.width)  // odd width: repeat the last pixel
            std::memcpy(row + 4 * cinfo.output_width, row + 4 * (cinfo.output_width - 1), 4);
        libyuv::ARGBToUYVY(row, out.width * 4, out.Row(y), out.stride, out.width, 1);
    }
}

// libjpeg's errors long-jump back here: no objects with destructors live in this frame.
int Decompress(Idec1_Object* pId, const uint8_t* data, unsigned long size, Buffer_Handle hOutBuf)
{
    jpeg_decompress_struct cinfo;
    mediastack::JpegError error;
    cinfo.err = mediastack::InstallJpegErrors(error);
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return Dmai_EFAIL;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || cinfo.image_width == 0 || cinfo.image_height == 0 ||
        static_cast<int>(cinfo.image_width) > pId->maxWidth || static_cast<int>(cinfo.image_height) > pId->maxHeight) {
        jpeg_destroy_decompress(&cinfo);
        return Dmai_EFAIL;
    }
    bool raw = IsRecorderSampling(cinfo);
    if (raw) {
        cinfo.raw_data_out = TRUE;
        cinfo.out_color_space = JCS_YCbCr;
    } else {
        cinfo.out_color_space = JCS_EXT_BGRA;
    }
    int width = (static_cast<int>(cinfo.image_width) + 1) & ~1;
    int height = static_cast<int>(cinfo.image_height);
    BufferGfx_Dimensions dim = {0, 0, width, height, width * 2};
    if (BufferGfx_setDimensions(hOutBuf, &dim) != Dmai_EOK) {
        jpeg_destroy_decompress(&cinfo);
        return Dmai_EFAIL;
    }
    mediastack::Picture out = mediastack::PictureOf(hOutBuf);
    if (!out.valid()) {
        jpeg_destroy_decompress(&cinfo);
        return Dmai_EFAIL;
    }
    jpeg_start_decompress(&cinfo);
    if (raw)
        ReadRaw(cinfo, pId, out);
    else
        ReadRows(cinfo, pId, out);
    jpeg_abort_decompress(&cinfo);  // the rest of the data (if any) is not needed
    jpeg_destroy_decompress(&cinfo);
    Buffer_setNumBytesUsed(hOutBuf, width * height * 2);
    return Dmai_EOK;
}

}  // namespace

Idec1_Handle Idec1_create(Engine_Handle hEngine, const char* szName, IMGDEC1_Params* pParams,
                          IMGDEC1_DynamicParams* pDynParams)
{
    if (!hEngine || !szName || std::strcmp(szName, "jpegdec") != 0 || !pParams || pParams->maxWidth <= 0 ||
        pParams->maxHeight <= 0)
        return nullptr;
    auto* pId = new (std::nothrow) Idec1_Object;
    if (!pId)
        return nullptr;
    pId->maxWidth = pParams->maxWidth;
    pId->maxHeight = pParams->maxHeight;
    return pId;
}

int Idec1_process(Idec1_Handle hId, Buffer_Handle hInBuf, Buffer_Handle hOutBuf)
{
    if (!hId || !hInBuf || !hOutBuf || BufferGfx_getColorSpace(hOutBuf) != ColorSpace_UYVY)
        return Dmai_EINVAL;
    int32_t used = Buffer_getNumBytesUsed(hInBuf);
    if (used <= 0 || used > Buffer_getSize(hInBuf))
        return Dmai_EINVAL;
    return Decompress(hId, reinterpret_cast<const uint8_t*>(Buffer_getUserPtr(hInBuf)),
                      static_cast<unsigned long>(used), hOutBuf);
}

int Idec1_delete(Idec1_Handle hId)
{
    if (!hId)
        return Dmai_EINVAL;
    delete hId;
    return Dmai_EOK;
}
