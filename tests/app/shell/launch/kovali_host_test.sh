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
  . "$(dirname "$0")/../../../support/sound_server.sh"
  work=$(mktemp -d)
  cleanup() {
    stop_sound_server
    rm -rf "$work"
  }
  trap cleanup EXIT
  if command -v pulseaudio >/dev/null && start_sound_server "$work" room; then
    export KOVALI_HOST_SOUND=1
  fi
  KOVALI_HOST_EXECUTABLE="$host" "$tests" --gtest_filter='KovaliHostProcess*'
  exit
fi

support="$(dirname "$0")/../../../support"
exec "$support/in_bonjour_namespace.sh" "the tests of the kovali-host executable" "$0" --inside "$1" "$2"
