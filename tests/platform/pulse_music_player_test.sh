#!/usr/bin/env bash
# Runs the PulseServer tests of the given test binary against a PulseAudio server of their own,
# with a null sink "music" as the default output, and two short tracks made for the test.
# Exits 77 (skipped) where no server can be started here.
set -euo pipefail

tests=$1
skip() {
  echo "SKIPPED: $*; the player's tests against a real sound server did not run."
  exit 77
}
for tool in pulseaudio pactl ffmpeg; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup installs it)"
done

work=$(mktemp -d)
server=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR" "$work/home" "$work/tracks"
cat > "$work/server.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$XDG_RUNTIME_DIR/pa.sock
load-module module-null-sink sink_name=music sink_properties=device.description=Music rate=48000 channels=2
set-default-sink music
PA
# Root may run a server of its own only with --system off, which -n -F and this flag give.
HOME="$work/home" pulseaudio -n -F "$work/server.pa" --daemonize=no --exit-idle-time=-1 --disallow-exit \
  --log-target=file:"$work/server.log" &
server=$!
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pa.sock"
for _ in $(seq 100); do
  pactl info >/dev/null 2>&1 && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.05
done
if ! pactl info >/dev/null 2>&1; then
  cat "$work/server.log" 2>/dev/null | tail -5
  skip "the PulseAudio server did not start"
fi

# Two seconds at 440 Hz, then two at 880 Hz: 44.1 kHz stereo, one lossless and one MP3.
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" -ac 2 "$work/tracks/a.flac"
ffmpeg -loglevel error -f lavfi -i "sine=frequency=880:sample_rate=44100:duration=2" -ac 2 -b:a 192k \
  "$work/tracks/b.mp3"

KOVALI_PULSE_TRACKS="$work/tracks" "$tests" --gtest_filter='PulseServer*'
