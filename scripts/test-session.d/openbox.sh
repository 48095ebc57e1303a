# A small window manager for the test display, so that windows get activated and
# _NET_ACTIVE_WINDOW is kept as on a desktop. Sourced by scripts/test.sh.
if command -v openbox >/dev/null; then
  openbox --sm-disable >"$session_dir/openbox.log" 2>&1 &
  session_track_pid $!
  # Ready once it announces itself on the root window.
  for _ in $(seq 1 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.05
  done
else
  echo "openbox not found; the window tests will fail" >&2
fi
