#!/usr/bin/env bash
# Lays out the armel libraries that the device build links (and its unit
# tests run on under qemu-user) in DIR: Debian's armel packages of them and
# of everything they need, downloaded and unpacked, not installed. The cross
# compiler brings the C and C++ run-time itself.
#   scripts/arm-sysroot.sh DIR
# Multiarch cannot install them beside the host's packages while the
# archive's armel builds of shared libraries (zlib1g, libssl3, liblzma5, ...)
# lag behind the host's versions; unpacked here they need no matching.
set -euo pipefail
dir=${1:?directory}

# The firmware's libraries: add the armel -dev package of any library the
# firmware comes to link.
libraries=(libasound2-dev libavcodec-dev libavutil-dev libjpeg62-turbo-dev libyuv-dev)
# What the cross toolchain brings, and programs nobody links.
toolchain='^(libc6|libc6-dev|libc-dev-bin|linux-libc-dev|libgcc-s1|libstdc\+\+6|gcc-12-base|libatomic1|libgomp1|libnsl2|libnsl-dev|libcrypt-dev|libtirpc-dev|rpcsvc-proto)$'
programs='^(dpkg|tar|install-info|cdebconf|sysvinit-utils|libdebian-installer4|libnewt0\.52|libslang2|libtextwrap1|xfonts-utils|shared-mime-info|fontconfig|libavcodec-extra59)$'

stamp="$dir/.packages"
wanted="${libraries[*]}"
if [ -f "$stamp" ] && [ "$(head -1 "$stamp")" = "$wanted" ]; then
  exit 0
fi

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
if ! apt-cache show libasound2-dev:armel > /dev/null 2>&1; then
  if ! dpkg --print-foreign-architectures | grep -qx armel; then
    $sudo dpkg --add-architecture armel
  fi
  $sudo apt-get update -qq
fi

closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
            --no-replaces --no-enhances "${libraries[@]/%/:armel}" |
          sed -n 's/^\([a-z0-9][a-z0-9.+-]*\):armel$/\1/p' | sort -u |
          grep -Ev "$toolchain" | grep -Ev "$programs")
rm -rf "$dir"
mkdir -p "$dir/debs"
echo "Unpacking $(echo "$closure" | wc -l) armel packages into $dir"
(cd "$dir/debs" && apt-get download -qq ${sudo:--o APT::Sandbox::User=root} $(echo "$closure" | sed 's/$/:armel/'))
for deb in "$dir"/debs/*.deb; do
  dpkg-deb -x "$deb" "$dir"
done
rm -rf "$dir/debs"
{ echo "$wanted"; echo "$closure"; } > "$stamp"
