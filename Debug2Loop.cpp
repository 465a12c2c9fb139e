#include "Debug2Loop.h"

#include "DrvLib/Hdmi.h"
#include "DrvLib/Led.h"
#include "DrvLib/Sound.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Thread.h"
#include "Middleware/GUI/Graphics.h"
#include "Middleware/VPFE/Capture.h"

#include <errno.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define DEBUG_LINE_SIZE 256
#define DEBUG_MAX_ARGS 8

static const char s_szSeparators[] = " ,\t";

// The words after the command: hexadecimal numbers (or a sub-command).
struct DebugArgs
{
    int nCount;
    char aszWord[DEBUG_MAX_ARGS][DEBUG_LINE_SIZE];

    unsigned long Hex(int i) const { return strtoul(aszWord[i], nullptr, 16); }
    int Dec(int i) const { return atoi(aszWord[i]); }
};

static void SplitArgs(const char* szLine, DebugArgs& args)
{
    char szCopy[DEBUG_LINE_SIZE];
    snprintf(szCopy, sizeof(szCopy), "%s", szLine);
    args.nCount = 0;
    char* pSave = nullptr;
    char* pWord = strtok_r(szCopy, s_szSeparators, &pSave);
    // The first word is the command itself.
    while ((pWord = strtok_r(nullptr, s_szSeparators, &pSave)) != nullptr && args.nCount < DEBUG_MAX_ARGS)
        snprintf(args.aszWord[args.nCount++], DEBUG_LINE_SIZE, "%s", pWord);
}

static int IsCommand(const char* szLine, const char* szCommand)
{
    return strncmp(szLine, szCommand, strlen(szCommand)) == 0;
}

static int IsSub(const DebugArgs& args, const char* szSub)
{
    return args.nCount >= 1 && strcmp(args.aszWord[0], szSub) == 0;
}

static int DumpProcessorRange(unsigned long dwFrom, unsigned long dwTo)
{
    for (unsigned long dwAddress = dwFrom; dwAddress <= dwTo; dwAddress += 4) {
        unsigned long dwValue = 0;
        if (!LED_DbgReadReg(dwAddress, &dwValue)) {
            printf("read error!!\n");
            return 0;
        }
        printf("0x%08lX = %08lX\n", dwAddress, dwValue);
    }
    return 1;
}

static void DoDm355(const DebugArgs& args)
{
    if (IsSub(args, "rd") && args.nCount >= 2) {
        unsigned long dwValue = 0;
        if (LED_DbgReadReg(args.Hex(1), &dwValue))
            printf("0x%08lX = %08lX\n", args.Hex(1), dwValue);
        else
            printf("read error!!\n");
    } else if (IsSub(args, "wr") && args.nCount >= 3) {
        if (LED_DbgWriteReg(args.Hex(1), args.Hex(2)))
            printf("0x%08lX = %08lX\n", args.Hex(1), args.Hex(2));
        else
            printf("write error!!\n");
    } else if (IsSub(args, "all")) {
        printf("-- CCDC --\n");
        DumpProcessorRange(0x01C70600, 0x01C7075C);
        printf("-- IPIPEIF --\n");
        DumpProcessorRange(0x01C70100, 0x01C70128);
        printf("-- IPIPE --\n");
        DumpProcessorRange(0x01C71000, 0x01C71400);
    }
}

static void DoCamera(const DebugArgs& args)
{
    if (IsSub(args, "rd") && args.nCount >= 2) {
        unsigned long dwValue = 0;
        if (VPFE_GetCameraReg(static_cast<int>(args.Hex(1)), &dwValue))
            printf("0x%02lX = %08lX\n", args.Hex(1), dwValue);
        else
            printf("read error!!\n");
    } else if (IsSub(args, "wr") && args.nCount >= 3) {
        if (VPFE_SetCameraReg(static_cast<int>(args.Hex(1)), args.Hex(2)))
            printf("0x%02lX = %08lX\n", args.Hex(1), args.Hex(2));
        else
            printf("write error!!\n");
    } else if (IsSub(args, "all")) {
        printf("-- CAMERA --\n");
        for (int nReg = 0; nReg <= 255; ++nReg) {
            unsigned long dwValue = 0;
            if (!VPFE_GetCameraReg(nReg, &dwValue)) {
                printf("read error!!\n");
                break;
            }
            printf("0x%02lX = %08lX\n", static_cast<unsigned long>(nReg), dwValue);
        }
    }
}

static void DoHdmi(const DebugArgs& args)
{
    if (IsSub(args, "rd") && args.nCount >= 2) {
        int nValue = 0;
        int nReg = static_cast<int>(args.Hex(1));
        if (HDIM_DbgReadReg(nReg, &nValue))
            printf("0x%02x=%02x\n", nReg, nValue);
        else
            printf("read error!!\n");
    } else if (IsSub(args, "wr") && args.nCount >= 3) {
        int nReg = static_cast<int>(args.Hex(1));
        int nValue = static_cast<int>(args.Hex(2));
        if (HDIM_DbgWriteReg(nReg, nValue))
            printf("0x%02x<-%02x\n", nReg, nValue);
        else
            printf("write error!!\n");
    } else if (IsSub(args, "all")) {
        printf("-- ADV7523 --\n");
        for (int nReg = 0; nReg <= 255; ++nReg) {
            int nValue = 0;
            if (!HDIM_DbgReadReg(nReg, &nValue)) {
                printf("read error!!\n");
                break;
            }
            printf("0x%02x=%02x\n", nReg, nValue);
        }
    }
}

static void DoEdid(const DebugArgs& args)
{
    if (IsSub(args, "rd") && args.nCount >= 2) {
        int nAddress = static_cast<int>(args.Hex(1));
        int nValue = 0;
        if (HDIM_DbgReadEDID(nAddress, &nValue))
            printf("0x%02x=%02x\n", nAddress, nValue);
        else
            printf("read error!!\n");
    }
}

int Debug2Command(const char* szLine)
{
    DebugArgs args;
    SplitArgs(szLine, args);

    if (IsCommand(szLine, "quit"))
        return 0;
    if (IsCommand(szLine, "free"))
        vsystem("free");
    else if (IsCommand(szLine, "ps"))
        vsystem("ps | grep app");
    else if (IsCommand(szLine, "amixer"))
        vsystem("amixer");
    else if (IsCommand(szLine, "vmstat"))
        vsystem("vmstat");
    else if (IsCommand(szLine, "osd")) {
        GRA_EnableMode(!GRA_GetEnableMode());
        printf("bEnableMode=%d\n", GRA_GetEnableMode());
    } else if (IsCommand(szLine, "cs42l51")) {
        vsystem("amixer set 'Reg. dump' 'Enable'");
        vsystem("amixer set 'Reg. dump' 'Disable'");
    } else if (IsCommand(szLine, "dm355"))
        DoDm355(args);
    else if (IsCommand(szLine, "camera"))
        DoCamera(args);
    else if (IsCommand(szLine, "hdmi"))
        DoHdmi(args);
    else if (IsCommand(szLine, "edid"))
        DoEdid(args);
    else if (IsCommand(szLine, "chk_edid")) {
        int nResult = 0xFFFF;
        HDMI_CheckEDID(&nResult);
        printf("checkResult=%d\n", nResult);
    } else if (IsCommand(szLine, "dac_mute") && args.nCount >= 1)
        SND_DAC_Mute(args.Dec(0) != 0);
    else if (IsCommand(szLine, "adc_mute") && args.nCount >= 1)
        SND_ADC_Mute(args.Dec(0) != 0);
    else if (IsCommand(szLine, "zero_cross") && args.nCount >= 1)
        SND_SetMixer("Zero Cross", args.Dec(0) ? "On" : "Off");
    fflush(stdout);
    return 1;
}

// Reads one line from standard input into szLine (at most DEBUG_LINE_SIZE - 1
// characters; the rest of a longer line is dropped). Returns 1 for a line,
// 0 at end of input, -1 when the program quits meanwhile.
static int ReadConsoleLine(char* szLine)
{
    static char s_aPending[DEBUG_LINE_SIZE * 4];
    static size_t s_nPending = 0;
    static int s_bDropping = 0;

    for (;;) {
        char* pEnd = static_cast<char*>(memchr(s_aPending, '\n', s_nPending));
        if (pEnd) {
            size_t nLine = static_cast<size_t>(pEnd - s_aPending);
            int bDropped = s_bDropping;
            s_bDropping = 0;
            if (!bDropped) {
                size_t nCopy = nLine < DEBUG_LINE_SIZE - 1 ? nLine : DEBUG_LINE_SIZE - 1;
                memcpy(szLine, s_aPending, nCopy);
                szLine[nCopy] = 0;
            }
            memmove(s_aPending, pEnd + 1, s_nPending - nLine - 1);
            s_nPending -= nLine + 1;
            if (!bDropped)
                return 1;
            continue;
        }
        if (s_nPending >= DEBUG_LINE_SIZE - 1) {
            // Overlong line: keep its start, drop the rest up to the line end.
            memcpy(szLine, s_aPending, DEBUG_LINE_SIZE - 1);
            szLine[DEBUG_LINE_SIZE - 1] = 0;
            s_nPending = 0;
            s_bDropping = 1;
            return 1;
        }
        if (g_bQuit)
            return -1;
        struct pollfd pfd = {STDIN_FILENO, POLLIN, 0};
        if (poll(&pfd, 1, 100) <= 0)
            continue;
        ssize_t n = read(STDIN_FILENO, s_aPending + s_nPending, sizeof(s_aPending) - s_nPending);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (s_nPending > 0 && !s_bDropping) {
                memcpy(szLine, s_aPending, s_nPending);
                szLine[s_nPending] = 0;
                s_nPending = 0;
                return 1;
            }
            return 0;
        }
        if (s_bDropping) {
            char* pNl = static_cast<char*>(memchr(s_aPending + s_nPending, '\n', static_cast<size_t>(n)));
            if (!pNl)
                continue;
            size_t nKeep = static_cast<size_t>(s_aPending + s_nPending + n - (pNl + 1));
            memmove(s_aPending, pNl + 1, nKeep);
            s_nPending = nKeep;
            s_bDropping = 0;
            continue;
        }
        s_nPending += static_cast<size_t>(n);
    }
}

void Debug2Loop(void)
{
    char szLine[DEBUG_LINE_SIZE];
    for (;;) {
        int nRead = ReadConsoleLine(szLine);
        if (nRead < 0)
            return;
        if (nRead == 0) {
            // Without a console the device keeps running until it is switched off.
            while (!g_bQuit)
                SleepMS(100);
            return;
        }
        szLine[strcspn(szLine, "\r")] = 0;
        if (!Debug2Command(szLine))
            return;
    }
}
