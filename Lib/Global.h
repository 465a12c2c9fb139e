// Process-wide state of the start-up: quit flag, action mode, engine and
// meeting points.
#ifndef LIB_GLOBAL_H
#define LIB_GLOBAL_H

#include "media-stack/Dmai.h"

enum
{
    ACTION_MODE_MOVIE = 0,
    ACTION_MODE_SOUND = 1,
    ACTION_MODE_PHOTO = 2,
};

extern int g_bQuit;
extern int g_nActionMode;
extern int g_bRecorder;
extern Engine_Handle g_hEngine;                // codec engine "encodedecode"
extern Rendezvous_Handle g_hRendezvousInit;     // 10 parties
extern Rendezvous_Handle g_hRendezvousCleanup;  // 11 parties

void SetActionMode(int nMode);
int GetActionMode(void);
void gblSetQuit(void);

// Body of a long-lived thread whose work is not built yet: meets the start
// point, waits for quit and meets the end point.
void gblIdleThreadBody(void);

#endif
