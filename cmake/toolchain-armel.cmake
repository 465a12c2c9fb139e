# The device's processor (ARM926EJ-S, ARMv5TE, soft float): Debian's armel
# cross compiler with its own C and C++ run-time, and the armel libraries the
# firmware links unpacked in VREC_ARM_SYSROOT (scripts/arm-sysroot.sh). Programs
# built here run on this machine under qemu-user only.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabi-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabi-g++)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabi)

set(VREC_ARM_SYSROOT "" CACHE PATH "Folder with the armel libraries (scripts/arm-sysroot.sh)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VREC_ARM_SYSROOT)
if(NOT IS_DIRECTORY "${VREC_ARM_SYSROOT}/usr/lib/arm-linux-gnueabi")
  message(FATAL_ERROR "VREC_ARM_SYSROOT (${VREC_ARM_SYSROOT}) holds no armel libraries: scripts/arm-sysroot.sh DIR")
endif()
set(arch_libs "${VREC_ARM_SYSROOT}/lib/arm-linux-gnueabi:${VREC_ARM_SYSROOT}/usr/lib/arm-linux-gnueabi")
set(CMAKE_C_FLAGS_INIT "-mcpu=arm926ej-s")
set(CMAKE_CXX_FLAGS_INIT "-mcpu=arm926ej-s")
include_directories(SYSTEM ${VREC_ARM_SYSROOT}/usr/include/arm-linux-gnueabi ${VREC_ARM_SYSROOT}/usr/include)
string(REPLACE ":" ",-rpath-link," rpath_link "${arch_libs}")
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-L${VREC_ARM_SYSROOT}/lib/arm-linux-gnueabi -L${VREC_ARM_SYSROOT}/usr/lib/arm-linux-gnueabi -Wl,-rpath-link,${rpath_link}")

# Libraries and headers from the armel folder; programs of the host.
set(CMAKE_FIND_ROOT_PATH ${VREC_ARM_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "${VREC_ARM_SYSROOT}/usr/lib/arm-linux-gnueabi/pkgconfig:${VREC_ARM_SYSROOT}/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${VREC_ARM_SYSROOT}")
set(ENV{PKG_CONFIG_PATH} "")

# The cross compiler's run-time first, then the armel libraries.
set(CMAKE_CROSSCOMPILING_EMULATOR
    qemu-arm -L /usr/arm-linux-gnueabi -E LD_LIBRARY_PATH=/usr/arm-linux-gnueabi/lib:${arch_libs})
