#!/usr/bin/env bash
# Runs the KovaliHostProcess tests of the given test binary against the real kovali-host, inside
# a private network namespace that has nothing but loopback and an avahi-daemon of its own (the
# host needs Bonjour to accept phones), so that nothing reaches the machine's real network, and
# with a PulseAudio server of its own whose default output is a null sink.
# Needs root; exits 77 (skipped) where it cannot set that up.
set -euo pipefail

if [ "${1:-}" = "--inside" ]; then
  tests=$2
  host=$3
  hostname kovali-host-test
  mount -t tmpfs tmpfs /run
  mkdir -p /run/dbus /run/avahi-daemon
  ip link set lo up
  dbus-daemon --system --fork
  work=$(mktemp -d)
  sound=""
  stop_daemons() {
    [ -n "$sound" ] && kill "$sound" 2>/dev/null && wait "$sound" 2>/dev/null
    avahi-daemon -k 2>/dev/null || true
    [ -f /run/dbus/pid ] && kill "$(cat /run/dbus/pid)" 2>/dev/null || true
    rm -rf "$work"
  }
  trap stop_daemons EXIT
  avahi-daemon -D --no-rlimits
  for _ in $(seq 100); do
    avahi-daemon -c 2>/dev/null && break
    sleep 0.05
  done
  avahi-daemon -c || { echo "avahi-daemon did not start" >&2; exit 1; }

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

tests=$1
host=$2
skip() {
  echo "SKIPPED: $*; the tests of the kovali-host executable did not run."
  exit 77
}
[ "$(id -u)" -eq 0 ] || skip "not root (a private network namespace needs root)"
for tool in ip unshare mount hostname dbus-daemon avahi-daemon; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup installs it)"
done

namespace="kovali-host-$$"
ip netns add "$namespace" 2>/dev/null || skip "cannot create a network namespace (ip netns add failed)"
cleanup() {
  # Whatever still runs in the namespace was started by this script.
  for pid in $(ip netns pids "$namespace" 2>/dev/null); do kill "$pid" 2>/dev/null || true; done
  ip netns del "$namespace" 2>/dev/null || true
}
trap cleanup EXIT

ip netns exec "$namespace" unshare --mount --uts --propagation private "$0" --inside "$tests" "$host"
