#!/usr/bin/env bash
# A big party's crowd against the host as broadcast_bench --host composes it: honest phones
# reading 40 KB/s joining over 60 s (5 processes), the DJ with 4 fast guests, and beside them, when
# asked, sleepers, tail holders or badge flooders (2 processes). Run inside a network namespace whose lo has MTU 1500:
#   ip netns add kv; ip netns exec kv ip link set lo up mtu 1500
#   ip netns exec kv bench/hostile/slow_crowd_run.sh build/broadcast_bench 10000 120 400 2 [sleepers|tails|flood N] [--come-back]
# Prints each group's line, the host's let-go lines by reason, its peak memory and CPU, the load,
# and how long it took to exit after SIGTERM.
set -euo pipefail
bench=$(realpath "$1"); songs=$2; seconds=$3; honest=$4; interval=$5; shift 5
attack=""; attackers=0; back=""
while [ $# -gt 0 ]; do
  case $1 in
    sleepers|tails|flood) attack=$1; attackers=$2; shift 2 ;;
    --come-back) back=--come-back; shift ;;
    *) echo "unknown: $1" >&2; exit 2 ;;
  esac
done
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d "$PWD/slow-crowd-XXXXXX")
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
ulimit -n "$(ulimit -Hn)"
"$bench" --host "$work/host" "$songs" >"$work/host.out" 2>"$work/host.err" &
host=$!
for _ in $(seq 600); do grep -q '^port ' "$work/host.out" 2>/dev/null && break; sleep 0.5; done
port=$(awk '/^port /{print $2; exit}' "$work/host.out")
echo "songs $songs, honest $honest, DJ every $interval s, ${attack:-no attack} $attackers ${back:-} load $(cut -d' ' -f1 /proc/loadavg)"
cpu0=$(awk '{print $14+$15}' "/proc/$host/stat")
pids=()
per=$(( (honest + 4) / 5 ))
for first in $( [ "$honest" -gt 0 ] && seq 0 "$per" $((honest - 1)) ); do
  count=$(( honest - first < per ? honest - first : per ))
  python3 "$here/slow_crowd.py" honest "$port" "$seconds" "$count" "$first" $back & pids+=($!)
done
python3 "$here/slow_crowd.py" dj "$port" "$seconds" 0 0 --interval "$interval" & pids+=($!)
if [ "$attack" = flood ]; then
  half=$(( attackers / 2 ))
  python3 "$here/badge_flood.py" "$port" 2468 "$seconds" "$half" 1 0 & pids+=($!)
  python3 "$here/badge_flood.py" "$port" 2468 "$seconds" $((attackers - half)) 1 "$half" & pids+=($!)
elif [ -n "$attack" ]; then
  half=$(( attackers / 2 ))
  python3 "$here/slow_crowd.py" "$attack" "$port" "$seconds" "$half" 0 $back & pids+=($!)
  python3 "$here/slow_crowd.py" "$attack" "$port" "$seconds" $((attackers - half)) "$half" $back & pids+=($!)
fi
maxload=0
for _ in $(seq "$seconds"); do
  sleep 1
  load=$(cut -d' ' -f1 /proc/loadavg)
  maxload=$(awk -v a="$load" -v b="$maxload" 'BEGIN{print (a > b) ? a : b}')
done
wait "${pids[@]}" || true
cpu1=$(awk '{print $14+$15}' "/proc/$host/stat")
hz=$(getconf CLK_TCK)
echo "host: peak RSS $(awk '/VmHWM/{printf "%.0f MiB", $2/1024}' "/proc/$host/status"), CPU $(( (cpu1 - cpu0) * 100 / hz / seconds )) % of a core, load end $(cut -d' ' -f1 /proc/loadavg) max $maxload"
start=$(date +%s.%N)
kill -TERM "$host"
wait "$host" || true
echo "exit after SIGTERM: $(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN{printf "%.1f s", b - a}')"
echo "let go by the host: $(grep -c 'is let go' "$work/host.err" || true)"
grep -o 'is let go: [a-z ]*' "$work/host.err" | sort | uniq -c || true
grep -o '[0-9.]* MiB of old parties kept' "$work/host.err" | sort -n | tail -1 | sed 's/^/most old parties at a let-go: /' || true
grep 'is let go' "$work/host.err" | head -2 || true
