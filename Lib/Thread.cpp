#include "Lib/Thread.h"

#include "Lib/Log.h"
#include "Lib/Sys.h"

#include <assert.h>
#include <errno.h>
#include <pthread.h>
#include <sched.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void* ThreadEntry(void* pArg)
{
    TH_THREAD* pThread = static_cast<TH_THREAD*>(pArg);
    pthread_detach(pthread_self());
    pThread->pRoutine(pThread->pArg);
    return nullptr;
}

TH_THREAD* TH_CreateThread(TH_ROUTINE pRoutine, void* pContext, void* pArg)
{
    TH_THREAD* pThread = static_cast<TH_THREAD*>(malloc(sizeof(TH_THREAD)));
    assert(pThread != nullptr && "Lib/Thread");
    if (!pThread)
        abort();
    pThread->pRoutine = pRoutine;
    pThread->pContext = pContext;
    pThread->pArg = pArg;

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setinheritsched(&attr, PTHREAD_EXPLICIT_SCHED);
    pthread_attr_setschedpolicy(&attr, SCHED_FIFO);
    struct sched_param param;
    memset(&param, 0, sizeof(param));
    param.sched_priority = sched_get_priority_max(SCHED_FIFO) - 5;
    pthread_attr_setschedparam(&attr, &param);

    pthread_t tid;
    int nResult = SYS_pthread_create(&tid, &attr, ThreadEntry, pThread);
    pthread_attr_destroy(&attr);
    if (nResult != 0) {
        errno = nResult;
        ERR_PRINT("pthread_create error!!\n%s[%d]\n", strerror(errno), errno);
        assert(!"Lib/Thread");
        abort();
    }
    return pThread;
}

void* TH_CreateLock(void)
{
    pthread_mutex_t* pMutex = static_cast<pthread_mutex_t*>(malloc(sizeof(pthread_mutex_t)));
    if (!pMutex)
        return nullptr;
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(pMutex, &attr);
    pthread_mutexattr_destroy(&attr);
    return pMutex;
}

int TH_DeleteLock(void* hLock)
{
    if (!hLock)
        return 0;
    pthread_mutex_destroy(static_cast<pthread_mutex_t*>(hLock));
    free(hLock);
    return 1;
}

int TH_Lock(void* hLock)
{
    if (!hLock)
        return 0;
    pthread_mutex_lock(static_cast<pthread_mutex_t*>(hLock));
    return 1;
}

int TH_Unlock(void* hLock)
{
    if (!hLock)
        return 0;
    pthread_mutex_unlock(static_cast<pthread_mutex_t*>(hLock));
    return 1;
}

DWORD GetTime(void)
{
    struct timeval tv;
    SYS_gettimeofday(&tv);
    return static_cast<DWORD>(static_cast<unsigned long long>(tv.tv_sec) * 1000ULL + tv.tv_usec / 1000);
}

DWORD DeltaTime(DWORD dwFrom, DWORD dwTo)
{
    return static_cast<DWORD>(dwTo - dwFrom);
}

void SleepMS(DWORD dwMS)
{
    struct timeval tv;
    tv.tv_sec = dwMS / 1000;
    tv.tv_usec = (dwMS % 1000) * 1000;
    SYS_select(0, nullptr, nullptr, nullptr, &tv);
}

void SleepUS(DWORD dwUS)
{
    struct timeval tv;
    tv.tv_sec = dwUS / 1000000;
    tv.tv_usec = dwUS % 1000000;
    SYS_select(0, nullptr, nullptr, nullptr, &tv);
}

long long GetTimeUS(void)
{
    struct timeval tv;
    SYS_gettimeofday(&tv);
    return static_cast<long long>(tv.tv_sec) * 1000000LL + tv.tv_usec;
}
