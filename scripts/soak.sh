#!/usr/bin/env bash
# Long run of the headless program: TICKS ticks (default 20000) of a replay
# script with auto-iteration on and random keys and mouse moves from a fixed
# seed, in a copy of data/. Passes when no screenshot taken along the way shows
# a warning, the exit code is 0 and resident memory after tick 100 stays within
# SOAK_RSS_SLACK_KB (default 2048). Then a shorter run of the same kind
# (VALGRIND_TICKS, default 300) under valgrind memcheck must show no error and
# no definite leak.
# Usage: scripts/soak.sh [TICKS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
ticks=${1:-20000}
valgrind_ticks=${VALGRIND_TICKS:-300}
slack_kb=${SOAK_RSS_SLACK_KB:-2048}
seed=20261207
shot_every=250

replay="$root/build/bin/veltrix-replay"
if [ ! -x "$replay" ]; then
    cmake -S "$root" -B "$root/build" >/dev/null
    cmake --build "$root/build" -j"$(nproc)" --target veltrix-replay
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -R "$root/data/." "$work/"
python3 "$root/scripts/soak.py" script "$ticks" "$seed" "$shot_every" >"$work/soak.txt"

echo "== soak: $ticks ticks (seed $seed) in $work"
# Resident memory once a second, with the number of screenshots written so far
# (F12 at tick 100, then every $shot_every ticks) to place it in the run.
(cd "$work" && exec "$replay" soak.txt) &
pid=$!
: >"$work/rss.log"
while kill -0 "$pid" 2>/dev/null; do
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
    shots=$(find "$work" -maxdepth 1 -name 'Screenshot*.bmp' | wc -l)
    [ -n "$rss" ] && echo "$SECONDS $shots $rss" >>"$work/rss.log"
    sleep 1
done
status=0
wait "$pid" || status=$?
if [ "$status" -ne 0 ]; then
    echo "soak: veltrix-replay exited with $status"
    exit 1
fi

shots=("$work"/Screenshot*.bmp)
python3 "$root/scripts/soak.py" check "$work/Font.bmp" "${shots[@]}"

# Memory from the first sample at or after tick 100 (one screenshot written).
half_shots=$((ticks / 2 / shot_every + 1))
read -r first half last peak samples < <(awk -v h="$half_shots" '$2 >= 1 { if (!n++) first = $3; last = $3; if ($3 > peak) peak = $3 }
    $2 >= h && !half { half = $3 } END { print first + 0, half + 0, last + 0, peak + 0, n + 0 }' "$work/rss.log")
start_rss=$(head -n 1 "$work/rss.log" | awk '{print $3}')
echo "soak: $ticks ticks in ${SECONDS}s; VmRSS at start ${start_rss:-?} kB, after tick 100 ${first} kB," \
    "half-way ${half} kB, at the end ${last} kB, peak ${peak} kB ($samples samples after tick 100)"
if [ "$samples" -eq 0 ]; then
    echo "soak: the run was too short to sample memory after tick 100"
elif [ $((peak - first)) -gt "$slack_kb" ]; then
    echo "soak: resident memory grew by $((peak - first)) kB after tick 100 (allowed $slack_kb kB)"
    exit 1
fi

if ! command -v valgrind >/dev/null 2>&1; then
    echo "valgrind not found: memcheck run skipped"
    exit 0
fi
echo "== valgrind memcheck: $valgrind_ticks ticks"
rm -f "$work"/Screenshot*.bmp
python3 "$root/scripts/soak.py" script "$valgrind_ticks" "$seed" "$shot_every" >"$work/short.txt"
(cd "$work" && valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
    "$replay" short.txt 2>"$work/valgrind.log") || {
    cat "$work/valgrind.log"
    echo "valgrind: errors or definite leaks"
    exit 1
}
grep -E "ERROR SUMMARY|definitely lost|in use at exit" "$work/valgrind.log"
echo "soak: passed"
