// Compiled on its own with the version the build asks for, so that one
// build can link the firmware under more than one version.
#include "Lib/Version.h"

#ifndef VREC_VERSION_SYSTEM
#error "VREC_VERSION_SYSTEM must give the firmware's version text"
#endif

const char g_szVersionSystem[] = VREC_VERSION_SYSTEM;
