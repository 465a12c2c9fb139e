// Runs the firmware's own start of the settings, a settings change, a card
// format and power-off on the board named by VRECSIM_ROOT, as the device
// does them. The isolation test watches it with strace.
#include "DrvLib/Msp430.h"
#include "Lib/Common.h"
#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Startup.h"

#include <pthread.h>
#include <unistd.h>

#include <stdio.h>

// The format ends with a box; it is answered as soon as it opens.
static void* AnswerBoxes(void*)
{
    for (;;) {
        if (__atomic_load_n(&g_ScreenManager.m_nBoxState, __ATOMIC_ACQUIRE) == BOX_CONFIRM &&
            __atomic_load_n(&g_ScreenManager.m_nBoxResult, __ATOMIC_ACQUIRE) == -1) {
            printf("probe: box \"%s\" answered\n", g_ScreenManager.m_szBoxText);
            fflush(stdout);
            __atomic_store_n(&g_ScreenManager.m_nBoxResult, 1, __ATOMIC_RELEASE);
        }
        usleep(10 * 1000);
    }
    return nullptr;
}

int main()
{
    MAIN_LoadSettings();
    if (!MSP430_Init()) {
        fprintf(stderr, "probe: no power controller\n");
        return 2;
    }
    SetParameter("/Setup/AUTO OFF", 5.0f);
    SetParameter("/LOCAL/LastFile", "KS0000_0001.wav");
    NVRAM_GlobalSave();
    pthread_t answerer;
    pthread_create(&answerer, nullptr, AnswerBoxes, nullptr);
    FormatSdCard();
    PowerOff();
}
