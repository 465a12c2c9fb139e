// Card, USB and HDMI watching arrive with the state control issue; until then
// the thread serves sync requests, counts the card as usable while its
// partition is mounted (measuring its space when it comes), and takes part
// in the end meeting.
#include "Middleware/GUI/StateControl.h"

#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Sys.h"
#include "Lib/Thread.h"
#include "Media/Recovery.h"
#include "Media/RemainMedia.h"

int g_bSdCard = 0;
int g_bSdCardFormatReq = 0;
int g_bSdCardFormatting = 0;
int g_bUsbMode = 0;
int g_bExtAudio = 0;
int g_bHdmi = 0;
int g_bCameraFlip = 0;
int g_bSyncReq = 0;
int g_bPowerOffReq = 0;
int g_bHdmiOffReq = 0;

void* StateControlThread(void* pArg)
{
    while (!g_bQuit) {
        int bMounted = IsMount(SDCARD_PARTITION);
        if (bMounted && !g_bSdCard) {
            // Card accepted: recordings a power loss cut short are mended
            // before anything lists the card's files.
            RCV_RecoverCard();
            g_RemainMedia.Update();  // a card came: its space
        }
        g_bSdCard = bMounted;
        if (g_bSyncReq) {
            g_bSyncReq = 0;
            SYS_sync();
        }
        SleepMS(333);
    }
    Rendezvous_meet(g_hRendezvousCleanup);
    return nullptr;
}
