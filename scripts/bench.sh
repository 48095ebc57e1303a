#!/usr/bin/env bash
# Builds and runs the benchmarks of one area and prints their figures, e.g.
#   bash scripts/bench.sh dictation
# An area's benchmarks live in bench/<area>/ and build into <build>/bench/<area>/;
# every program there is run in turn. Without an area, every area runs.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
build="${SORVANE_BUILD_DIR:-$top/build}"

"$here/install-packages.sh" packages-build.txt packages-test.txt
"$here/build.sh" >/dev/null

areas=("$@")
if ((${#areas[@]} == 0)); then
  for dir in "$build"/bench/*/; do [[ -d "$dir" ]] && areas+=("$(basename "$dir")"); done
fi
status=0
for area in "${areas[@]}"; do
  dir="$build/bench/$area"
  if [[ ! -d "$dir" ]]; then
    echo "no benchmarks for \"$area\" (looked in $dir)" >&2
    status=1
    continue
  fi
  for program in "$dir"/*; do
    [[ -f "$program" && -x "$program" ]] || continue
    echo "== $area/$(basename "$program")"
    QT_QPA_PLATFORM=offscreen "$program" || status=1
    echo
  done
done
exit $status
