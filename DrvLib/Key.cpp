// Key input arrives with the device drivers; until then no key is pressed.
#include "DrvLib/Key.h"

#include <string.h>

int KEY_Init(void) { return 0; }
unsigned long KEY_Get(int bRead, int* pbHoldBlocked) { return 0; }
void KEY_EnableHold(int bEnable) {}
int KEY_GetName(char* szOut, int nMask, int bAll)
{
    szOut[0] = 0;
    return 0;
}
void KEY_Exit(void) {}
