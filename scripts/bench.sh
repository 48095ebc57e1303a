#!/usr/bin/env bash
# Builds Sorvane and runs the benchmark programs of one area (bench/<area>/), which
# print their own figures:  bash scripts/bench.sh <area>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
build="${SORVANE_BUILD_DIR:-$top/build}"
area="${1:?usage: bash scripts/bench.sh <area>}"
shift

"$here/build.sh" >/dev/null

status=0
found=0
for program in "$build/bench/$area"/*; do
  [[ -f "$program" && -x "$program" ]] || continue
  found=1
  echo "== $(basename "$program")"
  QT_QPA_PLATFORM=offscreen "$program" "$@" || status=1
done
[[ $found == 1 ]] || { echo "no benchmark programs in $build/bench/$area"; exit 1; }
exit $status
