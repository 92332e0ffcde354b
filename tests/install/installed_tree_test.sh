#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop sees:
# the program, its desktop entry, icons, metadata, manual and data files, that
# the installed program answers --version and --help without a display, and
# that, started from a folder without its data files, it finds its own.
#   installed_tree_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
prefix=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$prefix"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

expect_file() { [[ -f $prefix/$1 ]] || { echo "missing in the installed tree: $1" >&2; exit 1; }; }
expect_file bin/quimbrel
expect_file bin/quimbrel-query
expect_file share/applications/org.quimbrel.Quimbrel.desktop
expect_file share/metainfo/org.quimbrel.Quimbrel.metainfo.xml
expect_file share/man/man1/quimbrel.1.gz
expect_file share/man/man1/quimbrel-query.1.gz
expect_file share/doc/quimbrel/copyright
for size in 16 22 24 32 48 64 128 256; do
  icon=share/icons/hicolor/${size}x${size}/apps/org.quimbrel.Quimbrel.png
  expect_file "$icon"
  # Each size is drawn at its size, not one picture under many names.
  file "$prefix/$icon" | grep -q "$size x $size" || { echo "$icon is not $size x $size" >&2; exit 1; }
done
for picture in Zarn.bmp Pock.bmp Vani.bmp; do
  expect_file "share/quimbrel/$picture"
  file "$prefix/share/quimbrel/$picture" | grep -q '48 x 48 x 8' || { echo "$picture is not an 8-bit 48 x 48 bitmap" >&2; exit 1; }
done
[[ -x $prefix/bin/quimbrel ]] || { echo "the program is not executable" >&2; exit 1; }

desktop-file-validate "$prefix/share/applications/org.quimbrel.Quimbrel.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/org.quimbrel.Quimbrel.metainfo.xml"

# The desktop entry starts the installed program and shows the installed icon.
grep -qx 'Exec=quimbrel' "$prefix/share/applications/org.quimbrel.Quimbrel.desktop"
grep -qx 'Icon=org.quimbrel.Quimbrel' "$prefix/share/applications/org.quimbrel.Quimbrel.desktop"

version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/quimbrel" --version)
[[ $version == "The Quimbrel $2" ]] || { echo "unexpected version text: $version" >&2; exit 1; }
help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/quimbrel" --help)
for option in --settings --wine-prefix --version --help; do
  grep -q -- "$option" <<<"$help" || { echo "--help does not mention $option" >&2; exit 1; }
done
# The terminal tool runs where no window system is: it must not need Qt Widgets.
query_help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/quimbrel-query" --help)
for word in list info --json --ping --version; do
  grep -q -- "$word" <<<"$query_help" || { echo "quimbrel-query --help does not mention $word" >&2; exit 1; }
done
if readelf -d "$prefix/bin/quimbrel-query" | grep -q 'Qt6Widgets\|Qt6Gui'; then
  echo "quimbrel-query links a window system library" >&2; exit 1
fi

# Started from a desktop menu the program runs in the home folder, which holds
# no character pictures: it must find its own. A picture it cannot load is
# reported in an error box (titled "The Quimbrel") before the main window
# ("Quimbrel") is shown, and that box waits for the user, so the main window
# appearing on a virtual screen shows that start-up found every picture.
mkdir -p "$prefix/home" "$prefix/wine"
Xvfb -displayfd 3 -screen 0 1024x600x24 -nolisten tcp 3>"$prefix/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 200); do [[ -s $prefix/display ]] && break; sleep 0.05; done
[[ -s $prefix/display ]] || { echo "the virtual screen did not start" >&2; exit 1; }
display=:$(head -n1 "$prefix/display")

# Prints the id of the first visible window named exactly $1, waiting at most 60 seconds
# (a loaded machine may take long to start a program under a fresh X server).
wait_for_window() {
  local id
  for _ in $(seq 600); do
    id=$(DISPLAY=$display xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1) || true
    [[ -n $id ]] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# In the sanitizer build: the X keyboard library, which the real window system
# loads, reads past the end of a string it copies with strndup. That is not
# our code, so that one check is left out here.
if [[ -n ${ASAN_OPTIONS:-} ]]; then
  export ASAN_OPTIONS=$ASAN_OPTIONS:intercept_strndup=0
fi

start_installed() {
  (cd "$prefix/home" && exec env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY="$display" HOME="$prefix/home" \
     WINEPREFIX="$prefix/wine" QUIMBREL_INI="$prefix/home/Quimbrel.ini" XDG_RUNTIME_DIR="$prefix/home" \
     "$prefix/bin/quimbrel" >"$prefix/run.log" 2>&1) &
  program=$!
  pids+=($program)
}

start_installed
window=$(wait_for_window Quimbrel) || { echo "the installed program's window did not appear:" >&2; cat "$prefix/run.log" >&2; exit 1; }
# A dock matches the window to its menu entry by the window's class.
window_class=$(DISPLAY=$display xprop -id "$window" WM_CLASS | sed -n 's/.*", "\(.*\)"$/\1/p')
entry_class=$(sed -n 's/^StartupWMClass=//p' "$prefix/share/applications/org.quimbrel.Quimbrel.desktop")
[[ -n $window_class && $window_class == "$entry_class" ]] ||
  { echo "the window's class \"$window_class\" is not the desktop entry's \"$entry_class\"" >&2; exit 1; }
if DISPLAY=$display xdotool search --onlyvisible --name '^The Quimbrel$' >/dev/null 2>&1; then
  echo "the installed program reported an error at start-up" >&2; exit 1
fi
kill "$program"; wait "$program" 2>/dev/null || true

# The same observation does see a missing picture.
rm "$prefix/share/quimbrel/Zarn.bmp"
start_installed
wait_for_window 'The Quimbrel' >/dev/null || { echo "a missing picture was not reported:" >&2; cat "$prefix/run.log" >&2; exit 1; }
kill "$program"; wait "$program" 2>/dev/null || true
echo "installed tree is complete"
