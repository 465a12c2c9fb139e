#include "Lib/Log.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

void LOG_Error(const char* file, int line, const char* fmt, ...)
{
    char szModule[256];
    snprintf(szModule, sizeof(szModule), "%s", file);
    char* pDot = strrchr(szModule, '.');
    char* pSlash = strrchr(szModule, '/');
    if (pDot && (!pSlash || pDot > pSlash))
        *pDot = 0;

    char szLine[1024];
    int n = snprintf(szLine, sizeof(szLine), "ERR : %s [%d] :", szModule, line);
    va_list ap;
    va_start(ap, fmt);
    if (n >= 0 && n < (int)sizeof(szLine))
        vsnprintf(szLine + n, sizeof(szLine) - n, fmt, ap);
    va_end(ap);
    // One write so that lines of different threads do not interleave.
    fputs(szLine, stderr);
    fflush(stderr);
}
