#!/usr/bin/env bash
# Runs the SessionArchiveOnDisk* tests of the given test binary in a mount namespace of their
# own, on two small tmpfs file systems mounted there and nowhere else: one the tests fill up, one
# they turn read-only. Needs root for the mounts (CI runs as root); exits 77 (skipped) without.
set -euo pipefail

if [ "${1:-}" = "--inside" ]; then
  tests=$2 scratch=$3
  mount -t tmpfs -o size=256k kovali-full "$scratch/full"
  mount -t tmpfs -o size=256k kovali-readonly "$scratch/readonly"
  KOVALI_FULL_DISK="$scratch/full" KOVALI_READONLY_DISK="$scratch/readonly" \
    "$tests" --gtest_filter='SessionArchiveOnDisk*' --gtest_death_test_style=threadsafe
  exit
fi

tests=$1
skip() {
  echo "SKIPPED: $*; the saving tests on a full and a read-only file system did not run."
  exit 77
}
[ "$(id -u)" = 0 ] || skip "mounting a small file system needs root"
command -v unshare >/dev/null || skip "unshare is not installed"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/full" "$scratch/readonly"
# The mounts live only in the new namespace and end with it.
unshare --mount --propagation private true 2>/dev/null || skip "no private mount namespace here"
unshare --mount --propagation private "$0" --inside "$tests" "$scratch"
