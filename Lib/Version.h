// The version of the running firmware, a build setting ("0101.0137": the
// first field is the version x 100, the second the build).
#ifndef LIB_VERSION_H
#define LIB_VERSION_H

extern const char g_szVersionSystem[];

#endif
