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

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
