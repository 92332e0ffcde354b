#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo list server and its game
# servers on loopback and opens Quimbrel against them, with a Wine prefix of its
# own that holds two sample player profiles. Without a display it runs the
# program on a virtual screen, presses "Get List", asks one server for its
# players with "Serverinfo", opens a profile and saves screenshots instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh

# Distances are measured with ICMP echoes. Where the user's groups may not open
# datagram echo sockets (net.ipv4.ping_group_range), the program needs
# CAP_NET_RAW for raw ones: give it that capability, as the system does for
# ping. It stays in the permitted set; the program raises it only to open its
# echo sockets. Relinking drops it, so it is given again after every build.
datagram_echoes_allowed() {
  local low high group
  read -r low high </proc/sys/net/ipv4/ping_group_range || return 1
  for group in $(id -G); do
    ((group >= low && group <= high)) && return 0
  done
  return 1
}
if ! datagram_echoes_allowed; then
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  echo "Giving build/src/app/quimbrel the capability to send pings (cap_net_raw)."
  if ((${#sudo_cmd[@]})) && ! command -v sudo >/dev/null; then
    echo "No sudo to set it with: distances will stay empty." >&2
  elif ! "${sudo_cmd[@]}" setcap cap_net_raw+p build/src/app/quimbrel; then
    echo "Could not set the capability: distances will stay empty." >&2
  fi
fi

demo_dir=$PWD/build/demo
mkdir -p "$demo_dir"
# A settings file of its own, so the demo never touches the user's settings.
export QUIMBREL_INI=$demo_dir/Quimbrel.ini
if [[ ! -f $QUIMBREL_INI ]]; then
  printf '[Config]\r\nListServer=localhost\r\n' >"$QUIMBREL_INI"
fi

# A throw-away Wine prefix with two sample player profiles, so the demo shows
# the "Player edit" page at work and never touches the user's own prefix.
export WINEPREFIX
WINEPREFIX=$(mktemp -d)
cp tools/demo-prefix/user.reg "$WINEPREFIX/"

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

# The program starts in its own folder, where the character pictures lie.
start_quimbrel() { cd build/src/app && exec ./quimbrel; }

# Quimbrel always asks the list server on port 10057, so the demo needs that
# port to itself: another program answering there would be shown instead.
port=10057
busy() {
  echo "Port $port is already in use by another program, so the demo list server cannot start." >&2
  echo "Find it with: ss -ltnp 'sport = :$port'   Stop it and run this command again." >&2
  exit 1
}
if ss -Hltn "sport = :$port" 2>/dev/null | grep -q .; then
  busy
fi
demo_log=$demo_dir/demo-servers.log
build/tools/demo-servers/demo-servers --bind 127.0.0.1 --port "$port" >"$demo_log" 2>&1 &
demo_pid=$!
pids+=("$demo_pid")
# It reports once it listens, and ends at once when it cannot.
for _ in $(seq 100); do
  grep -q 'Press Ctrl+C' "$demo_log" && break
  kill -0 "$demo_pid" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q 'Press Ctrl+C' "$demo_log"; then
  cat "$demo_log" >&2
  grep -q 'in use' "$demo_log" && busy
  echo "The demo list server did not start." >&2
  exit 1
fi
head -n1 "$demo_log"

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  (start_quimbrel)
  exit 0
fi

echo "No display: running Quimbrel on a virtual screen and taking a screenshot."
screen=:$((90 + RANDOM % 100))
Xvfb "$screen" -screen 0 1024x600x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$screen
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done 2>/dev/null || sleep 1
(start_quimbrel) &
pids+=($!)
window=""
for _ in $(seq 100); do
  window=$(xdotool search --name '^Quimbrel$' 2>/dev/null | head -n1) && [[ -n $window ]] && break
  sleep 0.1
done
[[ -n $window ]] || { echo "The program's window did not appear." >&2; exit 1; }
sleep 0.5
# "Get List" sits at the top left of the first page.
xdotool mousemove --window "$window" 45 44 click 1
sleep 2
# Select "Tumbleweed Tower", the fourth row (a public server of a version we
# need no executable for), then press "Serverinfo" beside "Get List".
xdotool mousemove --window "$window" 60 129 click 1
sleep 0.5
xdotool mousemove --window "$window" 116 46 click 1
for _ in $(seq 50); do
  xdotool search --onlyvisible --name '^Playerlist$' >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 0.5
shot=$demo_dir/quimbrel-demo.png
import -window root -crop 780x260+180+90 "$shot"
echo "Screenshot of the window with the demo list loaded and one server's players: $shot"
# The "Player edit" tab, then the first sample profile.
xdotool mousemove --window "$window" 110 12 click 1
sleep 0.5
xdotool mousemove --window "$window" 90 77 click 1
sleep 1
shot=$demo_dir/quimbrel-player-edit.png
import -window root -crop 560x300+180+90 "$shot"
echo "Screenshot of the \"Player edit\" page with a sample profile: $shot"
