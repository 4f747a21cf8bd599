#!/usr/bin/env bash
# Runs the PulseServer player tests of the given test binary against a PulseAudio server of their
# own, with a null sink "music" as the default output, a second null sink "stage" to switch to, a
# 440 Hz source "mic", and two short tracks made for the test.
# Exits 77 (skipped) where no server can be started here.
set -euo pipefail

tests=$1
. "$(dirname "$0")/../../support/sound_server.sh"
start_test_sound_server "the player's tests" \
  "load-module module-null-sink sink_name=stage rate=48000 channels=2 sink_properties=device.description=Stage
load-module module-sine-source source_name=mic rate=48000 frequency=440" ffmpeg

# Two seconds at 440 Hz, then two at 880 Hz: 44.1 kHz stereo, one lossless and one MP3.
mkdir -p "$work/tracks"
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" -ac 2 "$work/tracks/a.flac"
ffmpeg -loglevel error -f lavfi -i "sine=frequency=880:sample_rate=44100:duration=2" -ac 2 -b:a 192k \
  "$work/tracks/b.mp3"

# The tests that take the server away and bring it back do so through this command.
export KOVALI_SOUND_SERVER_CONTROL="$(dirname "$0")/../../support/sound_server_control.sh"
export KOVALI_SOUND_SERVER_DIR="$work/sound"
KOVALI_PULSE_TRACKS="$work/tracks" "$tests" \
  --gtest_filter='PulseServerMusicPlayer*:PulseServerPlayerEngine*:PulseServerAudioRenderer*:PulseServerStreamPlayer*:PulseServerParty*:PulseServerMultiRoomCapture*:PulseServerAirPlaySinks*'
