// Shared helpers: recording file names, card paths, text and size helpers,
// shell commands, file copy, buffer files, card format and power-off.
#ifndef LIB_COMMON_H
#define LIB_COMMON_H

#include "media-stack/Dmai.h"

#define SDCARD_ROOT "/sdcard"
#define SDCARD_DEVICE "/dev/mmcblk0"
#define SDCARD_PARTITION "/dev/mmcblk0p1"
#define SDCARD_MOUNT_POINT "/media/mmcblk0p1"
#define SDCARD_OEM_NAME "KS   FAT"

// Recording file names.
int GetNextFileName(char* szOut, const char* szDir, const char* szExt);
int SaveFileNumber(void);

// Paths and text.
void ToRealPath(char* szOut, const char* szVPath);
void ToRealPath(char* szOut, const char* szVDir, const char* szName);
void GetFileName(char* szOut, const char* szPath);
void GetFileExt(char* szOut, const char* szPath);
void Replace(char* sz, char cFrom, char cTo);
void ToUpper(char* sz);
int IsDigit(const char* sz);
int dtoi(double d);
void Hex2Bytes(unsigned char* pOut, const char* szHex, int nUnused);
void GetMyPath(char* szBuf, int nSize);
int IsReadOnlyFile(const char* szPath);
long long GetFileSize(const char* szPath);

// A version text such as "0101.0137": its first field (up to the first "_"
// or ".") as a number (101), and the version shown to the user as
// "%d.%02d %s" ("1.01 0137").
int GetVersionNumber(const char* szVersion);
void GetVersionText(char* szOut, int nSize, const char* szVersion);

// Size texts.
void IntToString(int nBytes, char* szOut);
void Int64ToString(long long nBytes, char* szOut);

// Shell and files.
int vsystem(const char* szCmd);
int System(const char* szCmd);
int vsystem2(int& nProgress, const char* szCmd);
// Like vsystem2, with the firmware update's extraction picture every 300 ms.
int vsystem3(int& nProgress, const char* szCmd);
// The runner behind them: polls for the end of the command every
// dwPeriodMS and calls pfnTick (if any) at each poll.
int vsystemTick(const char* szCmd, unsigned long dwPeriodMS, void (*pfnTick)(void*), void* pCtx);
// Quotes a text as one word for /bin/sh: in single quotes, each embedded
// single quote written '\''. Every name that comes from the card goes into
// a command line through it. Returns 1, or 0 (and an empty text) when the
// quoted text does not fit in nSize bytes.
int ShellQuote(char* szOut, int nSize, const char* szText);
int CopyFile(const char* szFrom, const char* szTo);
int IsMount(const char* szDevice);
int Buffer_LoadFile(Buffer_Handle hBuf, const char* szPath);
int Buffer_SaveFile(const char* szPath, Buffer_Handle hBuf);
void Buffer_BlackFill(Buffer_Handle hBuf);
// A table of nCount 4:2:2 pictures of nWidth x nHeight (line length width x 2).
BufTab_Handle CreatePictureBufTab(int nCount, int nWidth, int nHeight);

// Power and card.
void PowerOffReq(int bNotice);
void PowerOff(void) __attribute__((noreturn));
int FormatFat(int& nProgress, int bFat16);
int FormatSdCard(void);

#endif
