// Runs the firmware's own start of the settings, a settings change, a card
// format and power-off on the board named by VRECSIM_ROOT, as the device
// does them. The isolation test watches it with strace.
#include "DrvLib/Msp430.h"
#include "Lib/Common.h"
#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "Startup.h"

#include <stdio.h>

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
    FormatSdCard();
    PowerOff();
}
