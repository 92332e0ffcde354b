#!/usr/bin/env bash
# Distance measurement as the user runs it, against fping.
#
#   bench/distance_fping.sh [rows ...]          (default: 1000 100; as root or with sudo)
#
# For each number of rows, in a network namespace of its own (loopback only):
# the demo list server lists that many servers on distinct 127.x addresses; the
# real program runs on a virtual X screen with its window painted, "Get List"
# is clicked, and after SETTLE seconds the CPU of every thread of the program
# (from /proc/PID/task/*/schedstat) and of the X server is taken over MEASURE
# seconds, with the echoes counted by the namespace's own ICMP counters. Then
# fping pings the same addresses once a second each for as long. The two take
# turns for ROUNDS rounds; before every round the script waits up to QUIET_WAIT
# seconds for the one-minute load average to fall below MAX_LOAD, and says so
# when it does not. It prints every round, then the medians, their ratio and
# the spread of the program's rounds.
#
# Settings (environment): ROUNDS=5 SETTLE=35 MEASURE=30 MAX_LOAD=0.8 QUIET_WAIT=900
set -euo pipefail
cd "$(dirname "$0")/.."

ROUNDS=${ROUNDS:-5}
SETTLE=${SETTLE:-35}
MEASURE=${MEASURE:-30}
MAX_LOAD=${MAX_LOAD:-0.8}
QUIET_WAIT=${QUIET_WAIT:-900}
export ROUNDS SETTLE MEASURE MAX_LOAD QUIET_WAIT
rows_list=("$@")
((${#rows_list[@]})) || rows_list=(1000 100)

as_root() { if [[ $(id -u) == 0 ]]; then "$@"; else sudo "$@"; fi; }

if [[ ${DISTANCE_FPING_INSIDE:-} != 1 ]]; then
    missing=()
    command -v fping >/dev/null || missing+=(fping)
    command -v Xvfb >/dev/null || missing+=(xvfb)
    command -v xdotool >/dev/null || missing+=(xdotool)
    if ((${#missing[@]})); then
        echo "Installing ${missing[*]}."
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
    fi
    [[ -d build ]] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build --target quimbrel demo-servers >/dev/null
    # Everything below runs in a network namespace of its own: the echoes never
    # leave it and its counters count only ours.
    sudo_cmd=()
    [[ $(id -u) == 0 ]] || sudo_cmd=(sudo)
    exec "${sudo_cmd[@]}" env DISTANCE_FPING_INSIDE=1 unshare --net -- "$0" "${rows_list[@]}"
fi

ip link set lo up
# Every group may open datagram echo sockets here, as on a desktop system.
echo "0 2147483647" >/proc/sys/net/ipv4/ping_group_range

scratch=$(mktemp -d)
pids=()
running_pid=  # the program or fping, during a round
cleanup() {
    local i
    [[ -z $running_pid ]] || kill "$running_pid" 2>/dev/null || true
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null || true
    done
    rm -rf "$scratch"
}
trap cleanup EXIT

source scripts/wait-until.sh

# CPU time in nanoseconds of every thread of the processes given.
cpu_ns() {
    local total=0 pid task ns
    for pid in "$@"; do
        for task in /proc/"$pid"/task/*/schedstat; do
            read -r ns _ <"$task" 2>/dev/null || continue
            total=$((total + ns))
        done
    done
    echo "$total"
}

# Echo requests received in this namespace: every echo sent to loopback.
echoes() {
    awk '/^Icmp:/ { if (!column) { for (i = 2; i <= NF; i++) if ($i == "InEchos") column = i; next }
                    print $column; exit }' /proc/net/snmp
}

load1() { cut -d' ' -f1 /proc/loadavg; }
# Waits for a quiet machine; prints the load average the round starts with.
quiet_load() {
    local waited=0
    while awk -v l="$(load1)" -v m="$MAX_LOAD" 'BEGIN { exit !(l >= m) }'; do
        if ((waited >= QUIET_WAIT)); then
            echo "$(load1) (NOT quiet: still at or above $MAX_LOAD after ${QUIET_WAIT} s)"
            return
        fi
        sleep 5
        waited=$((waited + 5))
    done
    echo "$(load1)"
}

# Measures the processes given over MEASURE seconds: "cpu_ns echoes x_ns".
measure() {
    local cpu0 echo0 x0 cpu1 echo1 x1
    cpu0=$(cpu_ns "$@"); echo0=$(echoes); x0=$(cpu_ns "$xvfb_pid")
    sleep "$MEASURE"
    cpu1=$(cpu_ns "$@"); echo1=$(echoes); x1=$(cpu_ns "$xvfb_pid")
    echo "$((cpu1 - cpu0)) $((echo1 - echo0)) $((x1 - x0))"
}

# "a b": a divided by b, in microseconds from nanoseconds.
per_echo_us() { awk -v ns="$1" -v n="$2" 'BEGIN { printf "%.1f", (n > 0 ? ns / n / 1000 : -1) }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

export XDG_RUNTIME_DIR=$scratch
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
xvfb_pid=$!
pids+=("$xvfb_pid")
wait_until '[[ -s $scratch/display ]]' 100 || { echo "The virtual screen did not start." >&2; exit 1; }
export DISPLAY=:$(head -n1 "$scratch/display")

export QUIMBREL_INI=$scratch/Quimbrel.ini WINEPREFIX=$scratch/prefix
mkdir -p "$WINEPREFIX"
echo "uptime: $(uptime)"
echo "settle ${SETTLE} s, measure ${MEASURE} s, ${ROUNDS} rounds, quiet below ${MAX_LOAD}"

for rows in "${rows_list[@]}"; do
    list_log=$scratch/list-$rows.log
    build/tools/demo-servers/demo-servers --port 10057 --count "$rows" --no-game-servers --print >"$list_log" 2>&1 &
    list_pid=$!
    pids+=("$list_pid")
    wait_until "grep -q 'Press Ctrl+C' '$list_log'" 100 || { cat "$list_log" >&2; exit 1; }
    mapfile -t addresses < <(awk '/^  [0-9]/ { sub(/:.*/, "", $1); print $1 }' "$list_log")
    # fping sends to one target after another: this interval keeps every
    # target at one echo a second, as the program does.
    interval=$((1000 / rows)); ((interval >= 1)) || interval=1

    ours=() theirs=() xs=()
    for ((round = 1; round <= ROUNDS; round++)); do
        echo "$rows rows, round $round: load $(quiet_load)"
        printf '[Config]\r\nListServer=localhost\r\n' >"$QUIMBREL_INI"
        build/src/app/quimbrel >/dev/null 2>&1 &
        quimbrel_pid=$!
        running_pid=$quimbrel_pid
        window=
        # A search may hang while the window is being made: each try is bounded.
        wait_until 'window=$(timeout 2 xdotool search --onlyvisible --pid "$quimbrel_pid" --name "^Quimbrel\$" 2>/dev/null | head -n1) && [[ -n $window ]]' 150 ||
            { echo "The program's window did not appear." >&2; exit 1; }
        # "Get List" sits at the top left of the first page.
        timeout 5 xdotool mousemove --window "$window" 45 44 click 1
        sleep "$SETTLE"
        read -r cpu count x <<<"$(measure "$quimbrel_pid")"
        kill "$quimbrel_pid"; wait "$quimbrel_pid" 2>/dev/null || true
        ours+=("$(per_echo_us "$cpu" "$count")"); xs+=("$(per_echo_us "$x" "$count")")
        echo "  program: ${ours[-1]} us CPU per echo, $((count / MEASURE)) echoes a second;" \
             "X server beside it ${xs[-1]} us per echo"

        echo "$rows rows, round $round: load $(quiet_load)"
        fping -q -l -p 1000 -i "$interval" "${addresses[@]}" >/dev/null 2>&1 &
        fping_pid=$!
        running_pid=$fping_pid
        sleep 5
        read -r cpu count _ <<<"$(measure "$fping_pid")"
        kill "$fping_pid"; wait "$fping_pid" 2>/dev/null || true
        theirs+=("$(per_echo_us "$cpu" "$count")")
        echo "  fping:   ${theirs[-1]} us CPU per echo, $((count / MEASURE)) echoes a second"
    done
    kill "$list_pid"; wait "$list_pid" 2>/dev/null || true

    ours_median=$(median "${ours[@]}") theirs_median=$(median "${theirs[@]}")
    awk -v rows="$rows" -v o="$ours_median" -v t="$theirs_median" -v x="$(median "${xs[@]}")" \
        -v spread="$(printf '%s\n' "${ours[@]}" | sort -g | sed -n '1p;$p' | paste -sd' ')" '
        BEGIN {
            split(spread, s, " ")
            ratio = t > 0 ? o / t : -1
            printf "%d rows, medians: program %.1f us per echo (X server %.1f beside it), fping %.1f; ratio %.2f (%s 0.8); ", rows, o, x, t, ratio, ratio <= 0.8 ? "within" : "NOT within"
            wide = s[1] > 0 ? s[2] / s[1] : -1
            printf "program rounds %.1f to %.1f, spread %.2fx (%s 1.5x)\n", s[1], s[2], wide, wide <= 1.5 ? "within" : "NOT within"
        }'
done
