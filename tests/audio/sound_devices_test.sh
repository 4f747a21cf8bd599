#!/usr/bin/env bash
# Runs the PulseServerDevices tests of the given test binary against a PulseAudio server of their
# own: null sinks that carry the properties of a built-in, a USB and a Bluetooth output beside the
# default "music", and a sine source "mic" at 440 Hz. Exits 77 (skipped) where no server can be
# started here.
set -euo pipefail

tests=$1
skip() {
  echo "SKIPPED: $*; the device tests against a real sound server did not run."
  exit 77
}
for tool in pulseaudio pactl; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup installs it)"
done

. "$(dirname "$0")/../support/sound_server.sh"
work=$(mktemp -d)
cleanup() {
  stop_sound_server
  rm -rf "$work"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR="$work/sound/runtime"
devices="load-module module-null-sink sink_name=speakers rate=48000 channels=2 sink_properties=\"device.description='Zeta Speakers' device.form_factor=internal\"
load-module module-null-sink sink_name=desk rate=48000 channels=2 sink_properties=\"device.description='Alpha Interface' device.bus=usb\"
load-module module-null-sink sink_name=phones rate=48000 channels=2 sink_properties=\"device.description='beta Headphones' device.bus=bluetooth\"
load-module module-sine-source source_name=mic rate=48000 frequency=440"
if ! start_sound_server "$work/sound" music "$devices"; then
  tail -5 "$work/sound/sound.log" 2>/dev/null
  skip "the PulseAudio server did not start"
fi

KOVALI_SOUND_DEVICES=1 "$tests" --gtest_filter='PulseServerDevices*'
