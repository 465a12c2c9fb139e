// Stand-in for the file copy (MovCopy, WavCopy) until it lands: remove this
// file and CopyStandIn.cpp then, and include "Media/MovCopy.h" instead.
#ifndef MIDDLEWARE_GUI_COPYSTANDIN_H
#define MIDDLEWARE_GUI_COPYSTANDIN_H

typedef int (*COPY_PROGRESS)(int nPercent);

int MovCopy(COPY_PROGRESS pProgress, const char* szDst, const char* szSrc, int nStart, int nEnd, int nTotal,
            const char* szPatch, int nSourceGain, int nPatchGain);
int WavCopy(COPY_PROGRESS pProgress, const char* szDst, const char* szSrc, int nStart, int nEnd, int nTotal,
            const char* szPatch, int nSourceGain, int nPatchGain);

#endif
