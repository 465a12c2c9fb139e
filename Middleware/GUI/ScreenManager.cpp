// The screen manager arrives with the GUI issue; until then there are no
// screens and boxes are only written to the console.
#include "Middleware/GUI/ScreenManager.h"

#include <stdarg.h>
#include <stdio.h>

CScreenManager g_ScreenManager;

const char* CScreenManager::GetActive() { return nullptr; }
void CScreenManager::SetActive(const char* szName, int bNotify) {}

int CScreenManager::Confirm(const char* szText, unsigned long dwYesKey, const char* szYes, unsigned long dwNoKey,
                            const char* szNo)
{
    printf("[confirm] %s\n", szText);
    return 0;
}

int CScreenManager::ConfirmTimer(const char* szText, unsigned long dwMS)
{
    printf("[message] %s\n", szText);
    return 0;
}

static int PrintBox(const char* szKind, const char* szFormat, va_list ap)
{
    printf("[%s] ", szKind);
    vprintf(szFormat, ap);
    printf("\n");
    fflush(stdout);
    return 1;
}

int CScreenManager::Alert(const char* szFormat, ...)
{
    va_list ap;
    va_start(ap, szFormat);
    int n = PrintBox("alert", szFormat, ap);
    va_end(ap);
    return n;
}

int CScreenManager::Error(const char* szFormat, ...)
{
    va_list ap;
    va_start(ap, szFormat);
    int n = PrintBox("error", szFormat, ap);
    va_end(ap);
    return n;
}
