#include "Middleware/CODEC/Jpeg.h"

#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Log.h"

#include <stdio.h>

#define JPEG_MAX_WIDTH 1280
#define JPEG_MAX_HEIGHT 720
#define JPEG_QUALITY 90

static BufTab_Handle m_hBufTab = nullptr;

int JPEG_Init(void)
{
    m_hBufTab = CreatePictureBufTab(2, JPEG_MAX_WIDTH, JPEG_MAX_HEIGHT);
    if (!m_hBufTab) {
        ERR_PRINT("JPEG: BufTab_create() failed! \n");
        return 0;
    }
    return 1;
}

void JPEG_Exit(void)
{
    if (m_hBufTab)
        BufTab_delete(m_hBufTab);
    m_hBufTab = nullptr;
}

void JPEG_GetBuffer(_Buffer_Object** phPicture, _Buffer_Object** phData)
{
    if (phPicture)
        *phPicture = BufTab_getBuf(m_hBufTab, 0);
    if (phData)
        *phData = BufTab_getBuf(m_hBufTab, 1);
}

int JPEG_Encode(_Buffer_Object* hSrc, _Buffer_Object* hDst)
{
    BufferGfx_Dimensions dim;
    if (!hSrc || !hDst || BufferGfx_getDimensions(hSrc, &dim) != Dmai_EOK)
        return 0;
    Buffer_setNumBytesUsed(hSrc, dim.width * dim.height * 2);

    IMGENC1_Params params = Ienc1_Params_DEFAULT;
    IMGENC1_DynamicParams dynParams = Ienc1_DynamicParams_DEFAULT;
    params.maxHeight = dim.height;
    params.maxWidth = dim.width;
    dynParams.inputHeight = dim.height;
    dynParams.inputWidth = dim.width;
    dynParams.qValue = JPEG_QUALITY;
    Ienc1_Handle hIe = Ienc1_create(g_hEngine, "jpegenc", &params, &dynParams);
    if (!hIe)
        return 0;
    int nResult = Ienc1_process(hIe, hSrc, hDst);
    Ienc1_delete(hIe);
    return nResult == Dmai_EOK;
}

int JPEG_Decode(_Buffer_Object* hSrc, _Buffer_Object* hDst)
{
    if (!hSrc || !hDst)
        return 0;
    IMGDEC1_Params params = Idec1_Params_DEFAULT;
    IMGDEC1_DynamicParams dynParams = Idec1_DynamicParams_DEFAULT;
    params.maxHeight = JPEG_MAX_HEIGHT;
    params.maxWidth = JPEG_MAX_WIDTH;
    Idec1_Handle hId = Idec1_create(g_hEngine, "jpegdec", &params, &dynParams);
    if (!hId)
        return 0;
    int nResult = Idec1_process(hId, hSrc, hDst);
    BufferGfx_Dimensions dim;
    if (nResult == Dmai_EOK && BufferGfx_getDimensions(hDst, &dim) == Dmai_EOK)
        Buffer_setNumBytesUsed(hDst, dim.width * dim.height * 2);
    Idec1_delete(hId);
    return nResult == Dmai_EOK;
}

int JPEG_EncodeToFile(const char* szPath, _Buffer_Object* hSrc)
{
    Buffer_Handle hData = BufTab_getBuf(m_hBufTab, 1);
    if (!JPEG_Encode(hSrc, hData))
        return 0;
    return Buffer_SaveFile(szPath, hData);
}

int JPEG_IsAcceptable(const unsigned char* pData, int nSize)
{
    if (!pData || nSize < 2 || pData[0] != 0xFF || pData[1] != 0xD8)
        return 0;
    // Marker segments by their lengths; every field read lies inside the data.
    int nPos = 2;
    while (nSize - nPos >= 5) {
        if (pData[nPos] != 0xFF)
            return 0;
        int nMarker = pData[nPos + 1];
        int nLength = (pData[nPos + 2] << 8) | pData[nPos + 3];
        if (nMarker == 0xC0) {
            // Length, precision, height, width.
            if (nSize - nPos < 9 || nLength < 7)
                return 0;
            int nHeight = (pData[nPos + 5] << 8) | pData[nPos + 6];
            int nWidth = (pData[nPos + 7] << 8) | pData[nPos + 8];
            return nHeight >= 1 && nHeight <= JPEG_MAX_HEIGHT && nWidth >= 1 && nWidth <= JPEG_MAX_WIDTH;
        }
        if (nMarker == 0xDA || nMarker == 0xD9 || nLength < 2)
            return 0;  // image data (or the end) before a baseline frame header
        nPos += 2 + nLength;
    }
    return 0;
}

_Buffer_Object* JPEG_DecodeFromFile(const char* szPath)
{
    Buffer_Handle hPicture = BufTab_getBuf(m_hBufTab, 0);
    Buffer_Handle hData = BufTab_getBuf(m_hBufTab, 1);
    // A file larger than the buffer would be read only in part.
    long long nFileSize = GetFileSize(szPath);
    if (nFileSize <= 0 || nFileSize > Buffer_getSize(hData) || !Buffer_LoadFile(hData, szPath))
        return nullptr;
    if (!JPEG_IsAcceptable(reinterpret_cast<const unsigned char*>(Buffer_getUserPtr(hData)), Buffer_getNumBytesUsed(hData)))
        return nullptr;
    if (!JPEG_Decode(hData, hPicture))
        return nullptr;
    return hPicture;
}
