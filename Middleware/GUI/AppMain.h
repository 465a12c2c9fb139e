// The application main thread: devices, GUI, screens and the main loop.
#ifndef MIDDLEWARE_GUI_APPMAIN_H
#define MIDDLEWARE_GUI_APPMAIN_H

#include "Lib/Thread.h"

extern DWORD g_dwPowerOffTime;   // when "Battery Empty" was announced, 0 before
extern int g_FW_UPDATE;
extern int g_FW_UPDATE_DEBUG;
extern const char* g_strInitMode;

void* AppMain(void* pArg);
void AppMainLoop(void);

#endif
