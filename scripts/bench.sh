#!/usr/bin/env bash
# Builds and runs the benchmarks of one area and prints their figures, e.g.
#   bash scripts/bench.sh dictation
# An area's benchmarks live in bench/<area>/ and build into <build>/bench/<area>/;
# every program there is run in turn. Without an area, every area runs.
#   bash scripts/bench.sh all
# runs every area and prints the figures they mark as "figure:" lines as one table
# (minimum, median, aim, anchor); what each program printed is kept in
# <build>/bench-all.log.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
build="${SORVANE_BUILD_DIR:-$top/build}"

"$here/install-packages.sh" packages-build.txt packages-test.txt
"$here/build.sh" >/dev/null

table=0
if [[ "${1:-}" == all ]]; then
  table=1
  shift
fi
areas=("$@")
if ((${#areas[@]} == 0)); then
  for dir in "$build"/bench/*/; do [[ -d "$dir" ]] && areas+=("$(basename "$dir")"); done
fi
run_areas() {
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
    if [[ "$area" == session ]]; then
      # These drive the built program on the test session's display and sound server.
      SORVANE_SESSION_COMMAND="$program" "$here/test.sh" || status=1
    else
      QT_QPA_PLATFORM=offscreen "$program" || status=1
    fi
    echo
  done
done
return $status
}

if ((table == 0)); then
  run_areas
  exit $?
fi
log="$build/bench-all.log"
status=0
run_areas 2>&1 | tee "$log" | grep --line-buffered '^== ' >&2 || status=1
grep -q . "$log" || status=1
{
  echo "figure|min|median|unit|aim|anchor (min / median)"
  sed -n 's/^figure: //p' "$log" | sed 's/ | /|/g'
} | column -t -s '|'
echo "(every program's output: $log)"
exit $status
