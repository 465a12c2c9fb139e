#include "DrvLib/Key.h"

#include "DrvLib/Msp430.h"
#include "Lib/Log.h"
#include "Lib/Sys.h"
#include "Lib/Thread.h"

#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <string.h>
#include <sys/select.h>

static unsigned long s_dwKey = 0;
static int s_hKey = -1;
static void* s_pKeyLock = nullptr;
static int s_bEnableHold = 0;

struct KeyName
{
    unsigned long dwMask;
    const char* szName;
};

// The order in which KEY_GetName picks the first pressed key.
static const KeyName s_aKeyNames[] = {
    {KEY_F1, "F1"},     {KEY_F2, "F2"},         {KEY_F3, "F3"},         {KEY_MENU, "MENU"},
    {KEY_MODE, "MODE"}, {KEY_DISPLAY, "DISPLAY"}, {KEY_W, "W"},         {KEY_T, "T"},
    {KEY_UP, "UP"},     {KEY_DOWN, "DOWN"},     {KEY_LEFT, "LEFT"},     {KEY_RIGHT, "RIGHT"},
    {KEY_ENTER, "ENTER"}, {KEY_RECORD, "RECORD"}, {KEY_PLAY, "PLAY"},   {KEY_STOP, "STOP"},
};

// Switches and detect lines, named only on request.
static const KeyName s_aSwitchNames[] = {
    {KEY_HOLD, "HOLD"},           {KEY_SPEAKER, "SPEAKER"},     {KEY_PHONE_DETECT, "PHONE_DETECT"},
    {KEY_MIC_DETECT, "MIC_DETECT"}, {KEY_SD_DETECT, "SD_DETECT"}, {KEY_CAMERA_SW, "CAMERA_SW"},
};

static unsigned long ReadMask(unsigned long dwLast)
{
    unsigned char aBytes[4];
    if (SYS_read(s_hKey, aBytes, sizeof(aBytes)) != static_cast<ssize_t>(sizeof(aBytes)))
        return dwLast;
    return static_cast<unsigned long>(aBytes[0]) | (static_cast<unsigned long>(aBytes[1]) << 8) |
           (static_cast<unsigned long>(aBytes[2]) << 16) | (static_cast<unsigned long>(aBytes[3]) << 24);
}

static unsigned long MergeF1(unsigned long dwMask)
{
    return g_Msp430_bKeyPress_F1 ? (dwMask | KEY_F1) : (dwMask & ~static_cast<unsigned long>(KEY_F1));
}

int KEY_Init(void)
{
    s_hKey = SYS_open("/dev/vreckey", O_RDONLY);
    if (s_hKey < 0)
        return 0;
    // The first mask comes without waiting for a change of the lines.
    int nFlags = SYS_fcntl(s_hKey, F_GETFL);
    SYS_fcntl(s_hKey, F_SETFL, nFlags | O_NONBLOCK);
    s_dwKey = ReadMask(0);
    SYS_fcntl(s_hKey, F_SETFL, nFlags & ~O_NONBLOCK);
    s_dwKey = MergeF1(s_dwKey);
    s_pKeyLock = TH_CreateLock();
    return 1;
}

unsigned long KEY_Get(int bRead, int* pbHoldBlocked)
{
    if (!bRead)
        return s_dwKey;
    TH_Lock(s_pKeyLock);
    int bReadable = 0;
    if (s_hKey >= 0) {
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(s_hKey, &fds);
        struct timeval tv = {0, 0};
        int nReady = SYS_select(s_hKey + 1, &fds, nullptr, nullptr, &tv);
        if (nReady < 0)
            ERR_PRINT("error select()\n%s\n", strerror(errno));
        else
            bReadable = nReady > 0 && FD_ISSET(s_hKey, &fds);
    }
    unsigned long dwMask = bReadable ? ReadMask(s_dwKey) : s_dwKey;
    dwMask = MergeF1(dwMask);
    if (s_bEnableHold && (dwMask & KEY_HOLD)) {
        if (pbHoldBlocked)
            *pbHoldBlocked = (dwMask & KEY_MASK_KEYS) ? 1 : 0;
        dwMask &= ~static_cast<unsigned long>(KEY_MASK_KEYS);
    }
    s_dwKey = dwMask;
    TH_Unlock(s_pKeyLock);
    return dwMask;
}

void KEY_EnableHold(int bEnable)
{
    s_bEnableHold = bEnable ? 1 : 0;
}

static int FindName(char* szOut, int nMask, const KeyName* pNames, size_t nCount)
{
    for (size_t i = 0; i < nCount; ++i) {
        if (static_cast<unsigned long>(nMask) & pNames[i].dwMask) {
            strcpy(szOut, pNames[i].szName);
            return 1;
        }
    }
    return 0;
}

int KEY_GetName(char* szOut, int nMask, int bAll)
{
    szOut[0] = 0;
    if (FindName(szOut, nMask, s_aKeyNames, sizeof(s_aKeyNames) / sizeof(s_aKeyNames[0])))
        return 1;
    if (bAll && FindName(szOut, nMask, s_aSwitchNames, sizeof(s_aSwitchNames) / sizeof(s_aSwitchNames[0])))
        return 1;
    return 0;
}

void KEY_Exit(void)
{
    if (s_hKey >= 0)
        SYS_close(s_hKey);
    s_hKey = -1;
    TH_DeleteLock(s_pKeyLock);
    s_pKeyLock = nullptr;
}
