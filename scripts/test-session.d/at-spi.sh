# The accessibility bus (AT-SPI) of the test session, for the tests that read other
# applications' text fields. Sourced by scripts/test.sh with session_track_pid and
# $session_dir available. Accessibility stays switched off, as on a fresh desktop;
# the tests switch it on themselves the way the "Allow" action does.
atspi_launcher=""
for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
  [[ -x "$candidate" ]] && { atspi_launcher=$candidate; break; }
done
if [[ -n "$atspi_launcher" ]]; then
  "$atspi_launcher" --launch-immediately >"$session_dir/at-spi.log" 2>&1 &
  session_track_pid $!
  for _ in $(seq 1 100); do
    if dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
        >/dev/null 2>&1; then
      break
    fi
    sleep 0.05
  done
else
  echo "at-spi-bus-launcher not found; the accessibility tests will fail" >&2
fi
