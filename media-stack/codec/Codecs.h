// The codec engine's encoders and decoders: MPEG-4 Visual video
// ("mpeg4enc", "mpeg4dec") and JPEG pictures ("jpegenc", "jpegdec"), with
// their parameter records. Pictures are 4:2:2 interleaved picture buffers;
// bit streams are basic buffers whose used bytes give their length.
#ifndef MEDIA_STACK_CODEC_CODECS_H
#define MEDIA_STACK_CODEC_CODECS_H

#include "media-stack/Dmai.h"

typedef int32_t XDAS_Int32;

enum
{
    XDM_BYTE = 1,          // data endianness: bytes in stream order
    XDM_YUV_420P = 1,      // chroma formats
    XDM_YUV_422ILE = 4,    // 4:2:2 interleaved
    IVIDEO_PROGRESSIVE = 0,
};

// ---- Video encoder ------------------------------------------------------

struct VIDENC1_Params
{
    XDAS_Int32 size;
    XDAS_Int32 encodingPreset;
    XDAS_Int32 rateControlPreset;
    XDAS_Int32 maxHeight;
    XDAS_Int32 maxWidth;
    XDAS_Int32 maxFrameRate;     // frames per 1000 s
    XDAS_Int32 maxBitRate;       // bit/s
    XDAS_Int32 dataEndianness;
    XDAS_Int32 maxInterFrameInterval;
    XDAS_Int32 inputChromaFormat;
    XDAS_Int32 inputContentType;
    XDAS_Int32 reconChromaFormat;
};

struct VIDENC1_DynamicParams
{
    XDAS_Int32 size;
    XDAS_Int32 inputHeight;
    XDAS_Int32 inputWidth;
    XDAS_Int32 refFrameRate;     // frames per 1000 s
    XDAS_Int32 targetFrameRate;
    XDAS_Int32 targetBitRate;    // bit/s
    XDAS_Int32 intraFrameInterval;
    XDAS_Int32 generateHeader;
    XDAS_Int32 captureWidth;
    XDAS_Int32 forceFrame;
    XDAS_Int32 interFrameInterval;
    XDAS_Int32 mbDataFlag;
};

// The MPEG-4 encoder's records carry extension words behind the common ones.
struct MPEG4ENC_DynamicParams
{
    VIDENC1_DynamicParams videncDynamicParams;
    XDAS_Int32 extension[13];
};

typedef struct Venc1_Object* Venc1_Handle;

// Null when the codec does not exist or the parameters are unusable.
Venc1_Handle Venc1_create(Engine_Handle hEngine, const char* szName, VIDENC1_Params* pParams,
                          VIDENC1_DynamicParams* pDynParams);
// Encodes one picture into hOutBuf (used bytes = the frame's size). The
// first frame after creation begins with the stream's 18-byte configuration
// header; key frames begin with the VOP start code.
int Venc1_process(Venc1_Handle hVe, Buffer_Handle hInBuf, Buffer_Handle hOutBuf);
int Venc1_delete(Venc1_Handle hVe);

// ---- Video decoder ------------------------------------------------------

struct VIDDEC2_Params
{
    XDAS_Int32 size;
    XDAS_Int32 maxHeight;
    XDAS_Int32 maxWidth;
    XDAS_Int32 maxFrameRate;
    XDAS_Int32 maxBitRate;
    XDAS_Int32 dataEndianness;
    XDAS_Int32 forceChromaFormat;
};

struct MPEG4DEC_Params
{
    VIDDEC2_Params viddecParams;
    XDAS_Int32 extension[4];
};

struct VIDDEC2_DynamicParams
{
    XDAS_Int32 size;
    XDAS_Int32 decodeHeader;
    XDAS_Int32 displayWidth;
    XDAS_Int32 frameSkipMode;
    XDAS_Int32 frameOrder;
    XDAS_Int32 newFrameFlag;
    XDAS_Int32 mbDataFlag;
};

typedef struct Vdec2_Object* Vdec2_Handle;

Vdec2_Handle Vdec2_create(Engine_Handle hEngine, const char* szName, VIDDEC2_Params* pParams,
                          VIDDEC2_DynamicParams* pDynParams);
// The table of output pictures the application shares with the decoder.
int Vdec2_setBufTab(Vdec2_Handle hVd, BufTab_Handle hBufTab);
// Decodes the input's used bytes into hDstBuf (a 4:2:2 picture at the
// stream's size, dimensions set). Afterwards the input's used bytes are the
// bytes consumed. Dmai_EOK; Dmai_EBITERROR for a damaged stream (0 bytes
// consumed when nothing could be decoded); negative on failure.
int Vdec2_process(Vdec2_Handle hVd, Buffer_Handle hInBuf, Buffer_Handle hDstBuf);
int Vdec2_delete(Vdec2_Handle hVd);

// ---- JPEG ---------------------------------------------------------------

struct IMGENC1_Params
{
    XDAS_Int32 size;
    XDAS_Int32 maxHeight;
    XDAS_Int32 maxWidth;
    XDAS_Int32 maxScans;
    XDAS_Int32 dataEndianness;
    XDAS_Int32 forceChromaFormat;
};

struct IMGENC1_DynamicParams
{
    XDAS_Int32 size;
    XDAS_Int32 numAU;
    XDAS_Int32 inputChromaFormat;
    XDAS_Int32 inputHeight;
    XDAS_Int32 inputWidth;
    XDAS_Int32 captureWidth;
    XDAS_Int32 generateHeader;
    XDAS_Int32 qValue;  // quality 1-100
};

struct IMGDEC1_Params
{
    XDAS_Int32 size;
    XDAS_Int32 maxHeight;
    XDAS_Int32 maxWidth;
    XDAS_Int32 maxScans;
    XDAS_Int32 dataEndianness;
    XDAS_Int32 forceChromaFormat;
};

struct IMGDEC1_DynamicParams
{
    XDAS_Int32 size;
    XDAS_Int32 numAU;
    XDAS_Int32 decodeHeader;
    XDAS_Int32 displayWidth;
};

extern const IMGENC1_Params Ienc1_Params_DEFAULT;
extern const IMGENC1_DynamicParams Ienc1_DynamicParams_DEFAULT;
extern const IMGDEC1_Params Idec1_Params_DEFAULT;
extern const IMGDEC1_DynamicParams Idec1_DynamicParams_DEFAULT;

typedef struct Ienc1_Object* Ienc1_Handle;
typedef struct Idec1_Object* Idec1_Handle;

Ienc1_Handle Ienc1_create(Engine_Handle hEngine, const char* szName, IMGENC1_Params* pParams,
                          IMGENC1_DynamicParams* pDynParams);
// A baseline JFIF picture of the input's dimensions into hOutBuf.
int Ienc1_process(Ienc1_Handle hIe, Buffer_Handle hInBuf, Buffer_Handle hOutBuf);
int Ienc1_delete(Ienc1_Handle hIe);

Idec1_Handle Idec1_create(Engine_Handle hEngine, const char* szName, IMGDEC1_Params* pParams,
                          IMGDEC1_DynamicParams* pDynParams);
// Decodes the input's used bytes into hOutBuf, a 4:2:2 picture whose
// dimensions are set to the image's (the width rounded up to even).
int Idec1_process(Idec1_Handle hId, Buffer_Handle hInBuf, Buffer_Handle hOutBuf);
int Idec1_delete(Idec1_Handle hId);

#endif
