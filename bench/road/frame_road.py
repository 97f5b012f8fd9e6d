#!/usr/bin/env python3
"""The road of one frame through the source files, from a recording of
bench/road/road_hook.c: the .cpp files in the order the frame first enters
them (a header's inline helpers count as the file that calls them), and every
call from a file to one the road passed before it, in the same area or one
above it: a way back. A call down into a lower area (a world's cells, a
matrix, the system) is a query of that area, not a way back.

    frame_road.py BINARY RECORDING [SOURCE_ROOT]
"""
import subprocess
import sys

# The areas from the bottom up, as CMakeLists.txt layers them.
LAYER = {'platform': 0, 'math': 0, 'image': 1, 'life': 1, 'display': 1, 'spans': 1, 'pattern': 1, 'scene': 2,
         'texture': 3, 'render': 4, 'app': 5}


def layer(place):
    return LAYER.get(place.split('/')[1], 0) if place.startswith('src/') else -1


def main():
    binary, recording = sys.argv[1], sys.argv[2]
    root = sys.argv[3] if len(sys.argv) > 3 else ''
    events = [line.split() for line in open(recording) if line.strip()]
    offsets = sorted({e[1] for e in events})
    lines = subprocess.run(['addr2line', '-f', '-C', '-e', binary] + ['0x' + o for o in offsets],
                           capture_output=True, text=True, check=True).stdout.splitlines()
    where = {}
    for i, offset in enumerate(offsets):
        name, place = lines[2 * i], lines[2 * i + 1].split(':')[0]
        if root and place.startswith(root):
            place = place[len(root):].lstrip('/')
        where[offset] = (name, place)
    road, back, stack = [], {}, []
    for kind, offset in events:
        name, place = where[offset]
        if kind == 'X':
            stack.pop()
            continue
        caller = stack[-1] if stack else None
        # Calls outside src/ (the C++ library) and into headers stay in the caller's file.
        if not place.startswith('src/') or place.endswith('.h'):
            stack.append(caller)
            continue
        if place != caller:
            if place not in road:
                road.append(place)
            elif caller is not None and road.index(place) < road.index(caller) and layer(place) >= layer(caller):
                back.setdefault((caller, place), set()).add(name)
        stack.append(place)
    for i, place in enumerate(road, 1):
        print(f'{i:2}. {place}')
    print(f'{len(road)} files, {len(back)} ways back to a file already passed')
    for (caller, place), names in sorted(back.items()):
        print(f'    {caller} -> {place}: {", ".join(sorted(names))}')


if __name__ == '__main__':
    main()
