#!/usr/bin/env bash
# Configures and builds Sorvane into build/ (laid out like an install: bin/, libexec/sorvane/, share/sorvane/),
# with the speech engines and llama-server it ships (built once, see build-engines.sh).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${SORVANE_BUILD_DIR:-$top/build}"
launcher=()
# Rebuilds of several checkouts share compiled objects where ccache is installed.
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
"$top/scripts/build-engines.sh" "$build"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" "${launcher[@]}" "$@"
cmake --build "$build" -j"${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
