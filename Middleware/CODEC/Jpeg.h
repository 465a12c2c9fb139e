// JPEG photos: encoding and decoding through the codec engine, with the
// two shared buffers (a decoded picture and compressed data).
#ifndef MIDDLEWARE_CODEC_JPEG_H
#define MIDDLEWARE_CODEC_JPEG_H

#include "media-stack/Dmai.h"

int JPEG_Init(void);
void JPEG_Exit(void);
// Buffer 0 (decoded pictures) and buffer 1 (compressed data); either may be null.
void JPEG_GetBuffer(_Buffer_Object** phPicture, _Buffer_Object** phData);
int JPEG_Encode(_Buffer_Object* hSrc, _Buffer_Object* hDst);
int JPEG_Decode(_Buffer_Object* hSrc, _Buffer_Object* hDst);
int JPEG_EncodeToFile(const char* szPath, _Buffer_Object* hSrc);
// The picture of a baseline JPEG of at most 1280 x 720 (buffer 0), or null.
_Buffer_Object* JPEG_DecodeFromFile(const char* szPath);

// 1 when the data is a JPEG the recorder shows: it starts with SOI and its
// segments lead, inside the data, to a baseline frame header (SOF0) of
// 1..1280 x 1..720 pixels.
int JPEG_IsAcceptable(const unsigned char* pData, int nSize);

#endif
