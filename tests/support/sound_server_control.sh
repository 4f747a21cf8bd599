#!/usr/bin/env bash
# Takes a test's sound server away and brings it back, for tests of what a player does then.
#   sound_server_control.sh stop DIR    ends the server started in DIR and waits until it is gone
#   sound_server_control.sh start DIR   starts it again in DIR: the same socket, sinks and sources
#   sound_server_control.sh pause DIR   stops it answering (SIGSTOP) until "resume" or "kill"
#   sound_server_control.sh resume DIR  lets a paused server answer again
#   sound_server_control.sh kill DIR    ends it at once, paused or not, as a crash would
# A server started here outlives this script; stop_sound_server of the script that made DIR ends it.
set -euo pipefail
. "$(dirname "$0")/sound_server.sh"
dir=$2
case $1 in
  stop | kill)
    pid=$(cat "$dir/runtime/pulse/pid")
    kill "-$([ "$1" = kill ] && echo KILL || echo TERM)" "$pid"
    for _ in $(seq 200); do
      kill -0 "$pid" 2>/dev/null || exit 0
      sleep 0.05
    done
    exit 1
    ;;
  pause)
    kill -STOP "$(cat "$dir/runtime/pulse/pid")"
    ;;
  resume)
    # A server killed while paused has nothing to resume.
    kill -CONT "$(cat "$dir/runtime/pulse/pid")" 2>/dev/null || true
    ;;
  start)
    restart_sound_server "$dir" >/dev/null 2>&1 </dev/null
    ;;
  *)
    echo "usage: $0 stop|start|pause|resume|kill DIR" >&2
    exit 2
    ;;
esac
