#!/bin/bash
# The universe against bgolly (Debian's golly): a seeded random 2048 x 2048 soup at
# 50 % as RLE, run 1000 generations of Conway's rule by `bgolly -a QuickLife` and by
# bench-universe --rle, rounds alternating, both pinned to one core. Prints each
# round's CPU times (user + system, reading the file included), the medians' ratio, and
# bgolly's population beside ours.
#
#   bench/universe_vs_bgolly.sh [BUILD_DIR] [ROUNDS] [MODE]
# MODE plane (default), torus (the soup's own 2048 x 2048 torus, bgolly's ":T2048,2048")
# or table (B3/S2-i3, Conway's rule but for a live cell whose two neighbours face each
# other across it: ours on its non-totalistic path, bgolly on the same rule).
set -euo pipefail
build=${1:-build}
rounds=${2:-5}
mode=${3:-plane}
ours="$build/bin/bench-universe"
[ -x "$ours" ] || { echo "no $ours: build bench-universe first" >&2; exit 1; }
command -v bgolly >/dev/null || { echo "bgolly is missing (Debian package golly)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rule="B3/S23"
[ "$mode" = torus ] && rule="B3/S23:T2048,2048"
[ "$mode" = table ] && rule="B3/S2-i3"
python3 - "$work/soup.rle" "$rule" <<'PY'
import random, sys
random.seed(2048)
size = 2048
lines = ["x = %d, y = %d, rule = %s" % (size, size, sys.argv[2])]
rows = []
for y in range(size):
    row, run, state = [], 0, None
    for x in range(size):
        s = 'o' if random.getrandbits(1) else 'b'
        if s == state:
            run += 1
            continue
        if state is not None:
            row.append((str(run) if run > 1 else "") + state)
        state, run = s, 1
    if state == 'o':
        row.append((str(run) if run > 1 else "") + state)
    rows.append("".join(row))
text = "$".join(rows) + "!"
lines += [text[i:i + 70] for i in range(0, len(text), 70)]
open(sys.argv[1], "w").write("\n".join(lines) + "\n")
PY
pin=""
command -v taskset >/dev/null && pin="taskset -c 0"
cpu() { # CPU seconds (user + system) of the command, its output to $work/out
    local t
    t=$( { TIMEFORMAT='%U %S'; time "$@" >"$work/out" 2>&1; } 2>&1 )
    awk -v t="$t" 'BEGIN { split(t, a, " "); printf "%.3f", a[1] + a[2] }'
}
theirs=()
mine=()
for ((r = 1; r <= rounds; r++)); do
    b=$(cpu $pin bgolly -a QuickLife -m 1000 -q -q -o "$work/bgolly.rle" "$work/soup.rle")
    o=$(cpu $pin "$ours" --rle "$work/soup.rle" 1000 "$mode")
    echo "round $r: bgolly ${b} s, ours ${o} s ($(tail -1 "$work/out"))"
    theirs+=("$b")
    mine+=("$o")
done
# The same cells: bgolly's population beside ours of the last round.
echo "bgolly's population: $(python3 -c '
import re, sys
text = open(sys.argv[1]).read().split("\n", 1)[1]
print(sum(int(n or 1) for n in re.findall(r"(\d*)o", re.sub(r"\s", "", text))))' "$work/bgolly.rle")"
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
mb=$(median "${theirs[@]}")
mo=$(median "${mine[@]}")
echo "median: bgolly ${mb} s, ours ${mo} s, ours / bgolly $(awk -v a="$mo" -v b="$mb" 'BEGIN { printf "%.2f", a / b }')"
