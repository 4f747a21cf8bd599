#!/usr/bin/env bash
# Runs the KovaliHostProcess tests of the given test binary against the real kovali-host, in a
# private network namespace with an avahi-daemon of its own (the host needs Bonjour to accept
# phones; see in_bonjour_namespace.sh) and a PulseAudio server of its own whose default output is
# a null sink.
# Needs root; exits 77 (skipped) where it cannot set that up.
set -euo pipefail

if [ "${1:-}" = "--inside" ]; then
  tests=$2
  host=$3
  work=$(mktemp -d)
  sound=""
  stop_sound() {
    [ -n "$sound" ] && kill "$sound" 2>/dev/null && wait "$sound" 2>/dev/null
    rm -rf "$work"
  }
  trap stop_sound EXIT

  mkdir -m 700 "$work/runtime" "$work/home"
  cat > "$work/server.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$work/runtime/pa.sock
load-module module-null-sink sink_name=room sink_properties=device.description=Room rate=48000 channels=2
set-default-sink room
PA
  if command -v pulseaudio >/dev/null; then
    HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" pulseaudio -n -F "$work/server.pa" --daemonize=no \
      --exit-idle-time=-1 --disallow-exit --log-target=file:"$work/sound.log" &
    sound=$!
    export PULSE_SERVER="unix:$work/runtime/pa.sock"
    for _ in $(seq 100); do
      pactl info >/dev/null 2>&1 && break
      sleep 0.05
    done
    pactl info >/dev/null 2>&1 && export KOVALI_HOST_SOUND=1
  fi
  KOVALI_HOST_EXECUTABLE="$host" "$tests" --gtest_filter='KovaliHostProcess*'
  exit
fi

support="$(dirname "$0")/../support"
exec "$support/in_bonjour_namespace.sh" "the tests of the kovali-host executable" "$0" --inside "$1" "$2"
