#!/usr/bin/env bash
# Takes a test's sound server away and brings it back, for tests of what a player does then.
#   sound_server_control.sh stop DIR    ends the server started in DIR and waits until it is gone
#   sound_server_control.sh start DIR   starts it again in DIR: the same socket, sinks and sources
# A server started here outlives this script; stop_sound_server of the script that made DIR ends it.
set -euo pipefail
. "$(dirname "$0")/sound_server.sh"
dir=$2
case $1 in
  stop)
    pid=$(cat "$dir/runtime/pulse/pid")
    kill "$pid"
    for _ in $(seq 200); do
      kill -0 "$pid" 2>/dev/null || exit 0
      sleep 0.05
    done
    exit 1
    ;;
  start)
    restart_sound_server "$dir" >/dev/null 2>&1 </dev/null
    ;;
  *)
    echo "usage: $0 stop|start DIR" >&2
    exit 2
    ;;
esac
