#!/bin/bash
# The multi-state engine against bgolly (Debian's golly), one soup per engine,
# rounds alternating, both pinned to one core: a seeded random 1024 x 1024 soup
# at 50 %, every live state equally likely, as RLE, run by `bgolly -a ALGORITHM`
# and by bench-states --file:
#   Generations       Brian's Brain (B2/S/C3, bgolly's "/2/3"), 500 generations
#   Larger than Life  Bosco's rule R5,C0,M1,S34..58,B34..45,NM (512 x 512), 100 generations
#   rule table        WireWorld (ours shipped, bgolly's from golly's Rules folder), 500 generations
#   von Neumann       JvN29 (512 x 512), 100 generations
# Prints each round's CPU times (user + system, reading the file included), the
# medians' ratio, and bgolly's population beside ours.
#
#   bench/states_vs_bgolly.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
build=${1:-build}
rounds=${2:-5}
ours="$build/bin/bench-states"
[ -x "$ours" ] || { echo "no $ours: build bench-states first" >&2; exit 1; }
command -v bgolly >/dev/null || { echo "bgolly is missing (Debian package golly)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
soup() { # FILE SIZE STATES RULE
    python3 - "$@" <<'PY'
import random, sys
path, size, states, rule = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
random.seed(1024)
rows = []
for y in range(size):
    def letters(state):  # 1 to 24 'A' to 'X', then 'pA' on
        return chr(ord('A') + state - 1) if state <= 24 else 'p' + chr(ord('A') + state - 25)
    row = "".join(letters(1 + random.randrange(states - 1)) if random.getrandbits(1) else "." for x in range(size))
    rows.append(row.rstrip("."))
text = "$".join(rows) + "!"
# Lines are cut between cells, never inside a two-letter state.
lines, line = ["x = %d, y = %d, rule = %s" % (size, size, rule)], ""
for ch in text:
    line += ch
    if len(line) >= 70 and ch != 'p':
        lines.append(line)
        line = ""
lines.append(line)
open(path, "w").write("\n".join(lines) + "\n")
PY
}
pin=""
command -v taskset >/dev/null && pin="taskset -c 0"
cpu() { # CPU seconds (user + system) of the command, its output to $work/out
    local t
    t=$( { TIMEFORMAT='%U %S'; time "$@" >"$work/out" 2>&1; } 2>&1 )
    awk -v t="$t" 'BEGIN { split(t, a, " "); printf "%.3f", a[1] + a[2] }'
}
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
population() { python3 -c '
import re, sys
text = open(sys.argv[1]).read().split("\n", 1)[1]
print(sum(int(n or 1) for n in re.findall(r"(\d*)(?:[p-y]?[A-X]|o)", re.sub(r"\s", "", text))))' "$1"; }
compare() { # NAME ALGORITHM GENERATIONS FILE [bgolly options]
    local name=$1 algorithm=$2 generations=$3 file=$4
    shift 4
    local theirs=() mine=() b o
    for ((r = 1; r <= rounds; r++)); do
        b=$(cpu $pin bgolly -a "$algorithm" "$@" -m "$generations" -q -q -o "$work/bgolly.rle" "$file")
        o=$(cpu $pin "$ours" --file "$file" "$generations")
        echo "$name round $r: bgolly ${b} s, ours ${o} s ($(tail -1 "$work/out"))"
        theirs+=("$b")
        mine+=("$o")
    done
    echo "$name: bgolly's population $(population "$work/bgolly.rle")"
    local mb mo
    mb=$(median "${theirs[@]}")
    mo=$(median "${mine[@]}")
    echo "$name median: bgolly ${mb} s, ours ${mo} s, ours / bgolly $(awk -v a="$mo" -v b="$mb" 'BEGIN { printf "%.2f", a / b }')"
}
soup "$work/brain.rle" 1024 3 "/2/3"
soup "$work/bosco.rle" 512 2 "R5,C0,M1,S34..58,B34..45,NM"
soup "$work/wire.rle" 1024 4 "WireWorld"
soup "$work/jvn.rle" 512 29 "JvN29"
compare Generations Generations 500 "$work/brain.rle"
compare "Larger than Life" "Larger than Life" 100 "$work/bosco.rle"
compare WireWorld RuleLoader 500 "$work/wire.rle" -s /usr/share/golly/Rules/
compare JvN29 JvN 100 "$work/jvn.rle"
