// Process start-up and shutdown.
#ifndef STARTUP_H
#define STARTUP_H

// Steps before the media framework: settings, dimmer fix-up, temporary
// files, action mode.
void MAIN_LoadSettings(void);
// The whole life of the program: start-up, console, shutdown. Returns the
// process exit status.
int MAIN_Run(void);

#endif
