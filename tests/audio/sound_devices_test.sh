#!/usr/bin/env bash
# Runs the PulseServerDevices tests of the given test binary against a PulseAudio server of their
# own: null sinks that carry the properties of a built-in, a USB and a Bluetooth output beside the
# default "music", and a sine source "mic" at 440 Hz. Exits 77 (skipped) where no server can be
# started here.
set -euo pipefail

tests=$1
. "$(dirname "$0")/../support/sound_server.sh"
start_test_sound_server "the device tests" \
  "load-module module-null-sink sink_name=speakers rate=48000 channels=2 sink_properties=\"device.description='Zeta Speakers' device.form_factor=internal\"
load-module module-null-sink sink_name=desk rate=48000 channels=2 sink_properties=\"device.description='Alpha Interface' device.bus=usb\"
load-module module-null-sink sink_name=phones rate=48000 channels=2 sink_properties=\"device.description='beta Headphones' device.bus=bluetooth\"
load-module module-sine-source source_name=mic rate=48000 frequency=440"

KOVALI_SOUND_DEVICES=1 "$tests" --gtest_filter='PulseServerDevices*'
