#!/usr/bin/env python3
"""The road of one frame through the source files, from a recording of
bench/road/road_hook.c: the files in the order the frame first enters them,
and every call back into a file it entered before (other than the caller's
own), with who made it.

    frame_road.py BINARY RECORDING [SOURCE_ROOT]
"""
import subprocess
import sys


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
    road, returns, stack = [], [], []
    for kind, offset in events:
        name, place = where[offset]
        if kind == 'X':
            stack.pop()
            continue
        caller = stack[-1] if stack else None
        if place.startswith('src/') and place != caller:
            if place not in road:
                road.append(place)
            else:
                returns.append((caller, place, name))
        # Calls outside src/ (the C++ library, the tests) stay in the caller's file.
        stack.append(place if place.startswith('src/') else caller)
    for i, place in enumerate(road, 1):
        print(f'{i:2}. {place}')
    print(f'{len(road)} files, {len(returns)} calls back into a file entered before')
    seen = {}
    for caller, place, name in returns:
        seen.setdefault((caller, place, name), 0)
        seen[(caller, place, name)] += 1
    for (caller, place, name), count in sorted(seen.items(), key=lambda item: -item[1]):
        print(f'    {caller} -> {place}: {name} x{count}')


if __name__ == '__main__':
    main()
