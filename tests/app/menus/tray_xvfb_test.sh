#!/usr/bin/env bash
# Runs the real kovali-host on an X server of its own with a tray (trayer): checks that the
# window "Kovali" opens and the tray item is shown, opens the item's menu, chooses "Quit Kovali"
# and checks that the host ended and saved the session. Everything runs inside a private network
# and mount namespace with private /run and /tmp, so the host reaches neither the network, the
# system's daemons, nor a real display or the user's data. Needs root; exits 77 (skipped) where
# it cannot set that up.
set -euo pipefail

fail() {
  echo "FAILED: $*" >&2
  for log in host xvfb trayer; do
    [ -f "$work/$log.log" ] && { echo "--- $log.log"; cat "$work/$log.log"; } >&2
  done
  exit 1
}

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local seconds=$1
  shift
  local tries=$((seconds * 20))
  for _ in $(seq "$tries"); do
    "$@" && return 0
    sleep 0.05
  done
  return 1
}

# The host's visible windows no larger than a tray icon.
tray_icons() {
  local window geometry WIDTH HEIGHT
  for window in $(xdotool search --onlyvisible --classname kovali-host 2>/dev/null); do
    geometry=$(xdotool getwindowgeometry --shell "$window" 2>/dev/null) || continue  # gone meanwhile
    eval "$geometry"
    if [ "$WIDTH" -le 64 ] && [ "$HEIGHT" -le 64 ]; then echo "$window"; fi
  done
}

if [ "${1:-}" = "--inside" ]; then
  host=$2
  mount -t tmpfs tmpfs /run
  mkdir /run/bin
  mount --bind "$(dirname "$host")" /run/bin  # reachable after /tmp is covered
  host=/run/bin/$(basename "$host")
  mount -t tmpfs tmpfs /tmp
  ip link set lo up 2>/dev/null || true
  work=$(mktemp -d)
  pids=()
  cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  }
  trap cleanup EXIT

  Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 3>"$work/display" 2>"$work/xvfb.log" &
  pids+=($!)
  wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
  export DISPLAY=":$(cat "$work/display")"

  # At the bottom edge, below the main window, which opens at the top-left corner.
  trayer --edge bottom --align left --widthtype request --height 32 --SetDockType false --transparent false \
    >"$work/trayer.log" 2>&1 &
  pids+=($!)
  wait_for 10 xdotool search --onlyvisible --class trayer >/dev/null || fail "trayer did not show its panel"

  for sub in home config data cache runtime music; do mkdir -p "$work/$sub"; done
  chmod 700 "$work/runtime"
  env -u DBUS_SESSION_BUS_ADDRESS -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY \
    HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" \
    XDG_RUNTIME_DIR="$work/runtime" "$host" --music "$work/music" >"$work/host.log" 2>&1 &
  hostpid=$!
  pids+=("$hostpid")
  session="$work/data/kovaliapp/kovali-host/Session.json"

  wait_for 20 xdotool search --onlyvisible --name '^Kovali$' >/dev/null || fail "the window Kovali did not open"
  wait_for 20 test -n "$(tray_icons)" || fail "no tray icon was shown"
  icon=$(tray_icons | head -n 1)
  eval "$(xdotool getwindowgeometry --shell "$icon")"
  [ "$Y" -ge 768 ] || fail "the tray icon is at $X,$Y, not in the tray at the bottom of the screen"
  [ ! -e "$session" ] || fail "the session was saved before anything changed"

  before=$(xdotool search --onlyvisible --classname kovali-host | sort)
  xdotool mousemove --window "$icon" 8 8 click 3
  # The menu is the new window taller than a tooltip.
  new_menu() {
    local window geometry WIDTH HEIGHT
    for window in $(comm -13 <(echo "$before") <(xdotool search --onlyvisible --classname kovali-host | sort)); do
      geometry=$(xdotool getwindowgeometry --shell "$window" 2>/dev/null) || continue
      eval "$geometry"
      if [ "$HEIGHT" -ge 100 ]; then echo "$window"; fi
    done
  }
  wait_for 10 test -n "$(new_menu)" || fail "the tray icon's menu did not open"
  menu=$(new_menu | head -n 1)

  # "Quit Kovali" is the menu's last item.
  eval "$(xdotool getwindowgeometry --shell "$menu")"
  xdotool mousemove --window "$menu" $((WIDTH / 2)) $((HEIGHT - 10))
  sleep 0.2
  xdotool click 1
  wait_for 15 bash -c "! kill -0 $hostpid 2>/dev/null" || fail "the host did not quit"
  status=0
  wait "$hostpid" || status=$?
  pids=("${pids[@]:0:2}")  # the host's id is free for reuse now
  [ "$status" -eq 0 ] || fail "the host ended with status $status"
  [ -s "$session" ] || fail "the session was not saved at quit"
  grep -q '"sessionID"' "$session" || fail "the saved session holds no session: $(cat "$session")"
  echo "The tray icon was shown, its menu opened, and \"Quit Kovali\" ended the host with the session saved."
  exit 0
fi

host=$1
skip() {
  echo "SKIPPED: $*; the tray test of kovali-host did not run."
  exit 77
}
[ "$(id -u)" -eq 0 ] || skip "not root (a private network and mount namespace needs root)"
for tool in Xvfb trayer xdotool unshare mount comm; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup installs it)"
done
unshare --net --mount --propagation private true 2>/dev/null || skip "cannot make a private namespace (unshare failed)"
exec unshare --net --mount --propagation private "$0" --inside "$host"
