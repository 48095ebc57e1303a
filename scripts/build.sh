#!/usr/bin/env bash
# Configures and builds Sorvane into build/ (laid out like an install: bin/, libexec/sorvane/, share/sorvane/).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${SORVANE_BUILD_DIR:-$top/build}"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" "$@"
cmake --build "$build" -j"$(nproc)"
