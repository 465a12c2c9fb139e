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
# the device's ARM and qemu-user. The armel libraries the firmware links are
# unpacked into the build (scripts/arm-sysroot.sh): apt needs the armel
# architecture to fetch them.
packages+=(g++-arm-linux-gnueabi qemu-user)
armel_missing=0
dpkg --print-foreign-architectures | grep -qx armel || armel_missing=1

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && [ $armel_missing -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
[ $armel_missing -eq 1 ] && $sudo dpkg --add-architecture armel
$sudo apt-get update -qq
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
