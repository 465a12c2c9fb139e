// Log lines of the form "ERR : <module> [<line>] :<text>" on standard error.
#ifndef LIB_LOG_H
#define LIB_LOG_H

// The module is the source path without its extension ("DrvLib/Sound").
void LOG_Error(const char* file, int line, const char* fmt, ...) __attribute__((format(printf, 3, 4)));

#define ERR_PRINT(...) LOG_Error(__FILE__, __LINE__, __VA_ARGS__)

#endif
