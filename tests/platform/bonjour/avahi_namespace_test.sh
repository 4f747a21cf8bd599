#!/usr/bin/env bash
# Runs the AvahiNamespace tests of the given test binary against an avahi-daemon of their own, in
# a private network namespace (see in_bonjour_namespace.sh). Exits 77 (skipped) without root.
set -euo pipefail
support="$(dirname "$0")/../../support"
exec "$support/in_bonjour_namespace.sh" "the Bonjour tests against a real avahi-daemon" \
  env KOVALI_AVAHI_NAMESPACE=1 "$1" --gtest_filter='AvahiNamespace*'
