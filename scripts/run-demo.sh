#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo list server on loopback and
# opens Quimbrel against it. Without a display it runs the program on a
# virtual screen, presses "Get List" and saves a screenshot instead.
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

pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; wait 2>/dev/null || true; }
trap cleanup EXIT

build/tools/demo-servers/demo-servers --bind 127.0.0.1 --port 10057 &
pids+=($!)
sleep 0.5

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  build/src/app/quimbrel
  exit 0
fi

echo "No display: running Quimbrel on a virtual screen and taking a screenshot."
screen=:$((90 + RANDOM % 100))
Xvfb "$screen" -screen 0 1024x600x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$screen
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done 2>/dev/null || sleep 1
build/src/app/quimbrel &
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
shot=$demo_dir/quimbrel-demo.png
import -window root -crop 560x300+180+90 "$shot"
echo "Screenshot of the window with the demo list loaded: $shot"
