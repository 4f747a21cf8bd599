# Sourced by the test scripts that need a sound server of their own.
#
# start_sound_server DIR SINK [LINES] starts PulseAudio with its socket and state under DIR and a
# null sink SINK as the default output, plus the server script LINES (more sinks and sources), sets
# `sound_server` to its pid and exports PULSE_SERVER. It returns non-zero when the server does not
# answer (its log is DIR/sound.log).
start_sound_server() {
  local dir=$1 sink=$2 lines=${3:-}
  mkdir -p -m 700 "$dir/runtime" "$dir/home"
  cat > "$dir/server.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/runtime/pa.sock
load-module module-null-sink sink_name=$sink sink_properties=device.description=$sink rate=48000 channels=2
$lines
set-default-sink $sink
PA
  restart_sound_server "$dir"
}

# restart_sound_server DIR starts the server that start_sound_server set up in DIR again, with the
# same socket, sinks and sources, as start_sound_server does.
restart_sound_server() {
  local dir=$1
  sound_server_dir=$dir
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

# Ends the server, and one that a test started again in its folder (sound_server_control.sh).
stop_sound_server() {
  [ -n "${sound_server:-}" ] && kill "$sound_server" 2>/dev/null && wait "$sound_server" 2>/dev/null
  local pidfile=${sound_server_dir:-/nonexistent}/runtime/pulse/pid pid
  [ -f "$pidfile" ] && pid=$(cat "$pidfile") && kill "$pid" 2>/dev/null || return 0
  # Not our child, so it cannot be waited for: its folder is removed next, once it has stopped writing.
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.05
  done
  return 0
}

# start_test_sound_server WHAT LINES [TOOL...], for a script that runs tests against the server:
# checks for pulseaudio, pactl and the TOOLs, makes the folder `work` (removed on exit, with the
# server), starts the server in it with a null sink "music" as the default output plus LINES, and
# exports XDG_RUNTIME_DIR so the tests' own clients find it. Exits 77 (skipped), saying that WHAT
# did not run, where that cannot be done.
start_test_sound_server() {
  local what=$1 lines=$2
  shift 2
  for tool in pulseaudio pactl "$@"; do
    command -v "$tool" >/dev/null || skip_sound_tests "$what" "$tool is not installed (scripts/setup installs it)"
  done
  work=$(mktemp -d)
  trap 'stop_sound_server; rm -rf "$work"' EXIT
  export XDG_RUNTIME_DIR="$work/sound/runtime"
  if ! start_sound_server "$work/sound" music "$lines"; then
    tail -5 "$work/sound/sound.log" 2>/dev/null
    skip_sound_tests "$what" "the PulseAudio server did not start"
  fi
}

skip_sound_tests() {
  echo "SKIPPED: $2; $1 against a real sound server did not run."
  exit 77
}
