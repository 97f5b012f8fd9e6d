#!/usr/bin/env bash
# Prints the road of one frame through the source files, as the code takes
# it: the program built with every function's entry and exit recorded
# (build-road/), a universe seen from afar (bench scene U1, the glider gun's
# stream framed whole) played by veltrix-replay, and its last frame tick
# read back by frame_road.py. The README's road is this list.
#
#   bench/road/frame_road.sh [SCENE]     (SCENE as bench-frame names it: U1 .. U5, S1 .. S4)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
scene=${1:-U1}
build=$root/build-road
mkdir -p "$build"
gcc -O2 -c "$root/bench/road/road_hook.c" -o "$build/road_hook.o"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELTRIX_TESTS=OFF \
    -DCMAKE_CXX_FLAGS="-g -w -finstrument-functions -finstrument-functions-exclude-file-list=/usr/" \
    -DCMAKE_EXE_LINKER_FLAGS="$build/road_hook.o -ldl" >/dev/null
cmake --build "$build" -j"$(nproc)" --target veltrix-replay bench-frame >/dev/null 2>&1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$root/data/." "$work"
"$build/bin/bench-frame" --write-scene "$scene" "$work" >/dev/null
# The scene's script and two frames more: the last one is a frame like any
# other, nothing in it made for the first time.
script=$(echo "$scene" | tr 'A-Z' 'a-z').txt
{ cat "$root/bench/scenes/$script"; echo "tick 2"; } > "$work/road-script.txt"
offset=$(nm "$build/bin/veltrix-replay" | awk '$3 == "_Z9frameTickv" { print $1 }')
(cd "$work" && ROAD_FUNC=$offset ROAD_OUT=road.txt "$build/bin/veltrix-replay" road-script.txt >/dev/null)
python3 "$root/bench/road/frame_road.py" "$build/bin/veltrix-replay" "$work/road.txt" "$root"
