# The device's processor (ARM926EJ-S, ARMv5TE, soft float): Debian's armel
# cross compiler, with the armel libraries installed through multiarch
# (dpkg --add-architecture armel; scripts/install-deps.sh). Programs built
# here run on this machine under qemu-user only.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabi-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabi-g++)
set(CMAKE_C_FLAGS_INIT "-mcpu=arm926ej-s")
set(CMAKE_CXX_FLAGS_INIT "-mcpu=arm926ej-s")
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabi)

# Libraries and headers of the armel packages only; programs of the host.
set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabi /usr/lib/arm-linux-gnueabi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/arm-linux-gnueabi/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# The programs run on the armel libraries of multiarch (libc6, libstdc++6,
# libasound2 :armel), loader included: the cross toolchain's own libc in
# /usr/arm-linux-gnueabi is another build, and mixing the two crashes.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /)
