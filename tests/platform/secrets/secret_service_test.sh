#!/usr/bin/env bash
# Runs the SecretService* tests of the given test binary twice, each time in a D-Bus session of
# its own with a temporary home, so that the user's own keychain is never touched: once without
# any session bus (the keychain must report that it has no service), once with an unlocked
# gnome-keyring-daemon (items are created, updated, read and deleted). Exits 77 (skipped) where
# the tools are missing.
set -euo pipefail

if [ "${1:-}" = "--inside" ]; then
  # In the private session: a keyring with a fresh, unlocked login collection.
  tests=$2
  printf 'kovali-test' | gnome-keyring-daemon --daemonize --unlock --components=secrets >/dev/null
  KOVALI_SECRET_SERVICE=running "$tests" --gtest_filter='SecretServiceRunning*'
  exit
fi

tests=$1
skip() {
  echo "SKIPPED: $*; the keychain tests against a real Secret Service did not run."
  exit 77
}
for tool in dbus-run-session gnome-keyring-daemon; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup installs it)"
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -m 700 "$scratch/runtime" "$scratch/home"
export HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime" XDG_DATA_HOME="$scratch/home/.local/share"

env -u DBUS_SESSION_BUS_ADDRESS -u DISPLAY -u WAYLAND_DISPLAY KOVALI_SECRET_SERVICE=absent \
  "$tests" --gtest_filter='SecretServiceAbsent*'

# dbus-run-session ends the bus, and the keyring daemon with it, when the tests are done.
env -u DISPLAY -u WAYLAND_DISPLAY dbus-run-session -- "$0" --inside "$tests"
