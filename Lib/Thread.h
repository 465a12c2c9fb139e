// Threads, recursive locks and the time helpers.
#ifndef LIB_THREAD_H
#define LIB_THREAD_H

#include <stdint.h>

typedef uint32_t DWORD;
typedef void* (*TH_ROUTINE)(void*);

// The handle record of a thread: routine, context value, argument.
struct TH_THREAD
{
    TH_ROUTINE pRoutine;
    void* pContext;
    void* pArg;
};

TH_THREAD* TH_CreateThread(TH_ROUTINE pRoutine, void* pContext, void* pArg);

void* TH_CreateLock(void);
int TH_DeleteLock(void* hLock);
int TH_Lock(void* hLock);
int TH_Unlock(void* hLock);

DWORD GetTime(void);                      // wall-clock milliseconds, wrapping at 2^32
DWORD DeltaTime(DWORD dwFrom, DWORD dwTo); // dwTo - dwFrom across a wrap
void SleepMS(DWORD dwMS);
void SleepUS(DWORD dwUS);
long long GetTimeUS(void);

#endif
