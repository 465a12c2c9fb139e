#!/usr/bin/env bash
# Builds the fuzz targets (clang, build-fuzz/) and runs some of them, niced:
#   scripts/fuzz.sh SECONDS TARGET...   (settings_store playlist_file ...)
# Each target's new inputs go to build-fuzz/fuzz/corpus/TARGET, its
# findings (crash-*, leak-*, oom-*, timeout-*) to build-fuzz/fuzz/findings/.
# A finding is replayed with: build-fuzz/tests/.../TARGET_fuzz FILE
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?seconds}; shift
[ -f build-fuzz/build.ninja ] || cmake -S . -B build-fuzz -G Ninja -DVREC_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
nice cmake --build build-fuzz --target fuzz_targets
mkdir -p build-fuzz/fuzz/findings
for target in "$@"; do
  exe=$(find build-fuzz/tests -name "${target}_fuzz" -type f -perm -u+x | head -1)
  seeds=$(grep -rho "\"$target\", \"[^\"]*\"" tests --include=*.cpp | sed 's/.*, "//; s/"$//' | head -1)
  [ -n "$exe" ] && [ -n "$seeds" ] || { echo "no fuzz target $target" >&2; exit 2; }
  mkdir -p "build-fuzz/fuzz/corpus/$target"
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 nice "$exe" -max_total_time="$seconds" -close_fd_mask=3 \
    -print_final_stats=1 -artifact_prefix="$PWD/build-fuzz/fuzz/findings/$target-" \
    "build-fuzz/fuzz/corpus/$target" "$seeds" > "build-fuzz/fuzz/$target.log" 2>&1 &
  echo "$target: pid $!, log build-fuzz/fuzz/$target.log"
done
wait
