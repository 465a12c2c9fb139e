// JPEG photos: encoding and decoding.
#ifndef MIDDLEWARE_CODEC_JPEG_H
#define MIDDLEWARE_CODEC_JPEG_H

int JPEG_Init(void);
void JPEG_Exit(void);

#endif
