#!/usr/bin/env bash
# Usage: in_bonjour_namespace.sh WHAT COMMAND [ARG...]
# Runs COMMAND inside a private network namespace that has nothing but loopback, with a D-Bus
# system bus and an avahi-daemon of its own, so that nothing reaches the machine's real network.
# WHAT names the tests for the skip message. Needs root; exits 77 (skipped) where it cannot set
# that up.
set -euo pipefail

if [ "${1:-}" = "--inside" ]; then
  shift
  # A /run of our own keeps the daemons' sockets and pid files away from the machine's.
  hostname kovali-namespace-test
  mount -t tmpfs tmpfs /run
  mkdir -p /run/dbus /run/avahi-daemon
  ip link set lo up
  dbus-daemon --system --fork
  stop_daemons() {
    avahi-daemon -k 2>/dev/null || true
    [ -f /run/dbus/pid ] && kill "$(cat /run/dbus/pid)" 2>/dev/null || true
  }
  trap stop_daemons EXIT
  avahi-daemon -D --no-rlimits
  for _ in $(seq 100); do
    avahi-daemon -c 2>/dev/null && break
    sleep 0.05
  done
  avahi-daemon -c || { echo "avahi-daemon did not start" >&2; exit 1; }
  "$@"
  exit
fi

what=$1
shift
skip() {
  echo "SKIPPED: $*; $what did not run."
  exit 77
}
[ "$(id -u)" -eq 0 ] || skip "not root (a private network namespace needs root)"
for tool in ip unshare mount hostname dbus-daemon avahi-daemon avahi-browse; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup installs it)"
done

namespace="kovali-test-$$"
ip netns add "$namespace" 2>/dev/null || skip "cannot create a network namespace (ip netns add failed)"
cleanup() {
  # Whatever still runs in the namespace was started by this script.
  for pid in $(ip netns pids "$namespace" 2>/dev/null); do kill "$pid" 2>/dev/null || true; done
  ip netns del "$namespace" 2>/dev/null || true
}
trap cleanup EXIT

ip netns exec "$namespace" unshare --mount --uts --propagation private "$0" --inside "$@"
