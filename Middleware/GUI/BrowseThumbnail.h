// Thumbnails of the browse screen: a file's picture (a photo, the picture of
// a sound recording, or a movie's first frame through the video thread's
// one-frame decode), scaled by the capture thread's resizer and turned
// into a bitmap.
#ifndef MIDDLEWARE_GUI_BROWSETHUMBNAIL_H
#define MIDDLEWARE_GUI_BROWSETHUMBNAIL_H

#include "Middleware/GUI/Graphics.h"

// Makes the resizer output (160 x 120) and the two decode buffers
// (1280 x 720: the coded first frame, the decoded picture). 0 on failure.
int THUMB_Init(void);
// A new bitmap of the file's picture (the caller frees it with
// GRA_FreeBitmap), or null when the file has none or it cannot be made.
BITMAP* THUMB_Make(const char* szRealPath);

#endif
