# Sourced by the test scripts that need real AirPlay speakers: two AirPlay receivers
# (shairport-sync) in a private "speaker" network namespace, found over Bonjour by a sound server
# in a private "client" namespace, the two joined only by a veth pair. Nothing reaches the
# machine's real network, and every name lives inside the namespaces or under a fresh temporary
# folder, so two copies of the tree can run it at once. Needs root.
#
# How a test script uses it:
#   . "$(dirname "$0")/../support/airplay_rig.sh"
#   start_airplay_rig pulse "the AirPlay tests" "$capture_tool"   # or pipewire; exits 77 when it cannot
#   "$tests" --gtest_filter='AirPlayRig*'
# (the C++ tests derive from AirPlayRigTest, tests/support/airplay_rig_fixture.h, which puts the
# rig at rest before and after each test: full volumes, no stream on a speaker)
# start_airplay_rig SERVER WHAT CAPTURE_TOOL [no-discovery]
#   SERVER is "pulse" (PulseAudio) or "pipewire" (pipewire, pipewire-pulse and wireplumber);
#   WHAT names the tests for the skip message; CAPTURE_TOOL is the speaker_capture executable.
#   It returns once both speakers are announced and (unless "no-discovery", which leaves loading
#   the AirPlay discovery to the program under test) both AirPlay sinks exist. On exit of the
#   script it stops everything it started. The program under test stays outside the namespaces:
#   it reaches the sound server through the exported PULSE_SERVER, whose default output is a null
#   sink "music". Also exported:
#     KOVALI_AIRPLAY_RIG        the rig's folder; its file "speakers" lists each speaker as
#                               "<number>\t<AirPlay name>\t<capture file>"
#     KOVALI_AIRPLAY_SERVER     pulse or pipewire
#     KOVALI_AIRPLAY_RIG_SCRIPT this file, to stop and start a receiver from a test:
#                               bash "$KOVALI_AIRPLAY_RIG_SCRIPT" stop-speaker|start-speaker N
# Each receiver plays into a null sink of a sound server of the speakers' own (PulseAudio), as a
# real speaker plays into its clocked output; its capture file holds what that sink played
# (S16LE stereo at 44.1 kHz) and CAPTURE.times when (see tests/tools/speaker_capture.cpp), timed
# as the tests time this computer's null sink.
# stop_airplay_speaker N and start_airplay_speaker N do the same from the script.

airplay_speaker_names=("Kitchen Speaker" "Garden Speaker")

airplay_skip() {
  echo "SKIPPED: $2; $1 against real AirPlay speakers did not run."
  exit 77
}

airplay_in() {  # runs a command in namespace $1 (client or speaker)
  local holder
  holder=$(cat "$KOVALI_AIRPLAY_RIG/$1.ns")
  shift
  nsenter -t "$holder" -n -m "$@"
}

# airplay_spawn NAMESPACE PIDFILE OUT LOG COMMAND...: starts COMMAND in the background in the
# namespace, its output to OUT and its messages to LOG. nsenter becomes the command, so the pid
# noted is the command's own.
airplay_spawn() {
  local holder pidfile=$2 out=$3 log=$4
  holder=$(cat "$KOVALI_AIRPLAY_RIG/$1.ns")
  shift 4
  nsenter -t "$holder" -n -m "$@" </dev/null >"$out" 2>>"$log" &
  echo $! > "$pidfile"
}

airplay_wait_for() {  # tries COMMAND every 0.1 s for up to $1 seconds
  local tries=$(($1 * 10))
  shift
  for _ in $(seq "$tries"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  "$@" >/dev/null 2>&1
}

airplay_start_namespace() {  # $1 = client or speaker: a network and mount namespace held by a sleep
  local dir=$KOVALI_AIRPLAY_RIG
  mkdir -p "$dir/$1"
  unshare -n -m --propagation private sleep infinity </dev/null >/dev/null 2>&1 &
  echo $! > "$dir/$1.ns"
  # Until unshare becomes the sleep, entering its namespaces would enter the machine's own.
  airplay_wait_for 5 grep -qx sleep "/proc/$!/comm" || return 1
  # avahi-daemon insists on /run/avahi-daemon: each namespace gets a private one.
  mkdir -p /run/avahi-daemon
  airplay_in "$1" mount -t tmpfs tmpfs /run/avahi-daemon
  airplay_in "$1" ip link set lo up
}

airplay_start_bus_and_avahi() {  # $1 = namespace, $2 = its network interface
  local dir=$KOVALI_AIRPLAY_RIG/$1
  cat > "$dir/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>system</type><listen>unix:path=$dir/bus</listen><auth>EXTERNAL</auth>
 <policy context="default"><allow user="*"/><allow own="*"/>
  <allow send_destination="*"/><allow receive_sender="*"/></policy></busconfig>
EOF
  # A receiver started again once the link has its IPv6 address would be resolved to that
  # address, which PulseAudio's AirPlay discovery cannot use (no sink appears): IPv4 only.
  cat > "$dir/avahi.conf" <<EOF
[server]
host-name=kovali-$1
use-ipv4=yes
use-ipv6=no
allow-interfaces=$2
enable-dbus=yes
[wide-area]
enable-wide-area=no
[publish]
publish-hinfo=no
publish-workstation=no
publish-aaaa-on-ipv4=no
EOF
  airplay_spawn "$1" "$dir/bus.pid" /dev/null "$dir/bus.log" dbus-daemon --config-file="$dir/bus.conf" --nofork
  airplay_wait_for 5 test -S "$dir/bus" || return 1
  airplay_spawn "$1" "$dir/avahi.pid" /dev/null "$dir/avahi.log" env DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/bus" \
    avahi-daemon --no-drop-root --no-chroot --no-rlimits -f "$dir/avahi.conf"
}

start_airplay_speaker() {  # $1 = number from 1: a receiver playing into its sink "speakerN"
  local n=$1 dir=$KOVALI_AIRPLAY_RIG/speaker
  # Under PipeWire the volume never reaches a speaker, so the receiver keeps its full level. With
  # a buffer under 0.3 s the receiver plays its first frame 50-90 ms late into its sink, and may
  # drop what it holds to catch up. PipeWire's AirPlay sink asks for only 0.25 s of latency, less
  # than that buffer, so there the receivers play what arrives as it arrives, unsynchronised
  # (they log "Synchronisation may fail"); with a buffer under 0.25 s they drop whole streams.
  local pipewire_lines=""
  [ "$KOVALI_AIRPLAY_SERVER" = pipewire ] && pipewire_lines='ignore_volume_control = "yes";'
  # Each receiver has its own ports; its D-Bus names go to a bus nobody runs, and metadata
  # (a pipe in the shared temporary folder) stays off.
  cat > "$dir/receiver$n.conf" <<EOF
general = { name = "${airplay_speaker_names[$((n - 1))]}"; port = $((5000 + n));
            udp_port_base = $((6000 + 100 * n)); udp_port_range = 50;
            mdns_backend = "avahi"; output_backend = "pa";
            dbus_service_bus = "session"; mpris_service_bus = "session";
            audio_backend_buffer_desired_length_in_seconds = 0.3; $pipewire_lines };
pa = { server = "unix:$dir/runtime/pulse/native"; sink = "speaker$n"; application_name = "receiver $n"; };
sessioncontrol = { session_timeout = 20; };
metadata = { enabled = "no"; };
EOF
  airplay_spawn speaker "$dir/receiver$n.pid" /dev/null "$dir/receiver$n.log" \
    env DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/bus" shairport-sync -c "$dir/receiver$n.conf" -u -v
}

stop_airplay_speaker() {  # $1 = number from 1
  local pidfile=$KOVALI_AIRPLAY_RIG/speaker/receiver$1.pid
  [ -f "$pidfile" ] || return 0
  airplay_end "$(cat "$pidfile")"
  rm -f "$pidfile"
  # Gone from the client's Bonjour too: a receiver started again before its goodbye went out
  # would send the same records, and the sound server would never learn it had left.
  airplay_wait_for 10 airplay_speaker_gone "${airplay_speaker_names[$(($1 - 1))]}" ||
    { echo "The client still sees speaker $1 on Bonjour." >&2; return 1; }
}

airplay_speaker_listed() { ! airplay_speaker_gone "$1"; }  # $1 = AirPlay name

airplay_speaker_gone() {  # $1 = AirPlay name: the client's Bonjour no longer lists it
  ! airplay_in client env DBUS_SYSTEM_BUS_ADDRESS="unix:path=$KOVALI_AIRPLAY_RIG/client/bus" \
    avahi-browse -tp _raop._tcp 2>/dev/null | grep -qF "\\064${1// /\\032};"
}

# The speakers' sound server: one null sink per receiver, recorded from the start, so a receiver
# can stop and start again while its capture goes on.
airplay_start_speaker_sinks() {  # $1 = the capture tool
  local dir=$KOVALI_AIRPLAY_RIG/speaker n server
  server="unix:$dir/runtime/pulse/native"
  mkdir -p -m 700 "$dir/runtime/pulse" "$dir/home" "$dir/config" "$dir/state"
  {
    echo "load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/runtime/pulse/native"
    for n in $(seq ${#airplay_speaker_names[@]}); do
      echo "load-module module-null-sink sink_name=speaker$n rate=44100 channels=2"
    done
  } > "$dir/server.pa"
  airplay_namespace_spawn speaker pulseaudio pulseaudio -n -F "$dir/server.pa" --daemonize=no \
    --exit-idle-time=-1 --disallow-exit --log-target=file:"$dir/sound.log"
  airplay_wait_for 10 pactl -s "$server" info || return 1
  : > "$KOVALI_AIRPLAY_RIG/speakers"
  for n in $(seq ${#airplay_speaker_names[@]}); do
    PULSE_SERVER=$server "$1" "speaker$n.monitor" "$KOVALI_AIRPLAY_RIG/speaker$n.raw" 2>>"$dir/capture$n.log" &
    echo $! > "$dir/capture$n.pid"
    printf '%s\t%s\t%s\n' "$n" "${airplay_speaker_names[$((n - 1))]}" "$KOVALI_AIRPLAY_RIG/speaker$n.raw" \
      >> "$KOVALI_AIRPLAY_RIG/speakers"
  done
}

# airplay_namespace_spawn NAMESPACE NAME COMMAND...: starts a daemon in the namespace (client or
# speaker) with everything of its own under that namespace's folder (NAME.pid, NAME.log) and the
# namespace's bus as both its system and its session bus.
airplay_namespace_spawn() {
  local ns=$1 dir=$KOVALI_AIRPLAY_RIG/$1 name=$2
  shift 2
  airplay_spawn "$ns" "$dir/$name.pid" /dev/null "$dir/$name.log" \
    env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" \
    XDG_CONFIG_HOME="$dir/config" XDG_STATE_HOME="$dir/state" \
    DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/bus" DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/bus" "$@"
}

airplay_client_spawn() { airplay_namespace_spawn client "$@"; }  # NAME COMMAND...: the sound server's daemons

airplay_start_pulseaudio() {  # $1 = yes to load the AirPlay discovery
  local dir=$KOVALI_AIRPLAY_RIG/client discovery=""
  [ "$1" = yes ] && discovery="load-module module-raop-discover"
  cat > "$dir/server.pa" <<EOF
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/runtime/pulse/native
load-module module-null-sink sink_name=music sink_properties=device.description=music rate=48000 channels=2
set-default-sink music
$discovery
EOF
  airplay_client_spawn pulseaudio pulseaudio -n -F "$dir/server.pa" --daemonize=no \
    --exit-idle-time=-1 --disallow-exit --log-target=file:"$dir/sound.log"
}

airplay_start_pipewire() {  # $1 = yes to load the AirPlay discovery
  local dir=$KOVALI_AIRPLAY_RIG/client daemon
  airplay_client_spawn pipewire pipewire
  airplay_wait_for 15 test -S "$dir/runtime/pipewire-0" || return 1
  for daemon in wireplumber pipewire-pulse; do airplay_client_spawn "$daemon" "$daemon"; done
  # pipewire-pulse answers before it can make sinks or choose one ("Not supported"): a failed
  # load or choice changes nothing, so it is tried again.
  airplay_wait_for 10 pactl load-module module-null-sink sink_name=music sink_properties=device.description=music \
    rate=48000 channels=2 || return 1
  airplay_wait_for 10 pactl set-default-sink music || return 1
  [ "$1" = yes ] && { airplay_wait_for 10 pactl load-module module-raop-discover || return 1; }
  return 0
}

airplay_speakers_announced() {  # both receivers resolve on the client's Bonjour
  local found
  found=$(airplay_in client env DBUS_SYSTEM_BUS_ADDRESS="unix:path=$KOVALI_AIRPLAY_RIG/client/bus" \
    avahi-browse -rtp _raop._tcp 2>/dev/null | grep -c '^=') || true
  [ "$found" -ge ${#airplay_speaker_names[@]} ]
}

airplay_sinks_ready() {  # one AirPlay sink per receiver
  local found
  found=$(pactl list sinks 2>/dev/null | grep -c 'device.description = "\(Kitchen\|Garden\) Speaker"') || true
  [ "$found" -ge ${#airplay_speaker_names[@]} ]
}

airplay_check_tools() {  # $1 = server, $2 = what
  local tool
  # The speakers' own sound server is PulseAudio on both.
  local -a tools=(ip unshare nsenter mount dbus-daemon avahi-daemon avahi-browse shairport-sync pactl pulseaudio)
  [ "$1" = pipewire ] && tools+=(pipewire pipewire-pulse wireplumber)
  for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || airplay_skip "$2" "$tool is not installed (scripts/setup installs it)"
  done
  if [ "$1" = pulse ]; then
    compgen -G "/usr/lib/pulse-*/modules/module-raop-discover.so" >/dev/null ||
      airplay_skip "$2" "PulseAudio's AirPlay modules are not installed (pulseaudio-module-raop)"
  else
    compgen -G "/usr/lib/*/pipewire-0.3/libpipewire-module-raop-discover.so" >/dev/null ||
      airplay_skip "$2" "PipeWire's AirPlay modules are not installed (libpipewire-0.3-modules)"
  fi
}

airplay_rig_failed() {  # $1 = what did not happen: shows the logs and fails
  local log
  echo "The AirPlay rig did not come up: $1." >&2
  for log in "$KOVALI_AIRPLAY_RIG"/*/*.log; do
    [ -s "$log" ] && { echo "--- $log" >&2; tail -5 "$log" >&2; }
  done
  exit 1
}

start_airplay_rig() {
  local server=$1 what=$2 capture_tool=$3 discovery=yes dir n
  [ "${4:-}" = no-discovery ] && discovery=no
  [ "$(id -u)" -eq 0 ] || airplay_skip "$what" "not root (private network namespaces need root)"
  airplay_check_tools "$server" "$what"
  [ -x "$capture_tool" ] || airplay_skip "$what" "the capture tool $capture_tool is not built"

  dir=$(mktemp -d /tmp/kovali-airplay-rig.XXXXXX)
  export KOVALI_AIRPLAY_RIG=$dir KOVALI_AIRPLAY_SERVER=$server
  export KOVALI_AIRPLAY_RIG_SCRIPT=${BASH_SOURCE[0]}
  trap stop_airplay_rig EXIT
  mkdir -p -m 700 "$dir/client/runtime" "$dir/client/home" "$dir/client/config" "$dir/client/state"
  airplay_start_namespace client || airplay_rig_failed "no client namespace"
  airplay_start_namespace speaker || airplay_rig_failed "no speaker namespace"
  airplay_in client ip link add veth0 type veth peer name veth1 netns "$(cat "$dir/speaker.ns")"
  airplay_in client ip addr add 10.77.0.1/24 dev veth0
  airplay_in client ip link set veth0 up
  airplay_in speaker ip addr add 10.77.0.2/24 dev veth1
  airplay_in speaker ip link set veth1 up
  airplay_start_bus_and_avahi client veth0 || airplay_rig_failed "the client's D-Bus did not start"
  airplay_start_bus_and_avahi speaker veth1 || airplay_rig_failed "the speakers' D-Bus did not start"
  airplay_start_speaker_sinks "$capture_tool" || airplay_rig_failed "the speakers' sound server did not start"
  for n in $(seq ${#airplay_speaker_names[@]}); do start_airplay_speaker "$n"; done

  export PULSE_SERVER="unix:$dir/client/runtime/pulse/native"
  if [ "$server" = pulse ]; then
    mkdir -p -m 700 "$dir/client/runtime/pulse"
    airplay_start_pulseaudio "$discovery"
  else
    airplay_start_pipewire "$discovery" || airplay_rig_failed "PipeWire did not start"
  fi
  airplay_wait_for 10 pactl info || airplay_rig_failed "the sound server does not answer"
  airplay_wait_for 30 airplay_speakers_announced || airplay_rig_failed "the speakers were not announced"
  if [ "$discovery" = yes ]; then
    airplay_wait_for 30 airplay_sinks_ready || airplay_rig_failed "no AirPlay sink for each speaker"
    # PulseAudio's AirPlay sink given a stream before its first exchange with the speaker has
    # ended never reaches the speaker. The player waits for sinks made while it watches, as
    # these are not: they get the same moment here.
    sleep 1
  fi
}

# Stops everything start_airplay_rig started, by pid: the sound server and receivers before
# the buses and Bonjour daemons they use, the namespace holders last.
stop_airplay_rig() {
  local dir=${KOVALI_AIRPLAY_RIG:-} pidfile
  [ -n "$dir" ] && [ -d "$dir" ] || return 0
  for pidfile in "$dir"/client/{pipewire-pulse,wireplumber,pipewire,pulseaudio}.pid \
                 "$dir"/speaker/receiver*.pid "$dir"/speaker/capture*.pid "$dir"/speaker/pulseaudio.pid \
                 "$dir"/{client,speaker}/avahi.pid \
                 "$dir"/{client,speaker}/bus.pid "$dir"/{client,speaker}.ns; do
    [ -f "$pidfile" ] && airplay_end "$(cat "$pidfile")"
  done
  rm -rf "$dir"
}

airplay_end() {  # ends process $1, forcibly when it is still there after 5 s
  kill "$1" 2>/dev/null || return 0
  for _ in $(seq 50); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -9 "$1" 2>/dev/null || true
}

# Run as a command: stop-speaker N or start-speaker N on the rig named by KOVALI_AIRPLAY_RIG.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  case "${1:-}" in
    stop-speaker) stop_airplay_speaker "$2" ;;
    start-speaker)
      # Told apart from a fault of the program under test: a receiver whose announcement the
      # client never sees gets no sink.
      start_airplay_speaker "$2"
      airplay_wait_for 10 airplay_speaker_listed "${airplay_speaker_names[$(($2 - 1))]}" ||
        { echo "The client does not see speaker $2 on Bonjour again." >&2; exit 1; }
      ;;
    *)
      echo "usage: KOVALI_AIRPLAY_RIG=DIR $0 stop-speaker|start-speaker N" >&2
      exit 2
      ;;
  esac
fi
