#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo list server and its game
# servers on loopback and opens Quimbrel against them, with a Wine prefix of its
# own that holds two sample player profiles and a stand-in game for each game
# version. Without a display it runs the program on a virtual screen, presses
# "Get List", asks one server for its players with "Serverinfo", starts the
# stand-in game for another with "Start game", opens a profile and saves
# screenshots instead.
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

# A stand-in for the game in each version, so that "Start game" visibly starts
# something: a window that shows the version and the command line it got. The
# program hands a game only the game's own parameters, so each version has a
# launcher of its own that tells the stand-in which version it plays.
stand_in=$PWD/build/tools/stand-in-game/stand-in-game
games_dir=$demo_dir/games
mkdir -p "$games_dir"
declare -A game_for_key=()
for version in "1.21" "1.24" "1.24 x"; do
  launcher=$games_dir/zarn2-${version// /}
  printf '#!/bin/bash\nexec %q --stands-for %q "$@"\n' "$stand_in" "$version" >"$launcher"
  chmod +x "$launcher"
  key=Zarn${version//[. ]/}
  game_for_key[$key]=$launcher
done

# A settings file of its own, so the demo never touches the user's settings.
# It is written anew on every run, so that every run starts alike: with the
# stand-ins configured, and the windows where the steps below expect them.
export QUIMBREL_INI=$demo_dir/Quimbrel.ini
{
  printf '[Config]\r\nListServer=localhost\r\n'
  for key in Zarn121 Zarn124 Zarn124x; do printf '%s=%s\r\n' "$key" "${game_for_key[$key]}"; done
} >"$QUIMBREL_INI"

# A throw-away Wine prefix with two sample player profiles, so the demo shows
# the "Player edit" page at work and never touches the user's own prefix.
export WINEPREFIX
WINEPREFIX=$(mktemp -d)
cp tools/demo-prefix/user.reg "$WINEPREFIX/"

# Stops what the demo started, the last started first, and waits for each.
pids=()
stop() {
  local pid
  for pid in "$@"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
}
cleanup() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do stop "${pids[i]}"; done
  rm -rf "$WINEPREFIX" "${XDG_RUNTIME_DIR_OF_DEMO:-}"
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

echo "No display: running Quimbrel on a virtual screen and taking screenshots."
# Programs on the virtual screen keep their runtime files here.
XDG_RUNTIME_DIR_OF_DEMO=$(mktemp -d)
export XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR_OF_DEMO
# Xvfb picks a free display number itself and writes it to the given file.
Xvfb -displayfd 3 -screen 0 1024x600x24 -nolisten tcp 3>"$XDG_RUNTIME_DIR/display" >/dev/null 2>&1 &
xvfb_pid=$!
pids+=("$xvfb_pid")

source scripts/wait-until.sh
# The id of the first visible window whose name matches $1, once there is one.
visible_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 | grep .; }
wait_for_window() { wait_until "visible_window '$1' >/dev/null" "${2:-100}" && visible_window "$1"; }
# Whether process $1 still runs (an ended child of ours waits as a zombie).
running() { local state; state=$(ps -o stat= -p "$1") && [[ $state != Z* ]]; }
# Until two looks at the screen in a row are alike: every window has drawn.
screen_grab() { import -window root rgb:- 2>/dev/null | md5sum; }
wait_for_still_screen() {
  local before now
  before=$(screen_grab)
  for _ in $(seq 30); do
    sleep 0.1
    now=$(screen_grab)
    [[ $now == "$before" ]] && return 0
    before=$now
  done
}
# Asks a window to close as a window manager would; there is none here.
close_window() { scripts/close-x11-window.py "$1"; }

wait_until '[[ -s $XDG_RUNTIME_DIR/display ]]' 100 || { echo "The virtual screen did not start." >&2; exit 1; }
export DISPLAY=:$(head -n1 "$XDG_RUNTIME_DIR/display")
(start_quimbrel) &
quimbrel_pid=$!
pids+=("$quimbrel_pid")
window=$(wait_for_window '^Quimbrel$') || { echo "The program's window did not appear." >&2; exit 1; }

# "Get List" sits at the top left of the first page.
xdotool mousemove --window "$window" 45 44 click 1
# Select "Tumbleweed Tower", the fourth row (a public server of a version that
# sets no executable requirement), then press "Serverinfo" beside "Get List".
# Until the list is there, no row can be selected and "Serverinfo" stays
# disabled, so both are pressed again until the player list opens.
ask_for_players() {
  xdotool mousemove --window "$window" 60 129 click 1 mousemove --window "$window" 116 46 click 1
  wait_until "visible_window '^Playerlist\$' >/dev/null" 5
}
wait_until ask_for_players 40 || { echo "The player list did not open." >&2; exit 1; }
wait_for_still_screen
shot=$demo_dir/quimbrel-demo.png
import -window root -crop 780x260+180+90 "$shot"
echo "Screenshot of the window with the demo list loaded and one server's players: $shot"

# Select "Cloudberry Cove", the second row (version 1.21), and press "Start
# game": the stand-in for 1.21 opens with the command line that joins it.
xdotool mousemove --window "$window" 60 103 click 1 mousemove --window "$window" 188 46 click 1
game=$(wait_for_window '^Zarn Tumblewick 2 ') || { echo "The stand-in game did not appear." >&2; exit 1; }
# Below the main window, where a window manager might put it.
xdotool windowmove "$game" 300 352
wait_for_still_screen
shot=$demo_dir/quimbrel-start-game.png
import -window root -crop 540x400+180+90 "$shot"
echo "Screenshot of the stand-in game that \"Start game\" started: $shot"
game_pid=$(xdotool getwindowpid "$game")
close_window "$game"
wait_until "! running $game_pid" 100 || echo "The stand-in game did not close." >&2

# The "Player edit" tab, then the first sample profile.
xdotool mousemove --window "$window" 110 12 click 1
wait_for_still_screen
xdotool mousemove --window "$window" 90 77 click 1
wait_for_still_screen
shot=$demo_dir/quimbrel-player-edit.png
import -window root -crop 560x300+180+90 "$shot"
echo "Screenshot of the \"Player edit\" page with a sample profile: $shot"

# Close the program as its user would, so that it writes its settings and
# ends while its screen is still there; then the servers, then the screen.
close_window "$window"
wait_until "! running $quimbrel_pid" 100 || echo "Quimbrel did not close." >&2
stop "$quimbrel_pid" "$demo_pid" "$xvfb_pid"
