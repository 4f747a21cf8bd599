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

. "$(dirname "$0")/../../support/sound_server.sh"
work=$(mktemp -d)
cleanup() {
  stop_sound_server
  rm -rf "$work"
}
trap cleanup EXIT

# The tests run their own clients with the same runtime folder as the server.
export XDG_RUNTIME_DIR="$work/sound/runtime"
mkdir -p "$work/tracks"
if ! start_sound_server "$work/sound" music; then
  tail -5 "$work/sound/sound.log" 2>/dev/null
  skip "the PulseAudio server did not start"
fi

# Two seconds at 440 Hz, then two at 880 Hz: 44.1 kHz stereo, one lossless and one MP3.
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" -ac 2 "$work/tracks/a.flac"
ffmpeg -loglevel error -f lavfi -i "sine=frequency=880:sample_rate=44100:duration=2" -ac 2 -b:a 192k \
  "$work/tracks/b.mp3"

KOVALI_PULSE_TRACKS="$work/tracks" "$tests" --gtest_filter='PulseServerMusicPlayer*:PulseServerPlayerEngine*'
