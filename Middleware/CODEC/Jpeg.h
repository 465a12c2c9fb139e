// JPEG photos: encoding and decoding.
#ifndef MIDDLEWARE_CODEC_JPEG_H
#define MIDDLEWARE_CODEC_JPEG_H

#include "media-stack/Dmai.h"

int JPEG_Init(void);
void JPEG_Exit(void);
// The decoded picture (the module's first buffer), or none when the file
// is not a baseline JPEG of at most 1280 x 720.
Buffer_Handle JPEG_DecodeFromFile(const char* szPath);

#endif
