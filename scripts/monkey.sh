#!/usr/bin/env bash
# Runs the random user on fresh boards, one after the other, niced:
#   scripts/monkey.sh MINUTES SEED...     (for example: 5 1 2 3 4 5 6 7 8 9 10)
# Each seed gets build/monkey/seed-N/ (board, scenario, report); the exit
# status is the number of seeds that broke an invariant. A failed report
# ends with the seed and the events as scenario steps, to replay them.
set -uo pipefail
cd "$(dirname "$0")/.."
minutes=${1:?minutes}; shift
[ -x build/vrecsim ] || { echo "build the project first (make build)" >&2; exit 2; }
# A copy of the programs, so that a rebuild during the run changes nothing.
bin=build/monkey/bin
rm -rf "$bin" && mkdir -p "$bin" && cp build/vrecsim build/app "$bin/" && cp -r build/approot "$bin/approot"
failed=0
for seed in "$@"; do
  dir=build/monkey/seed-$seed
  rm -rf "$dir" && mkdir -p "$dir"
  printf 'monkey %s %sm\n' "$seed" "$minutes" > "$dir/monkey.vsc"
  if nice "$bin/vrecsim" --app "$PWD/$bin/app" --approot "$PWD/$bin/approot" --headless --quiet --root "$dir/board" --out "$dir" "$dir/monkey.vsc" > "$dir/report.txt" 2>&1; then
    echo "seed $seed: $(grep -h "^monkey $seed: .*events" "$dir/report.txt")"
  else
    failed=$((failed + 1))
    echo "seed $seed: FAILED, see $dir/report.txt"
  fi
done
exit $failed
