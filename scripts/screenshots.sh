#!/usr/bin/env bash
# Builds, then renders every screen and state that has a picture scene (Tests/screenshots/
# *Scenes.cpp) offscreen to build/screenshots/<name>.png and prints the list.
# An optional argument limits the pictures to names matching a regular expression.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
build="${SORVANE_BUILD_DIR:-$top/build}"

"$here/install-packages.sh" packages-build.txt
"$here/build.sh" >/dev/null
out="$build/screenshots"
mkdir -p "$out"
QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software \
  "$build/tests/sorvane-screenshots" "$out" "${1:-.*}"
