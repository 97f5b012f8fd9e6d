#!/usr/bin/env bash
# bench/frames.sh OUT [REFERENCE]: renders the frames of the golden scripts and
# of the benchmark scenes with veltrix-replay ($VELTRIX_REPLAY, or
# build/bin/veltrix-replay), drawing with $VELTRIX_THREADS threads (1 unless
# set), into OUT (one BMP per screenshot), then, when
# REFERENCE is given, compares them byte for byte with the frames there. Speed
# work must leave every one of them unchanged; the test suite checks them
# against tests/render/exact_frames.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$1
reference=${2:-}
replay=${VELTRIX_REPLAY:-$root/build/bin/veltrix-replay}
threads=${VELTRIX_THREADS:-1}
mkdir -p "$out"
work=$(mktemp -d)
made=$(mktemp -d)
trap 'rm -rf "$work" "$made"' EXIT

scenePath() {
    case $1 in
    /*) echo "$1" ;;
    *) echo "$root/bench/scenes/$1" ;;
    esac
}

# render NAME LIFE SCRIPT-TEXT [RULES]: every F12 in the script gives
# NAME-N.bmp. LIFE and RULES name files in bench/scenes, or are absolute paths.
render() {
    local name=$1 life=$2 text=$3 rules=${4:-}
    rm -rf "${work:?}"/*
    cp -r "$root/data/." "$work/"
    [ -n "$life" ] && cp "$(scenePath "$life")" "$work/Life.ini"
    [ -n "$rules" ] && cp "$(scenePath "$rules")" "$work/Rules.ini"
    printf '%s\n' "$text" > "$work/script.txt"
    (cd "$work" && "$replay" --threads "$threads" script.txt)
    local n=0
    for shot in "$work"/Screenshot*.bmp; do
        cp "$shot" "$out/$name-$n.bmp"
        n=$((n + 1))
    done
}

for script in "$root"/tests/render/golden/*.txt; do
    render "golden-$(basename "$script" .txt)" "" "$(cat "$script")"
done
scene() { cat "$root/bench/scenes/$1"; }
render s1 "" "$(scene s1.txt)
key f12
tick"
# Several generations of the soup, with the nearest sampler too.
render s2 soup.ini "$(scene s2.txt)
key f12
tick
tick 5
key f12
tick
key end
key f12
tick"
render s3 full.ini "$(scene s3.txt)
key f12
tick
key end
key f12
tick"
render s4 full.ini "$(scene s4.txt)
key f12
tick
mouse 40 -20
tick
key f12
tick"
render s4soup soup.ini "$(scene s4.txt)
key f12
tick"

# Universes under B3/S23: the gun's stream and the acorn's debris framed, and a
# 256 x 256 soup (the Park-Miller generator from seed 1, a cell alive when the
# number is 2^30 or more, so every machine writes the same file) framed, seen
# from low across it, and running.
awk 'BEGIN {
    x = 1; n = 0
    for (y = -128; y < 128; y++)
        for (c = -128; c < 128; c++) {
            x = (x * 48271) % 2147483647
            if (x >= 1073741824) { cx[n] = c; cy[n] = y; n++ }
        }
    print n
    for (i = 0; i < n; i++) print cx[i], cy[i], 0
}' > "$made/soup.ini"
render u1 gun.ini "$(scene u1.txt)
key f12
tick" conway_rules.ini
render u2 acorn.ini "$(scene u2.txt)
key f12
tick" conway_rules.ini
render usoup "$made/soup.ini" "key ins 100
key f
tick
key f12
tick
key pgdn 12
mouse 0 -180
tick
key f12
tick
key del
tick 3
key f12
tick" conway_rules.ini

# Worlds of more states, each state in its look. WireWorld: a loop of
# conductor with an electron on each long side and a wire off it, running.
awk 'BEGIN {
    n = 0
    for (x = 0; x < 16; x++) { cx[n] = x; cy[n++] = 0; cx[n] = x; cy[n++] = 7 }
    for (y = 1; y < 7; y++) { cx[n] = 0; cy[n++] = y; cx[n] = 15; cy[n++] = y }
    for (x = 16; x < 24; x++) { cx[n] = x; cy[n++] = 3 }
    print n
    for (i = 0; i < n; i++) {
        s = 3
        if (cy[i] == 0 && cx[i] == 5 || cy[i] == 7 && cx[i] == 10) s = 1
        if (cy[i] == 0 && cx[i] == 4 || cy[i] == 7 && cx[i] == 11) s = 2
        print cx[i], cy[i], 0, s
    }
}' > "$made/wire.ini"
echo WireWorld > "$made/wire_rules.ini"
render ww "$made/wire.ini" "key f
tick
key f12
tick
key ins 7
tick
key f12
tick" "$made/wire_rules.ini"
# Brian's Brain from a 48 x 48 soup (the generator above from seed 7, a cell
# firing when the number is below 2^29) a few generations on, framed, then far
# off, where its blocks are stand-ins in their states' colours.
awk 'BEGIN {
    x = 7; n = 0
    for (y = -24; y < 24; y++)
        for (c = -24; c < 24; c++) {
            x = (x * 48271) % 2147483647
            if (x < 536870912) { cx[n] = c; cy[n] = y; n++ }
        }
    print n
    for (i = 0; i < n; i++) print cx[i], cy[i], 0, 1
}' > "$made/brain.ini"
echo B2/S/C3 > "$made/brain_rules.ini"
render bb "$made/brain.ini" "key ins 12
key f
tick
key f12
tick
key pgup 6
tick
key f12
tick" "$made/brain_rules.ini"
# LifeHistory: a glider and its trail, flat under it, beside a marked cell.
printf '7\n1 0 0 1\n2 1 0 1\n0 2 0 1\n1 2 0 1\n2 2 0 1\n12 10 0 3\n14 10 0 6\n' > "$made/history.ini"
echo LifeHistory > "$made/history_rules.ini"
render lh "$made/history.ini" "key ins 24
key f
tick
key f12
tick" "$made/history_rules.ini"

# The metapixel galaxy of golly's HashLife folder (a macrocell file read in
# place, 7.4 million cells on hashlife) framed whole, and brought in so that
# near squares are cells and far ones stand-ins weighted by how full they are,
# and running.
# Machines without Debian's golly package skip it.
galaxy=/usr/share/golly/Patterns/HashLife/metapixel-galaxy.mc.gz
if [ -r "$galaxy" ]; then
    zcat "$galaxy" > "$made/galaxy.mc"
    render g1 "$made/galaxy.mc" "$(scene g1.txt)
key f12
tick
key pgdn 6
tick
key f12
tick" conway_rules.ini
    # Running at 2^10 generations a step: the steps' work is counted in
    # futures worked out, not time, so every machine shows the same one.
    render g2 "$made/galaxy.mc" "$(scene g2.txt)
tick 50
key f12
tick" conway_rules.ini
fi

if [ -n "$reference" ]; then
    status=0
    for frame in "$reference"/*.bmp; do
        if ! cmp -s "$frame" "$out/$(basename "$frame")"; then
            echo "DIFFERS: $(basename "$frame")"
            status=1
        fi
    done
    [ $status -eq 0 ] && echo "all $(ls "$reference"/*.bmp | wc -l) frames identical"
    exit $status
fi
echo "wrote $(ls "$out"/*.bmp | wc -l) frames to $out"
