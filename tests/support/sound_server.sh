# Sourced by the test scripts that need a sound server of their own.
#
# start_sound_server DIR SINK [LINES] starts PulseAudio with its socket and state under DIR and a
# null sink SINK as the default output, plus the server script LINES (more sinks and sources), sets
# `sound_server` to its pid and exports PULSE_SERVER. It returns non-zero when the server does not
# answer (its log is DIR/sound.log). Started again with the same DIR, it serves the same socket.
start_sound_server() {
  local dir=$1 sink=$2 lines=${3:-}
  mkdir -p -m 700 "$dir/runtime" "$dir/home"
  cat > "$dir/server.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/runtime/pa.sock
load-module module-null-sink sink_name=$sink sink_properties=device.description=$sink rate=48000 channels=2
$lines
set-default-sink $sink
PA
  # Root may run a server of its own only with --system off, which -n -F and this flag give.
  HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" pulseaudio -n -F "$dir/server.pa" --daemonize=no \
    --exit-idle-time=-1 --disallow-exit --log-target=file:"$dir/sound.log" &
  sound_server=$!
  export PULSE_SERVER="unix:$dir/runtime/pa.sock"
  for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && return 0
    kill -0 "$sound_server" 2>/dev/null || break
    sleep 0.05
  done
  pactl info >/dev/null 2>&1
}

stop_sound_server() {
  [ -n "${sound_server:-}" ] && kill "$sound_server" 2>/dev/null && wait "$sound_server" 2>/dev/null
  return 0
}
