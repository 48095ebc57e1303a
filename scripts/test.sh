#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite inside a private
# desktop session: its own Xvfb display, its own D-Bus session bus, and whatever the
# scripts in test-session.d/ start (each may start a daemon; all are stopped at the end).
# Arguments are passed to ctest, e.g. scripts/test.sh -L core
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
build="${SORVANE_BUILD_DIR:-$top/build}"

"$here/install-packages.sh" packages-build.txt packages-test.txt
if [[ -n "${SORVANE_SESSION_COMMAND:-}" ]]; then "$here/build.sh" >/dev/null; else "$here/build.sh"; fi

session_dir=$(mktemp -d /tmp/sorvane-test-session.XXXXXX)
session_pids=()
session_track_pid() { session_pids+=("$1"); }
stop_session() {
  local pid
  for ((i=${#session_pids[@]}-1; i>=0; i--)); do
    pid=${session_pids[$i]}
    kill "$pid" 2>/dev/null || true
  done
  sleep 0.2
  for pid in "${session_pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  rm -rf "$session_dir"
}
trap stop_session EXIT

export XDG_RUNTIME_DIR="$session_dir/runtime"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY

# A display of our own.
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 1280x1024x24 -nolisten tcp -noreset \
  >"$session_dir/xvfb.log" 2>&1 &
session_track_pid $!
display_number=""
xvfb_pid=$!
# A busy machine can take a while to start it: wait up to a minute, unless it ended.
for _ in $(seq 1 600); do
  if read -r -t 0.1 display_number <&"$display_fd" && [[ -n "$display_number" ]]; then break; fi
  kill -0 "$xvfb_pid" 2>/dev/null || break
done
[[ -n "$display_number" ]] || { echo "Xvfb did not start"; cat "$session_dir/xvfb.log"; exit 1; }
export DISPLAY=":$display_number"

# A session bus of our own.
dbus_info=$(dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$dbus_info")
# Tests that need the session fail (rather than skip) when they find it missing.
export SORVANE_TEST_SESSION=1
session_track_pid "$(sed -n 2p <<<"$dbus_info")"

for fragment in "$here"/test-session.d/*.sh; do
  [[ -e "$fragment" ]] || continue
  # shellcheck source=/dev/null
  source "$fragment"
done

cd "$build"
# scripts/bench.sh runs the benchmarks that need the session in it instead of the tests.
if [[ -n "${SORVANE_SESSION_COMMAND:-}" ]]; then
  "$SORVANE_SESSION_COMMAND"
  exit $?
fi
ctest --output-on-failure -j"$(nproc)" "$@"
