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
trap 'rm -rf "$work"' EXIT

# render NAME LIFE SCRIPT-TEXT: every F12 in the script gives NAME-N.bmp.
render() {
    local name=$1 life=$2 text=$3
    rm -rf "${work:?}"/*
    cp -r "$root/data/." "$work/"
    [ -n "$life" ] && cp "$root/bench/scenes/$life" "$work/Life.ini"
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
