#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo list server on loopback and
# opens Quimbrel against it, with a Wine prefix of its own that holds two
# sample player profiles. Without a display it runs the program on a virtual
# screen, presses "Get List", opens a profile and saves screenshots instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh

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

build/tools/demo-servers/demo-servers --bind 127.0.0.1 --port 10057 &
pids+=($!)
sleep 0.5

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
shot=$demo_dir/quimbrel-demo.png
import -window root -crop 560x300+180+90 "$shot"
echo "Screenshot of the window with the demo list loaded: $shot"
# The "Player edit" tab, then the first sample profile.
xdotool mousemove --window "$window" 110 12 click 1
sleep 0.5
xdotool mousemove --window "$window" 90 77 click 1
sleep 1
shot=$demo_dir/quimbrel-player-edit.png
import -window root -crop 560x300+180+90 "$shot"
echo "Screenshot of the \"Player edit\" page with a sample profile: $shot"
