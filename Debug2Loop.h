// The debug console on standard input.
#ifndef DEBUG2LOOP_H
#define DEBUG2LOOP_H

// Runs until "quit" (or, after end of input, until the program quits).
void Debug2Loop(void);
// Acts on one console line; returns 0 for "quit", 1 otherwise.
int Debug2Command(const char* szLine);

#endif
