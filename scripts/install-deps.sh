#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the simulator need,
# when any of them is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config make
  libgtest-dev libgmock-dev libbenchmark-dev
  libasound2-dev alsa-utils
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev ffmpeg
  libjpeg62-turbo-dev libjpeg-turbo-progs libpng-dev
  libfreetype-dev fonts-dejavu-core fonts-freefont-ttf librsvg2-dev librsvg2-bin
  libsdl2-dev xvfb
  fdisk dosfstools sox strace imagemagick libyuv-dev
  clang libclang-rt-14-dev
)

# The device build (make build-arm, test-arm): Debian's cross compiler for
# the device's ARM, qemu-user, and, through multiarch, the armel libraries
# the firmware links (add the armel -dev package of any library the firmware
# comes to link) and those its unit tests run on.
packages+=(g++-arm-linux-gnueabi qemu-user)
device_packages=(libasound2-dev:armel libstdc++6:armel)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
device_missing=()
for p in "${device_packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    device_missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && [ ${#device_missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
if [ ${#device_missing[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx armel; then
  $sudo dpkg --add-architecture armel
fi
$sudo apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# Multiarch installs a library only at the version the host has: should the
# archive's armel builds lag behind, the device build says so and is left out
# (make test-arm) rather than stopping everything else.
if [ ${#device_missing[@]} -gt 0 ]; then
  echo "Installing: ${device_missing[*]}"
  $sudo apt-get install -y -qq --no-install-recommends "${device_missing[@]}" ||
    echo "WARNING: the armel libraries (${device_missing[*]}) cannot be installed beside the host's; the device build is left out" >&2
fi
