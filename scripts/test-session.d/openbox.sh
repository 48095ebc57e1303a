# A small window manager for the test display, so that windows get activated and
# _NET_ACTIVE_WINDOW is kept as on a desktop. Sourced by scripts/test.sh.
# It gets a configuration without key bindings: the default one grabs Alt+Space and
# others, which would take the hot-key tests' combinations away.
if command -v openbox >/dev/null; then
  cat >"$session_dir/openbox-rc.xml" <<'RC'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <desktops><number>1</number></desktops>
  <keyboard></keyboard>
  <mouse></mouse>
</openbox_config>
RC
  openbox --sm-disable --config-file "$session_dir/openbox-rc.xml" >"$session_dir/openbox.log" 2>&1 &
  session_track_pid $!
  # Ready once it announces itself on the root window.
  for _ in $(seq 1 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.05
  done
else
  echo "openbox not found; the window tests will fail" >&2
fi
