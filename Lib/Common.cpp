#include "Lib/Common.h"

#include "DrvLib/FrameBuffer.h"
#include "DrvLib/Led.h"
#include "DrvLib/Msp430.h"
#include "DrvLib/Sound.h"
#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "Lib/Sys.h"
#include "Lib/Thread.h"
#include "Media/PlaylistCtrl.h"
#include "Media/Writer.h"
#include "Middleware/GUI/AppMain.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/StateControl.h"
#include "player/Player.h"

#include <assert.h>
#include <ctype.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

// ---- Recording file names ------------------------------------------------

static int s_nPendingFileNumber = -1;

#define FILE_NUMBER_MAX 9999

static int FileExists(const char* szPath)
{
    struct stat st;
    return SYS_stat(szPath, &st) == 0;
}

int GetNextFileName(char* szOut, const char* szDir, const char* szExt)
{
    char szWord[NVRAM_TEXT_SIZE];
    if (static_cast<int>(GetParameter("/Setup/FILE NAME", nullptr)) == 0) {
        GetParameter("/Setup/FILE NAME/WORD", szWord);
        if (szWord[0] == 0) {
            strcpy(szWord, "KS0000");
            SetParameter("/Setup/FILE NAME/WORD", szWord);
        }
    } else {
        time_t now = SYS_time(nullptr);
        struct tm tmNow;
        localtime_r(&now, &tmNow);
        snprintf(szWord, sizeof(szWord), "%02d%02d%02d", tmNow.tm_year % 100, tmNow.tm_mon + 1, tmNow.tm_mday);
    }

    int nCurrent = static_cast<int>(GetParameter("/Setup/FILE NAME/CURRENT", nullptr));
    if (nCurrent < 0)
        nCurrent = 0;  // a damaged counter restarts rather than giving negative numbers
    static const char* const s_aszExt[] = {"wav", "mov", "jpg"};
    char szPath[512];
    for (int k = nCurrent + 1; k <= FILE_NUMBER_MAX; ++k) {
        int bUsed = 0;
        for (const char* szUsedExt : s_aszExt) {
            snprintf(szPath, sizeof(szPath), "%s/%s_%04d.%s", szDir, szWord, k, szUsedExt);
            if (FileExists(szPath)) {
                bUsed = 1;
                break;
            }
        }
        if (!bUsed) {
            sprintf(szOut, "%s_%04d.%s", szWord, k, szExt);
            s_nPendingFileNumber = k;
            return 1;
        }
    }
    return 0;
}

int SaveFileNumber(void)
{
    if (s_nPendingFileNumber < 0)
        return 0;
    SetParameter("/Setup/FILE NAME/CURRENT", static_cast<float>(s_nPendingFileNumber));
    s_nPendingFileNumber = -1;
    return 1;
}

// ---- Paths and text --------------------------------------------------------

void ToRealPath(char* szOut, const char* szVPath)
{
    if (strcmp(szVPath, "/") == 0)
        strcpy(szOut, SDCARD_ROOT);
    else
        sprintf(szOut, "%s%s", SDCARD_ROOT, szVPath);
}

void ToRealPath(char* szOut, const char* szVDir, const char* szName)
{
    char szDir[512];
    ToRealPath(szDir, szVDir);
    size_t n = strlen(szDir);
    sprintf(szOut, "%s%s%s", szDir, (n > 0 && szDir[n - 1] == '/') ? "" : "/", szName);
}

void GetFileName(char* szOut, const char* szPath)
{
    const char* p = strrchr(szPath, '/');
    strcpy(szOut, p ? p + 1 : szPath);
}

void GetFileExt(char* szOut, const char* szPath)
{
    const char* p = strrchr(szPath, '.');
    strcpy(szOut, p ? p + 1 : "");
}

void Replace(char* sz, char cFrom, char cTo)
{
    for (; *sz; ++sz)
        if (*sz == cFrom)
            *sz = cTo;
}

void ToUpper(char* sz)
{
    for (; *sz; ++sz)
        *sz = static_cast<char>(toupper(static_cast<unsigned char>(*sz)));
}

int IsDigit(const char* sz)
{
    if (!sz || !*sz)
        return 0;
    for (; *sz; ++sz)
        if (!((*sz >= '0' && *sz <= '9') || *sz == '+' || *sz == '-' || *sz == '.'))
            return 0;
    return 1;
}

int dtoi(double d)
{
    char sz[64];
    snprintf(sz, sizeof(sz), "%.0f", d);
    return atoi(sz);
}

static int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return 0;
}

void Hex2Bytes(unsigned char* pOut, const char* szHex, int nUnused)
{
    // A shorter text gives zero bytes for the missing digits instead of reading past its end.
    size_t nLen = strnlen(szHex, 32);
    for (size_t i = 0; i < 16; ++i) {
        int hi = (2 * i < nLen) ? HexValue(szHex[2 * i]) : 0;
        int lo = (2 * i + 1 < nLen) ? HexValue(szHex[2 * i + 1]) : 0;
        pOut[i] = static_cast<unsigned char>((hi << 4) | lo);
    }
}

void GetMyPath(char* szBuf, int nSize)
{
    if (nSize <= 0)
        return;
    ssize_t n = SYS_readlink("/proc/self/exe", szBuf, static_cast<size_t>(nSize - 1));
    szBuf[n < 0 ? 0 : n] = 0;
}

int IsReadOnlyFile(const char* szPath)
{
    struct stat st;
    if (SYS_stat(szPath, &st) != 0)
        return 0;
    return (st.st_mode & S_IWUSR) ? 0 : 1;
}

long long GetFileSize(const char* szPath)
{
    struct stat st;
    if (SYS_stat(szPath, &st) != 0)
        return 0;
    return static_cast<long long>(st.st_size);
}

// ---- Versions --------------------------------------------------------------

static size_t VersionFieldEnd(const char* szVersion)
{
    return strcspn(szVersion, "_.");
}

int GetVersionNumber(const char* szVersion)
{
    char szField[16];
    size_t n = VersionFieldEnd(szVersion);
    if (n >= sizeof(szField))
        n = sizeof(szField) - 1;
    memcpy(szField, szVersion, n);
    szField[n] = 0;
    return atoi(szField);
}

void GetVersionText(char* szOut, int nSize, const char* szVersion)
{
    int nNumber = GetVersionNumber(szVersion);
    const char* szSecond = szVersion + VersionFieldEnd(szVersion);
    if (*szSecond)
        ++szSecond;
    int nSecond = static_cast<int>(VersionFieldEnd(szSecond));
    snprintf(szOut, static_cast<size_t>(nSize), "%d.%02d %.*s", nNumber / 100, nNumber % 100, nSecond, szSecond);
}

// ---- Size texts ------------------------------------------------------------

void IntToString(int nBytes, char* szOut)
{
    if (nBytes >= 0 && nBytes < 1024)
        sprintf(szOut, "%d byte", nBytes);
    else if (nBytes >= 1024 && nBytes < 1048576)
        sprintf(szOut, "%.1fK byte", nBytes / 1024.0);
    else if (nBytes >= 1048576 && nBytes < 1073741824)
        sprintf(szOut, "%.1fM byte", nBytes / 1048576.0);
    else
        sprintf(szOut, "%.1fG byte", nBytes / 1073741824.0);
}

void Int64ToString(long long nBytes, char* szOut)
{
    if (nBytes > 10737418240LL)
        sprintf(szOut, "%dGB", static_cast<int>(nBytes / 1073741824LL));
    else if (nBytes > 10485760LL)
        sprintf(szOut, "%dMB", static_cast<int>(nBytes / 1048576LL));
    else if (nBytes > 10240LL)
        sprintf(szOut, "%dKB", static_cast<int>(nBytes / 1024LL));
    else
        sprintf(szOut, "%dB", static_cast<int>(nBytes));
}

// ---- Shell and files -------------------------------------------------------

#define SHELL_COMMAND_SIZE 4096

int vsystemTick(const char* szCmd, unsigned long dwPeriodMS, void (*pfnTick)(void*), void* pCtx)
{
    char szShellCmd[SHELL_COMMAND_SIZE];
    if (SYS_ShellCommand(szCmd, szShellCmd, sizeof(szShellCmd)) != 0) {
        fprintf(stderr, " vsystem: command too long: %.64s...\n", szCmd);
        return -256;
    }

    pid_t pid = vfork();
    if (pid < 0)
        return -256;
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", szShellCmd, static_cast<char*>(nullptr));
        // Only async-signal-safe calls here: the child shares the parent's memory.
        char szMsg[64];
        int n = snprintf(szMsg, sizeof(szMsg), " vsystem ERR!=%d\n", errno);
        if (write(STDOUT_FILENO, szMsg, static_cast<size_t>(n)) < 0) {
        }
        _exit(126);
    }

    int nStatus = 0;
    for (;;) {
        pid_t r = waitpid(pid, &nStatus, WNOHANG);
        if (r == pid)
            break;
        if (r < 0 && errno != EINTR)
            return -256;
        if (pfnTick)
            pfnTick(pCtx);
        SleepMS(static_cast<DWORD>(dwPeriodMS));
    }
    if (WIFEXITED(nStatus))
        return WEXITSTATUS(nStatus);
    printf(" vsystem end return(%d)\n", nStatus);
    return -257;
}

int vsystem(const char* szCmd)
{
    return vsystemTick(szCmd, 100, nullptr, nullptr);
}

int System(const char* szCmd)
{
    char szQuiet[SHELL_COMMAND_SIZE];
    snprintf(szQuiet, sizeof(szQuiet), "%s >/dev/null 2>&1", szCmd);
    vsystem(szQuiet);
    return 1;
}

static void DrawFormatProgress(int nProgress)
{
    GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, 0);
    GRA_DrawStringSC(0, 90, GRA_WIDTH, "SD-CARD Formatting Now...", 0xFFFF, g_pFont_a24);
    DrawProgressBar(16, 120, 288, 24, nProgress);
    FB_Flip();
}

static void FormatProgressTick(void* pCtx)
{
    int& nProgress = *static_cast<int*>(pCtx);
    DrawFormatProgress(nProgress);
    ++nProgress;
}

int vsystem2(int& nProgress, const char* szCmd)
{
    return vsystemTick(szCmd, 100, FormatProgressTick, &nProgress);
}

static void DrawExtractProgress(void* pCtx)
{
    int& nProgress = *static_cast<int*>(pCtx);
    GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, 0);
    GRA_DrawStringSC(0, 30, GRA_WIDTH, "The compressed file is extracting.", 0xFFFF, g_pFont_a24);
    GRA_DrawStringSC(0, 60, GRA_WIDTH, "Please wait.", 0xFFFF, g_pFont_a24);
    GRA_DrawStringSC(0, 90, GRA_WIDTH, "(about 30 Seconds)", 0xFFFF, g_pFont_a24);
    DrawProgressBar(16, 140, 288, 24, nProgress);
    FB_Flip();
    ++nProgress;
}

int vsystem3(int& nProgress, const char* szCmd)
{
    return vsystemTick(szCmd, 300, DrawExtractProgress, &nProgress);
}

int ShellQuote(char* szOut, int nSize, const char* szText)
{
    int n = 0;
    auto put = [&](char c) {
        if (n < nSize)
            szOut[n] = c;
        ++n;
    };
    put('\'');
    for (const char* p = szText; *p; ++p) {
        if (*p == '\'') {
            // Close the quote, an escaped quote, open again.
            put('\'');
            put('\\');
            put('\'');
            put('\'');
        } else {
            put(*p);
        }
    }
    put('\'');
    put(0);
    if (n > nSize) {
        if (nSize > 0)
            szOut[0] = 0;
        return 0;
    }
    return 1;
}

int CopyFile(const char* szFrom, const char* szTo)
{
    FILE* fpIn = SYS_fopen(szFrom, "rb");
    if (!fpIn)
        return 0;
    FILE* fpOut = SYS_fopen(szTo, "wb");
    if (!fpOut) {
        fclose(fpIn);
        return 0;
    }
    char aBlock[1024];
    int bOk = 1;
    size_t n;
    while ((n = fread(aBlock, 1, sizeof(aBlock), fpIn)) > 0) {
        if (fwrite(aBlock, 1, n, fpOut) != n) {
            bOk = 0;
            break;
        }
    }
    if (ferror(fpIn))
        bOk = 0;
    fclose(fpIn);
    if (fclose(fpOut) != 0)
        bOk = 0;
    return bOk;
}

int IsMount(const char* szDevice)
{
    FILE* fp = SYS_fopen("/proc/mounts", "r");
    if (!fp)
        return 0;
    char szLine[1024];
    int bFound = 0;
    size_t nLen = strlen(szDevice);
    while (!bFound && fgets(szLine, sizeof(szLine), fp)) {
        if (strncmp(szLine, szDevice, nLen) == 0 && (szLine[nLen] == ' ' || szLine[nLen] == '\t'))
            bFound = 1;
    }
    fclose(fp);
    return bFound;
}

int Buffer_LoadFile(Buffer_Handle hBuf, const char* szPath)
{
    FILE* fp = SYS_fopen(szPath, "rb");
    if (!fp)
        return 0;
    size_t n = fread(Buffer_getUserPtr(hBuf), 1, static_cast<size_t>(Buffer_getSize(hBuf)), fp);
    int bError = ferror(fp);
    fclose(fp);
    if (bError)
        return 0;
    Buffer_setNumBytesUsed(hBuf, static_cast<int32_t>(n));
    return 1;
}

int Buffer_SaveFile(const char* szPath, Buffer_Handle hBuf)
{
    FILE* fp = SYS_fopen(szPath, "wb");
    if (!fp)
        return 0;
    size_t nUsed = static_cast<size_t>(Buffer_getNumBytesUsed(hBuf));
    int bOk = fwrite(Buffer_getUserPtr(hBuf), 1, nUsed, fp) == nUsed;
    if (fclose(fp) != 0)
        bOk = 0;
    SYS_sync();
    return bOk;
}

BufTab_Handle CreatePictureBufTab(int nCount, int nWidth, int nHeight)
{
    BufferGfx_Attrs gfxAttrs = BufferGfx_Attrs_DEFAULT;
    gfxAttrs.colorSpace = ColorSpace_UYVY;
    gfxAttrs.dim.width = nWidth;
    gfxAttrs.dim.height = nHeight;
    gfxAttrs.dim.lineLength = BufferGfx_calcLineLength(nWidth, ColorSpace_UYVY);
    return BufTab_create(nCount, BufferGfx_calcSize(nWidth, nHeight, ColorSpace_UYVY),
                         reinterpret_cast<Buffer_Attrs*>(&gfxAttrs));
}

void Buffer_BlackFill(Buffer_Handle hBuf)
{
    int nColorSpace = BufferGfx_getColorSpace(hBuf);
    if (nColorSpace != ColorSpace_UYVY) {
        printf("Unsupported color space (%d) for _Dmai_blackFill\n", nColorSpace);
        return;
    }
    BufferGfx_Dimensions dim;
    BufferGfx_getDimensions(hBuf, &dim);
    int8_t* pStart = Buffer_getUserPtr(hBuf) + dim.y * dim.lineLength + dim.x * 2;
    assert((reinterpret_cast<uintptr_t>(pStart) & 3) == 0);
    for (int y = 0; y < dim.height; ++y) {
        uint32_t* pWord = reinterpret_cast<uint32_t*>(pStart + y * dim.lineLength);
        for (int x = 0; x < dim.width / 2; ++x)
            pWord[x] = 0x10801080;
    }
}

// ---- Power -----------------------------------------------------------------

// Stops a recording and waits up to 5 s for the writers, or stops the player.
static void StopRecordingOrPlayer(void)
{
    if (REC_IsRecording()) {
        REC_Stop();
        for (int i = 0; i < 500 && (g_bMovWriterRunning || g_bWavWriterRunning); ++i)
            SleepMS(10);
    } else {
        PL_Stop(1);
        PL_Close();
        SleepMS(500);
    }
}

void PowerOffReq(int bNotice)
{
    if (g_bPowerOffReq)
        return;
    StopRecordingOrPlayer();
    SleepMS(100);
    g_dwPowerOffTime = bNotice ? 0 : GetTime() - 15000;
    g_bPowerOffReq = 1;
}

void PowerOff(void)
{
    printf("PowerOff()!!!\n");
    fflush(stdout);
    StopRecordingOrPlayer();
    NVRAM_GlobalSave();
    NVRAM_LocalSave();

    FB_SetEnable(1);
    GRA_BitBlt(0, 0, g_pBmp_shutdown_bg);
    FB_Flip();

    MSP430_DoPowerOffStart();
    SND_SetPlayVolume(0);
    SND_SetRecVolume(0);
    SND_DAC_Mute(1);
    LED_SetCamera(0);
    LED_SetPeak(0);
    LED_SetRec(0);

    for (int i = 0; i < 10; ++i) {
        SYS_sync();
        SleepMS(100);
    }
    System("umount " SDCARD_PARTITION);
    SleepMS(100);
    SleepMS(3400);
    SND_SetMixer("Zero Cross", "Off");
    SleepMS(500);

    MSP430_DoPowerOffStart();
    LED_SetBacklight(0);
    MSP430_DoPowerOff();
    for (;;)
        SleepMS(100);
}

// ---- Card format -----------------------------------------------------------

int FormatFat(int& nProgress, int bFat16)
{
    int nResult;
    vsystem2(nProgress, "umount " SDCARD_PARTITION);

    nResult = vsystem2(nProgress, "dd if=/dev/zero of=" SDCARD_DEVICE " bs=512 count=1");
    if (nResult != 0) {
        printf("error step1[%d][%d]\n", bFat16, nResult);
        return nResult;
    }

    nResult = vsystem2(nProgress, bFat16 ? "fdisk -u " SDCARD_DEVICE " < format_fat16.txt"
                                          : "fdisk -u " SDCARD_DEVICE " < format_fat32.txt");
    if (nResult != 0) {
        printf("error step2[%d][%d]\n", bFat16, nResult);
        return nResult;
    }

    vsystem2(nProgress, "umount " SDCARD_PARTITION);

    nResult = vsystem2(nProgress, bFat16 ? "mkdosfs " SDCARD_PARTITION " -n 'KESTRA7' -s 64 -v -F 16 -S 512"
                                          : "mkdosfs " SDCARD_PARTITION " -n 'KESTRA7' -s 64");
    if (nResult != 0) {
        printf("error step3[%d][%d]\n", bFat16, nResult);
        return nResult;
    }

    int hFd = SYS_open(SDCARD_PARTITION, O_RDWR);
    if (hFd < 0) {
        printf("error step4[%d][%d][%s]\n", bFat16, hFd, strerror(errno));
        return -1;
    }
    unsigned char aSector[512];
    if (SYS_read(hFd, aSector, sizeof(aSector)) != static_cast<ssize_t>(sizeof(aSector))) {
        printf("error step5[%d][%d][%s]\n", bFat16, hFd, strerror(errno));
        SYS_close(hFd);
        return -1;
    }
    memcpy(aSector + 3, SDCARD_OEM_NAME, 8);
    if (SYS_lseek(hFd, 0, SEEK_SET) != 0 ||
        SYS_write(hFd, aSector, sizeof(aSector)) != static_cast<ssize_t>(sizeof(aSector))) {
        printf("error step6[%d][%d][%s]\n", bFat16, hFd, strerror(errno));
        SYS_close(hFd);
        return -1;
    }
    SYS_close(hFd);
    SYS_sync();

    SYS_mkdir(SDCARD_MOUNT_POINT, 0777);
    if (!IsMount(SDCARD_PARTITION)) {
        nResult = vsystem2(nProgress, "mount " SDCARD_PARTITION " " SDCARD_MOUNT_POINT);
        if (nResult != 0) {
            printf("error step7[%d][%d]\n", bFat16, nResult);
            return nResult;
        }
    }
    return 0;
}

int FormatSdCard(void)
{
    int nProgress = 0;
    PL_Stop(1);
    PL_Close();

    if (FormatFat(nProgress, 0) != 0) {
        int nResult = FormatFat(nProgress, 1);
        if (nResult != 0) {
            printf("error step5[%d]\n", nResult);
            return g_ScreenManager.Error("Format Error\nFormat CARD");
        }
    }

    SYS_mkdir(SDCARD_ROOT "/MY_FOLDER", 0777);
    SYS_mkdir(SDCARD_ROOT "/UTILITY", 0777);
    SYS_sync();
    SYS_sync();

    for (; nProgress <= 100; ++nProgress) {
        DrawProgressBar(16, 120, 288, 24, nProgress);
        FB_Flip();
        SleepMS(50);
    }

    g_PlaylistCtrl.Init("/MY_FOLDER");
    return g_ScreenManager.Alert("Format OK.");
}
