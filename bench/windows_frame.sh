#!/usr/bin/env bash
# bench/windows_frame.sh: the time of one frame of the Windows build's
# veltrix-replay.exe under Wine beside the Linux build's veltrix-replay, in
# one run, for the four benchmark scenes and 1 and 2 threads. Each
# measurement runs the scene's script followed by 1 tick and by 1 + TICKS
# ticks; the difference over TICKS is the frame's time, so start-up (and
# Wine's) cancels out. Rounds alternate the two builds; the table gives, for
# the wall time and for the process's CPU time, the medians over the rounds,
# the Windows/Linux ratio of the medians, and the median, lowest and highest
# ratio of single rounds.
#
# Builds build/ and build-windows/ when they are missing (scripts/windows.sh)
# and brings the target up to date in both. Settings, from the environment:
#   ROUNDS=3  TICKS=1000  SCENES="s1 s2 s3 s4"  THREADS="1 2"
#   LINUX_BUILD=build  WINDOWS_BUILD=build-windows   (folders under the root or absolute)
#   RESULTS=FILE   also writes every round's figures to FILE
# A measuring tool, not a test: nothing here passes or fails on speed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
ensure_packages $RUN_PACKAGES $WINDOWS_PACKAGES $WINE_PACKAGES

rounds=${ROUNDS:-3}
# Wine's start-up varies by a good part of a second from run to run: over
# fewer ticks that swamps the frame.
ticks=${TICKS:-1000}
scenes=${SCENES:-s1 s2 s3 s4}
threads=${THREADS:-1 2}
absolute() { case $1 in /*) echo "$1" ;; *) echo "$root/$1" ;; esac; }
linux=$(absolute "${LINUX_BUILD:-build}")
windows=$(absolute "${WINDOWS_BUILD:-build-windows}")

[ -f "$linux/CMakeCache.txt" ] || cmake -S "$root" -B "$linux" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$linux" -j2 --target veltrix-replay >/dev/null
[ -f "$windows/CMakeCache.txt" ] || bash "$root/scripts/windows.sh" >/dev/null
cmake --build "$windows" -j2 --target veltrix-replay >/dev/null

# Wine in the Windows build's own prefix, as the Windows tests run it; the
# server stays up for the whole run so that every start costs the same.
export WINEPREFIX=$windows/wine WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
wineserver -p 600 2>/dev/null || true
timeout 300 wineboot -i >/dev/null 2>&1

# One folder per scene: a copy of data/ with the scene's Life.ini and its two
# scripts.
life_of() { case $1 in s2) echo soup.ini ;; s3 | s4) echo full.ini ;; *) echo "" ;; esac; }
for scene in $scenes; do
    dir=$work/$scene
    mkdir -p "$dir"
    cp -r "$root/data/." "$dir/"
    life=$(life_of "$scene")
    [ -n "$life" ] && cp "$root/bench/scenes/$life" "$dir/Life.ini"
    { cat "$root/bench/scenes/$scene.txt"; echo "tick 1"; } >"$dir/short.txt"
    { cat "$root/bench/scenes/$scene.txt"; echo "tick $((ticks + 1))"; } >"$dir/long.txt"
done

# run BUILD SCENE THREADS SCRIPT: "WALL CPU" of one run in seconds, CPU being
# the process's user and system time.
run() {
    local build=$1 scene=$2 n=$3 script=$4 times
    local TIMEFORMAT='%3R %3U %3S'
    cd "$work/$scene"
    times=$({ time if [ "$build" = linux ]; then
        "$linux/bin/veltrix-replay" --threads "$n" "$script" >/dev/null 2>"$work/stderr"
    else
        wine "$windows/bin/veltrix-replay.exe" --threads "$n" "$script" >/dev/null 2>"$work/stderr"
    fi; } 2>&1) || { echo "$build $scene --threads $n $script failed:" >&2; cat "$work/stderr" >&2; return 1; }
    cd "$root"
    echo "$times" | awk '{ print $1, $2 + $3 }'
}

# frame BUILD SCENE THREADS: "WALL CPU" milliseconds per frame from one pair
# of runs.
frame() {
    local short long
    short=$(run "$1" "$2" "$3" short.txt)
    long=$(run "$1" "$2" "$3" long.txt)
    echo "$short $long" | awk -v t="$ticks" '{ printf "%.3f %.3f\n", ($3 - $1) * 1000 / t, ($4 - $2) * 1000 / t }'
}

buildType() { sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$1/CMakeCache.txt"; }
echo "Linux: $linux ($(buildType "$linux")); Windows: $windows ($(buildType "$windows")); $(wine --version 2>/dev/null)"
# One run of each build first, not counted: a new prefix is still starting
# its services, and the first start reads everything from disk.
first=${scenes%% *}
run linux "$first" 1 short.txt >/dev/null
run windows "$first" 1 short.txt >/dev/null

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
results=$work/results
: >"$results"
for round in $(seq 1 "$rounds"); do
    # Odd rounds start with Linux, even rounds with Windows.
    order="linux windows"
    [ $((round % 2)) -eq 0 ] && order="windows linux"
    for scene in $scenes; do
        for n in $threads; do
            for build in $order; do
                ms=$(frame "$build" "$scene" "$n")
                echo "$round $scene $n $build $ms" >>"$results"
            done
        done
    done
    echo "round $round of $rounds done, load average $(cut -d' ' -f1-3 /proc/loadavg)"
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# column SCENE THREADS BUILD FIELD: one measurement of every round.
column() { awk -v s="$1" -v n="$2" -v b="$3" -v f="$4" '$2 == s && $3 == n && $4 == b { print $f }' "$results"; }
# rounds SCENE THREADS FIELD: the Windows/Linux ratios of single rounds, as
# "median (lowest-highest)".
rounds() {
    awk -v s="$1" -v n="$2" -v f="$3" '$2 == s && $3 == n { t[$1 " " $4] = $f; r[$1] = 1 }
        END { for (k in r) print t[k " windows"] / t[k " linux"] }' "$results" | sort -n |
        awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
              printf "%.2f (%.2f-%.2f)", m, v[1], v[NR] }'
}
echo
echo "ms per frame, medians of $rounds rounds of $ticks ticks; wall time, and the process's CPU time"
echo "(user + system, all threads)"
printf '%-6s %7s | %7s %7s %6s %17s | %7s %7s %6s %17s\n' scene threads \
    linux windows ratio "round ratios" "cpu lin" "cpu win" ratio "round ratios"
for scene in $scenes; do
    for n in $threads; do
        lw=$(column "$scene" "$n" linux 5 | median)
        ww=$(column "$scene" "$n" windows 5 | median)
        lc=$(column "$scene" "$n" linux 6 | median)
        wc=$(column "$scene" "$n" windows 6 | median)
        printf '%-6s %7s | %7.2f %7.2f %6.2f %17s | %7.2f %7.2f %6.2f %17s\n' "$scene" "$n" \
            "$lw" "$ww" "$(awk -v a="$ww" -v b="$lw" 'BEGIN { print a / b }')" "$(rounds "$scene" "$n" 5)" \
            "$lc" "$wc" "$(awk -v a="$wc" -v b="$lc" 'BEGIN { print a / b }')" "$(rounds "$scene" "$n" 6)"
    done
done
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
if [ -n "${RESULTS:-}" ]; then
    { echo "# round scene threads build wall-ms cpu-ms"; cat "$results"; } >"$RESULTS"
fi
