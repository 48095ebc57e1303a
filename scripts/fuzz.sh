#!/usr/bin/env bash
# Builds the fuzz targets under fuzz/ (clang, AddressSanitizer with LeakSanitizer, UBSan) into build-fuzz/
# and runs each for a bounded time, from its seeds in fuzz/seeds/<target>/ and the corpus
# it has grown in earlier runs. Not part of the test suite.
#   bash scripts/fuzz.sh                  every target, SORVANE_FUZZ_SECONDS (60) each
#   bash scripts/fuzz.sh fuzz_history     one target
# A finding stops that target and leaves its input as build-fuzz/fuzz/findings/<target>-*.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
build="${SORVANE_FUZZ_BUILD_DIR:-$top/build-fuzz}"
seconds="${SORVANE_FUZZ_SECONDS:-60}"

"$here/install-packages.sh" packages-build.txt packages-fuzz.txt
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DSORVANE_FUZZ=ON -DBUILD_TESTING=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" --target sorvane_fuzzers -j"${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"

targets=("$@")
if ((${#targets[@]} == 0)); then
  for seeds in "$top"/fuzz/seeds/*/; do targets+=("$(basename "$seeds")"); done
fi
findings="$build/fuzz/findings"
mkdir -p "$findings"
status=0
for target in "${targets[@]}"; do
  program="$build/fuzz/$target"
  [[ -x "$program" ]] || { echo "no fuzz target \"$target\"" >&2; status=1; continue; }
  corpus="$build/fuzz/corpus/$target"
  mkdir -p "$corpus"
  echo "== $target ($seconds s)"
  # The scratch files of the store targets stay out of the user's folders. Leaks are
  # looked for after every input; the sanitizer's quarantine of freed memory (256 MB by
  # default, several times that resident) is kept small, so that a growing resident size
  # is a real leak and not freed memory held back for use-after-free checks.
  if ! ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:quarantine_size_mb=32}" \
      QT_QPA_PLATFORM=offscreen HOME="$build/fuzz/home" "$program" -detect_leaks=1 -max_total_time="$seconds" \
      -artifact_prefix="$findings/$target-" "$corpus" "$top/fuzz/seeds/$target" 2>"$build/fuzz/$target.log"; then
    echo "finding: see $build/fuzz/$target.log and $findings/" >&2
    tail -30 "$build/fuzz/$target.log" >&2
    status=1
  else
    grep -E '^(#[0-9]+ +DONE|Done [0-9]+ runs)' "$build/fuzz/$target.log" | tail -1
  fi
done
exit $status
