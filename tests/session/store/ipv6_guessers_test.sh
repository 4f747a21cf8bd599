#!/usr/bin/env bash
# Runs the SessionStoreIPv6Guessers* tests of the given test binary inside a private network
# namespace whose loopback takes every address of one IPv6 /64, so its phones guess from
# hundreds of addresses without touching the machine's network. Needs root; exits 77 (skipped)
# where it cannot set that up.
set -euo pipefail

prefix=fd00:6b76:7661::
if [ "${1:-}" = "--inside" ]; then
  ip link set lo up
  ip -6 route add local "$prefix/64" dev lo
  KOVALI_IPV6_GUESSERS=$prefix exec "$2" --gtest_filter='SessionStoreIPv6Guessers*'
fi

tests=$1
skip() {
  echo "SKIPPED: $*; the IPv6 PIN guessing test did not run."
  exit 77
}
[ "$(id -u)" = 0 ] || skip "a private network namespace needs root"
for tool in ip unshare; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup installs it)"
done
unshare --net true 2>/dev/null || skip "no private network namespace here"
unshare --net sh -c 'ip link set lo up && ip -6 route add local ::2/128 dev lo' 2>/dev/null ||
  skip "IPv6 is off in network namespaces here"
exec unshare --net "$0" --inside "$tests"
