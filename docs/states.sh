#!/usr/bin/env bash
# The README's pictures of worlds of more states, each a sample of Debian's
# golly package read in place, dropped onto the replay runner, run a while,
# framed with F and taken with F12 once the file's notice has gone:
#   bash docs/states.sh        (needs build/bin/veltrix-replay, golly, imagemagick)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
samples=/usr/share/golly/Patterns
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$root/data/." "$work/"

# shot NAME FILE GENERATIONS [MORE SCRIPT LINES]
shot() {
    printf 'drop %s\ntick\nkey ins %s\nkey f\n%s\ntick 150\nkey f12\ntick\n' "$2" "$3" "${4:-}" > "$work/script.txt"
    rm -f "$work"/Screenshot*.bmp
    (cd "$work" && "$root/build/bin/veltrix-replay" script.txt)
    convert "$work/Screenshot 0.bmp" -strip "$root/docs/$1.png"
}

shot states-lifehistory "$samples/Life/Bounded-Grids/torus.rle" 90
shot states-brians-brain "$samples/Generations/What-a-mess.mcl" 40 "key pgdn 2"
shot states-larger-than-life "$samples/Larger-than-Life/Bosco.mcl" 40
shot states-wireworld "$samples/WireWorld/circuit.mcl" 30
