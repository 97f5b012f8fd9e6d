#!/usr/bin/env python3
"""No two source files call each other, however far round: reads the object
files of src/ in a build folder, joins each undefined symbol to the file that
defines it, and prints every cycle of files it finds (exit 1), or nothing.

    file_cycles.py BUILD_DIR
"""
import os
import subprocess
import sys


def symbols(path):
    out = subprocess.run(['nm', '--format=posix', path], capture_output=True, text=True, check=True).stdout
    defined, wanted = set(), set()
    for line in out.splitlines():
        parts = line.split()
        if len(parts) < 2:
            continue
        name, kind = parts[0], parts[1]
        if kind == 'U':
            wanted.add(name)
        elif kind == 'T':
            defined.add(name)
    return defined, wanted


def main():
    build = sys.argv[1]
    objects = {}
    for folder, _, names in os.walk(build):
        if '/src/' not in folder + '/' or 'CMakeFiles' not in folder:
            continue
        for name in names:
            if name.endswith('.cpp.o'):
                source = folder[folder.index('/src/') + 1:] + '/' + name[:-2]
                objects[source] = os.path.join(folder, name)
    owner, calls = {}, {}
    for source, path in objects.items():
        defined, wanted = symbols(path)
        for name in defined:
            owner.setdefault(name, source)
        calls[source] = wanted
    graph = {s: sorted({owner[n] for n in w if n in owner and owner[n] != s}) for s, w in calls.items()}
    # Tarjan's strongly connected components.
    index, low, stack, on, cycles = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on.add(v)
        for w in graph[v]:
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            component = []
            while True:
                w = stack.pop()
                on.discard(w)
                component.append(w)
                if w == v:
                    break
            if len(component) > 1:
                cycles.append(sorted(component))

    sys.setrecursionlimit(10000)
    for v in sorted(graph):
        if v not in index:
            visit(v)
    for component in cycles:
        print('files calling each other: ' + ', '.join(component))
        for v in component:
            print('    ' + v + ' calls ' + ', '.join(w for w in graph[v] if w in component))
    return 1 if cycles else 0


if __name__ == '__main__':
    sys.exit(main())
