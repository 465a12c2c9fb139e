// Process start-up, the thread set, the debug console and shutdown.
#include "Startup.h"

#include "Debug2Loop.h"
#include "Lib/Global.h"
#include "Lib/Log.h"
#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "Lib/Sys.h"
#include "Lib/Thread.h"
#include "Media/Writer.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/Audio/AudioPlay.h"
#include "Middleware/CODEC/Jpeg.h"
#include "Middleware/CODEC/Video.h"
#include "Middleware/GUI/AppMain.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPBE/Display.h"
#include "Middleware/VPFE/Capture.h"
#include "media-stack/Dmai.h"

#include <errno.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>

enum
{
    THREAD_APP_MAIN,
    THREAD_DISPLAY,
    THREAD_CAPTURE,
    THREAD_VIDEO,
    THREAD_WRITER,
    THREAD_AUDIO_CAPTURE,
    THREAD_AUDIO_PLAY,
    THREAD_STATE_CONTROL,
    THREAD_COUNT
};

static pthread_t s_aThread[THREAD_COUNT];
static int s_abCreated[THREAD_COUNT];

static CaptureEnv s_CaptureEnv;
static VideoEnv s_VideoEnv;
static WriterEnv s_WriterEnv;

static int SetPriority(pthread_attr_t* pAttr, int nBelowMax)
{
    struct sched_param param;
    memset(&param, 0, sizeof(param));
    param.sched_priority = sched_get_priority_max(SCHED_FIFO) - nBelowMax;
    if (pthread_attr_setschedparam(pAttr, &param) != 0) {
        ERR_PRINT("Failed to set scheduler parameters\n");
        return 0;
    }
    return 1;
}

static int CreateThread(int nIndex, const pthread_attr_t* pAttr, void* (*pfnEntry)(void*), void* pArg)
{
    int nResult = SYS_pthread_create(&s_aThread[nIndex], pAttr, pfnEntry, pArg);
    if (nResult != 0) {
        errno = nResult;
        return 0;
    }
    s_abCreated[nIndex] = 1;
    return 1;
}

// Creates the worker threads; 0 after the first failure (already reported).
static int StartThreads(Fifo_Handle* phFifo)
{
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) {
        ERR_PRINT("Failed to initialize thread attrs\n");
        return 0;
    }
    if (pthread_attr_setinheritsched(&attr, PTHREAD_EXPLICIT_SCHED) != 0) {
        ERR_PRINT("Failed to set schedule inheritance attribute\n");
        return 0;
    }
    if (pthread_attr_setschedpolicy(&attr, SCHED_FIFO) != 0) {
        ERR_PRINT("Failed to set FIFO scheduling policy\n");
        return 0;
    }

    if (!CreateThread(THREAD_APP_MAIN, nullptr, AppMain, nullptr)) {
        ERR_PRINT("Failed to create app main thread\n");
        return 0;
    }

    if (!SetPriority(&attr, 5))
        return 0;
    if (!CreateThread(THREAD_DISPLAY, &attr, DisplayThread, nullptr)) {
        ERR_PRINT("Failed to create display thread\n");
        return 0;
    }

    phFifo[0] = Fifo_create(&Fifo_Attrs_DEFAULT);
    phFifo[1] = Fifo_create(&Fifo_Attrs_DEFAULT);
    if (!phFifo[0] || !phFifo[1]) {
        ERR_PRINT("Failed to open display fifos\n");
        return 0;
    }
    s_CaptureEnv.hOutFifo = phFifo[1];
    s_CaptureEnv.hInFifo = phFifo[0];
    if (!SetPriority(&attr, 2))
        return 0;
    if (!CreateThread(THREAD_CAPTURE, &attr, CaptureTread, &s_CaptureEnv)) {
        ERR_PRINT("Failed to create capture thread\n");
        return 0;
    }

    phFifo[2] = Fifo_create(&Fifo_Attrs_DEFAULT);
    phFifo[3] = Fifo_create(&Fifo_Attrs_DEFAULT);
    if (!phFifo[2] || !phFifo[3]) {
        ERR_PRINT("Failed to open display fifos\n");
        return 0;
    }
    s_VideoEnv.hEncodedOut = phFifo[2];
    s_VideoEnv.hEncodedFree = phFifo[3];
    s_VideoEnv.hCaptureFree = phFifo[0];
    s_VideoEnv.hCaptureIn = phFifo[1];
    if (!SetPriority(&attr, 3))
        return 0;
    if (!CreateThread(THREAD_VIDEO, &attr, VideoThread, &s_VideoEnv)) {
        ERR_PRINT("Failed to create video thread\n");
        return 0;
    }

    s_WriterEnv.hFreeFifo = phFifo[3];
    s_WriterEnv.hInFifo = phFifo[2];
    if (!SetPriority(&attr, 4))
        return 0;
    if (!CreateThread(THREAD_WRITER, &attr, WriterThread, &s_WriterEnv)) {
        ERR_PRINT("Failed to create mov writer thread\n");
        return 0;
    }

    if (!SetPriority(&attr, 1))
        return 0;
    if (!CreateThread(THREAD_AUDIO_CAPTURE, &attr, AudioCaptureThread, nullptr)) {
        ERR_PRINT("Failed to create audio capture thread\n%s[%d]\n", strerror(errno), errno);
        return 0;
    }

    if (!SetPriority(&attr, 0))
        return 0;
    if (!CreateThread(THREAD_AUDIO_PLAY, &attr, AudioPlayThread, nullptr)) {
        ERR_PRINT("Failed to create audio play thread\n%s[%d]\n", strerror(errno), errno);
        return 0;
    }
    pthread_attr_destroy(&attr);

    SYS_setpriority(PRIO_PROCESS, 0, 0);
    Rendezvous_meet(g_hRendezvousInit);

    if (!CreateThread(THREAD_STATE_CONTROL, nullptr, StateControlThread, nullptr)) {
        ERR_PRINT("Failed to create state control thread\n");
        return 0;
    }
    return 1;
}

static void Shutdown(Fifo_Handle* phFifo, int bStarted)
{
    if (g_hRendezvousInit)
        Rendezvous_force(g_hRendezvousInit);
    if (g_hRendezvousCleanup) {
        // After a failed start some parties never exist: the joins below
        // wait for the threads that do.
        if (bStarted)
            Rendezvous_meet(g_hRendezvousCleanup);
        else
            Rendezvous_force(g_hRendezvousCleanup);
    }

    NVRAM_GlobalSave();
    NVRAM_LocalSave();

    for (int i = 0; i < THREAD_COUNT; ++i) {
        if (!s_abCreated[i])
            continue;
        int nResult = pthread_join(s_aThread[i], nullptr);
        if (nResult != 0)
            ERR_PRINT("pthread_join()\n%s\n", strerror(nResult));
    }

    for (int i = 3; i >= 0; --i)
        if (phFifo[i])
            Fifo_delete(phFifo[i]);
    if (g_hRendezvousCleanup)
        Rendezvous_delete(g_hRendezvousCleanup);
    if (g_hRendezvousInit)
        Rendezvous_delete(g_hRendezvousInit);
    if (g_hEngine)
        Engine_close(g_hEngine);
}

void MAIN_LoadSettings(void)
{
    NVRAM_Load();
    if (static_cast<int>(GetParameter("/Setup/DIMMER", nullptr)) == 0)
        SetParameter("/Setup/DIMMER", 4.0f);
    SYS_unlink("/sdcard/.tmp.jpg");
    SYS_unlink("/sdcard/.tmp.wav");

    int nMode = static_cast<int>(GetParameter("/GLOBAL/LastMode", nullptr));
    if (nMode < ACTION_MODE_MOVIE || nMode > ACTION_MODE_PHOTO) {
        // A damaged store must not stop the device at every power-on.
        fprintf(stderr, "/GLOBAL/LastMode=%d is no action mode, movie mode used\n", nMode);
        nMode = ACTION_MODE_MOVIE;
    }
    SetActionMode(nMode);
}

int MAIN_Run(void)
{
    MAIN_LoadSettings();

    Fifo_Handle ahFifo[4] = {nullptr, nullptr, nullptr, nullptr};  // A, B, C, D
    SYS_setpriority(PRIO_PROCESS, 0, -20);

    CERuntime_init();
    g_hEngine = Engine_open("encodedecode", nullptr, nullptr);

    signal(SIGINT, SIG_IGN);
    Dmai_init();
    Dmai_setLogLevel(1);

    if (!JPEG_Init()) {
        perror("JPEG_Init() failed.\n");
        return 0;
    }

    g_hRendezvousInit = Rendezvous_create(10, &Rendezvous_Attrs_DEFAULT);
    g_hRendezvousCleanup = Rendezvous_create(11, &Rendezvous_Attrs_DEFAULT);
    int bStarted = 0;
    if (!g_hRendezvousInit || !g_hRendezvousCleanup)
        ERR_PRINT("Failed to create Rendezvous objects\n");
    else
        bStarted = StartThreads(ahFifo);

    if (bStarted)
        Debug2Loop();

    g_bQuit = 1;
    Shutdown(ahFifo, bStarted);
    return 0;
}
