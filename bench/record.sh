#!/usr/bin/env bash
# bench/record.sh: what F9's GIF recording costs. For the bundled pattern seen
# from the start and for the soup (soup.ini) backed off over the whole board,
# both auto-iterating, runs veltrix-replay ($VELTRIX_REPLAY, or
# build/bin/veltrix-replay) for 50 and 500 ticks with and without recording,
# each the best of three, and prints the file's size and the time a frame
# took to encode: the difference of the two runs over the ticks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
replay=${VELTRIX_REPLAY:-$root/build/bin/veltrix-replay}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# best SCRIPT-TEXT: the fastest of three runs, in seconds.
best() {
    printf '%s\n' "$1" > "$work/script.txt"
    local fastest=""
    for _ in 1 2 3; do
        rm -f "$work"/Recording*.gif
        local start end
        start=$(date +%s.%N)
        (cd "$work" && "$replay" script.txt)
        end=$(date +%s.%N)
        fastest=$(awk -v s="$start" -v e="$end" -v f="$fastest" 'BEGIN { t = e - s; print (f == "" || t < f) ? t : f }')
    done
    echo "$fastest"
}

printf '%-8s %6s %12s %16s\n' scene frames "GIF bytes" "ms a frame"
for scene in bundled soup; do
    rm -rf "${work:?}"/*
    cp -r "$root/data/." "$work/"
    setup="key del"
    if [ "$scene" = soup ]; then
        cp "$root/bench/scenes/soup.ini" "$work/Life.ini"
        setup="key down 110
key del"
    fi
    for frames in 50 500; do
        plain=$(best "$setup
tick $frames")
        recorded=$(best "$setup
key f9
tick $frames
key f9")
        size=$(stat -c %s "$work/Recording 0.gif")
        printf '%-8s %6d %12d %16.2f\n' "$scene" "$frames" "$size" \
            "$(awk -v r="$recorded" -v p="$plain" -v n="$frames" 'BEGIN { print (r - p) * 1000 / n }')"
    done
done
