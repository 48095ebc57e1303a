# A Secret Service for the keyring tests: GNOME Keyring's secrets component on the private
# session bus, with a fresh login keyring unlocked by an empty password. Its files live in
# the session folder, never in the user's own keyring.
# Sourced by scripts/test.sh (session_track_pid and $session_dir are set there).
export SORVANE_TEST_KEYRING=required
mkdir -p "$session_dir/keyring-data"
echo '' | XDG_DATA_HOME="$session_dir/keyring-data" \
  gnome-keyring-daemon --foreground --unlock --components=secrets >"$session_dir/keyring.log" 2>&1 &
session_track_pid $!
keyring_ready=""
for _ in $(seq 1 50); do
  # NameHasOwner does not start anything by bus activation (a probe through the keyring would).
  if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
          org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q 'boolean true'; then
    keyring_ready=yes
    break
  fi
  sleep 0.1
done
[[ -n "$keyring_ready" ]] || { echo "gnome-keyring-daemon did not start; the keyring tests will fail"; cat "$session_dir/keyring.log"; }
unset keyring_ready
