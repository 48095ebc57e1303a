# Sourced by scripts/test.sh: a PulseAudio daemon of the test session with a
# microphone the tests can feed. Sound played into the null sink comes out of a real
# source remapped from the sink's monitor (Qt lists no monitor as an input), which is
# the default source. A silent stream keeps the sink running, so the source delivers
# sound all the time, like a live microphone; its low latency makes the null sink
# render in small blocks (with the default 2 s it hands out sound in bursts).
# Exports PULSE_SERVER and SORVANE_TEST_PULSE_SINK (the sink to play into).
export SORVANE_TEST_PULSE_EXPECTED=1
pulse_dir="$session_dir/pulse"
pulse_socket="$XDG_RUNTIME_DIR/pulse/native"
mkdir -p "$pulse_dir/home" "$XDG_RUNTIME_DIR/pulse"
cat >"$pulse_dir/session.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$pulse_socket
load-module module-null-sink sink_name=sorvane_test_sink sink_properties=device.description=Sorvane-test-sink
load-module module-remap-source source_name=sorvane_test_mic master=sorvane_test_sink.monitor source_properties=device.description=Sorvane-test-microphone
set-default-sink sorvane_test_sink
set-default-source sorvane_test_mic
PA
# Its own HOME, so the daemon writes no cookie or state into the user's.
HOME="$pulse_dir/home" pulseaudio --daemonize=no --exit-idle-time=-1 --use-pid-file=no -n \
  -F "$pulse_dir/session.pa" --log-target=file:"$pulse_dir/pulseaudio.log" >/dev/null 2>&1 &
session_track_pid $!
export PULSE_SERVER="unix:$pulse_socket"
pulse_ready=""
for _ in $(seq 1 50); do
  if pactl info >/dev/null 2>&1; then pulse_ready=1; break; fi
  sleep 0.1
done
if [[ -n "$pulse_ready" ]]; then
  pacat --playback --device=sorvane_test_sink --format=s16le --rate=44100 --channels=2 \
    --latency-msec=10 --client-name=sorvane-test-silence /dev/zero >/dev/null 2>&1 &
  session_track_pid $!
  # The stream takes a moment to settle; go on once the source delivers sound.
  for _ in $(seq 1 20); do
    if [[ $(timeout 1 parecord --raw --rate=16000 --channels=1 --format=s16le 2>/dev/null | head -c 3200 | wc -c) -eq 3200 ]]; then
      break
    fi
  done
  export SORVANE_TEST_PULSE_SINK=sorvane_test_sink
else
  echo "PulseAudio did not start for the test session:" >&2
  cat "$pulse_dir/pulseaudio.log" >&2 2>/dev/null || true
  unset PULSE_SERVER
fi
unset pulse_dir pulse_socket pulse_ready
