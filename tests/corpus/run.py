#!/usr/bin/env python3
"""Runs the corpus of real pattern files through veltrix-pattern and
veltrix-inspect and compares every generation asked for with bgolly's, cell
for cell (and state for state) at the positions bgolly gives: its macrocell
output (HashLife) carries absolute positions. Where HashLife cannot run a
file, the RLE output of QuickLife or of the algorithms of more states
(Generations, Larger than Life, JvN, RuleLoader with golly's rules folder),
which carries none, is compared up to a translation.

    tests/corpus/run.py BIN_DIR [--sample] [--family F,..] [--steps 0,1,10,100] [--timeout S]

BIN_DIR holds veltrix-pattern and veltrix-inspect. --sample takes the files
listed in sample.txt beside this script (what CI runs); without it every file
of SOURCES.tsv, or of the families --family names. Files from Debian's golly package are read from where the
package installs them; the others are in files/. A file the converter refuses must be one bgolly cannot run
either or one listed in expected-refusals.txt; a file bgolly cannot read, or reads
as empty, is run on our side only. Prints one line per file and a closing
"N passed, N failed" line; exits 1 when anything failed.
"""
import gzip
import json
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
# Patterns with more live cells are converted but not compared: their cell
# lists would take gigabytes here.
MOST_CELLS_COMPARED = 1000000
GOLLY_RULES = '/usr/share/golly/Rules'


def parse_rle_cells(text):
    """Live cells of an RLE body and their states, top-left of its box at
    (0, 0): 'o' (and any other letter of a two-state file) 1, 'A' to 'X'
    1 to 24, with a prefix 'p' to 'y' 24 more for each step from 'p'."""
    lines = [l for l in text.splitlines() if l and not l.startswith('#')]
    if not lines or not lines[0].lstrip().startswith('x'):
        return None
    body = ''.join(lines[1:])
    cells = {}
    x = y = 0
    count = ''
    prefix = 0
    for ch in body:
        if ch.isdigit():
            count += ch
            continue
        if 'p' <= ch <= 'y':
            prefix = ord(ch) - ord('p') + 1
            continue
        n = int(count) if count else 1
        count = ''
        if ch == '!':
            break
        if ch == '$':
            y += n
            x = 0
        elif ch in 'b.':
            x += n
        elif ch.isspace():
            continue
        else:
            state = prefix * 24 + ord(ch) - ord('A') + 1 if 'A' <= ch <= 'X' else 1
            for i in range(n):
                cells[(x + i, y)] = state
            x += n
        prefix = 0
    return cells


def parse_mc_cells(text):
    """Live cells of a two-state macrocell file at the positions bgolly gives:
    a root of level L covers columns -2^(L-1) .. 2^(L-1) - 1 and rows
    1 - 2^(L-1) .. 2^(L-1)."""
    nodes = [None]
    for line in text.splitlines():
        if not line or line[0] in '[#':
            continue
        if line[0] in '.*$':
            leaf, x, y = [], 0, 0
            for ch in line:
                if ch == '$':
                    x, y = 0, y + 1
                    continue
                if ch == '*':
                    leaf.append((x, y))
                x += 1
            nodes.append((3, leaf))
        else:
            fields = [int(f) for f in line.split()]
            nodes.append((fields[0], fields[1:5]))
    cells = {}
    if len(nodes) < 2:
        return cells
    half = 1 << (nodes[-1][0] - 1)
    stack = [(len(nodes) - 1, -half, 1 - half)]
    while stack:
        k, x, y = stack.pop()
        level, content = nodes[k]
        if level == 3:
            cells.update(((x + a, y + b), 1) for a, b in content)
            continue
        quarter = 1 << (level - 1)
        for q, child in enumerate(content):
            if child:
                stack.append((child, x + (quarter if q & 1 else 0), y + (quarter if q & 2 else 0)))
    return cells


def normalised(cells):
    if not cells:
        return {}
    mx = min(c[0] for c in cells)
    my = min(c[1] for c in cells)
    return {(x - mx, y - my): s for (x, y), s in cells.items()}


def start_generation(path):
    """The generation a macrocell file says it shows ('#G'), 0 for others:
    bgolly's -m names the generation to reach, so a file at generation G is
    stepped n generations with -m G+n."""
    with open(path, 'rb') as f:
        data = f.read()
    if data[:2] == b'\x1f\x8b':
        data = gzip.decompress(data)
    text = data[:65536].decode('latin-1')
    if not text.lstrip('\ufeff').startswith('[M2]'):
        return 0
    for line in text.splitlines():
        if line.startswith('#G'):
            return int(line[2:].strip() or 0)
        if line and line[0] not in '[#':
            break
    return 0


def run(command, cwd, timeout):
    return subprocess.run(command, cwd=cwd, capture_output=True, text=True, timeout=timeout)


def bgolly_cells(path, steps, work, timeout):
    """(cells, absolute, note): bgolly's cells after steps generations,
    whether they are at bgolly's positions, and the algorithm that ran them
    or why none did."""
    for algorithm, name, parse in (('HashLife', 'bgolly.mc', parse_mc_cells),
                                   ('QuickLife', 'bgolly.rle', parse_rle_cells),
                                   ('Generations', 'bgolly.rle', parse_rle_cells),
                                   ('Larger than Life', 'bgolly.rle', parse_rle_cells),
                                   ('JvN', 'bgolly.rle', parse_rle_cells),
                                   ('RuleLoader', 'bgolly.rle', parse_rle_cells)):
        out = os.path.join(work, name)
        if os.path.exists(out):
            os.remove(out)
        rules = ['-s', GOLLY_RULES + '/'] if algorithm == 'RuleLoader' else []
        try:
            result = run(['bgolly', '-a', algorithm] + rules + ['-q', '-q', '-m', str(steps), '-o', out, path],
                         work, timeout)
        except subprocess.TimeoutExpired:
            return None, False, 'bgolly timed out'
        if result.returncode == 0 and os.path.exists(out):
            with open(out, errors='replace') as f:
                return parse(f.read()), algorithm == 'HashLife', algorithm
    return None, False, (result.stderr or result.stdout).strip().splitlines()[-1:] or ['bgolly refused']


def ours(bin_dir, steps, work, timeout):
    result = run([os.path.join(bin_dir, 'veltrix-inspect'), 'life', str(steps)], work, timeout)
    if result.returncode != 0:
        return None, result.stdout.strip() or result.stderr.strip()
    data = json.loads(result.stdout)
    if 'cells' in data:
        return {(c[0], c[1]): c[2] for c in data['cells']}, None
    return {(c[0], c[1]): 1 for c in data['alive']}, None


def main():
    args = sys.argv[1:]
    if not args:
        print(__doc__)
        return 2
    bin_dir = os.path.abspath(args[0])
    sample = '--sample' in args
    steps = [0, 1, 10, 100]
    timeout = 120
    if '--steps' in args:
        steps = [int(s) for s in args[args.index('--steps') + 1].split(',')]
    if '--timeout' in args:
        timeout = int(args[args.index('--timeout') + 1])
    if not shutil.which('bgolly'):
        print('bgolly is not installed (Debian package golly): nothing compared')
        print('0 passed, 0 failed')
        return 0

    with open(os.path.join(HERE, 'SOURCES.tsv')) as f:
        rows = [line.rstrip('\n').split('\t') for line in f][1:]
    # A file from Debian's golly package is read where the package put it:
    # the list names it, the project does not hold a copy.
    files = [(r[0], r[2], r[1].split(':', 2)[2] if r[1].startswith('debian:') else os.path.join(HERE, r[0]))
             for r in rows]
    if sample:
        with open(os.path.join(HERE, 'sample.txt')) as f:
            wanted = {l.strip() for l in f if l.strip() and not l.startswith('#')}
        files = [f for f in files if f[0] in wanted]
    if '--family' in args:
        families = set(args[args.index('--family') + 1].split(','))
        files = [f for f in files if f[1] in families]
    refusals = set()
    listed = os.path.join(HERE, 'expected-refusals.txt')
    if os.path.exists(listed):
        with open(listed) as f:
            refusals = {l.split('\t')[0].strip() for l in f if l.strip() and not l.startswith('#')}

    passed = failed = skipped = 0
    for relative, family, path in files:
        if not os.path.exists(path):
            skipped += 1
            print(f'skip    {relative}: {path} is not installed')
            continue
        work = tempfile.mkdtemp(prefix='veltrix-corpus-')
        try:
            local = os.path.join(work, os.path.basename(relative))
            shutil.copy(path, local)
            converted = run([os.path.join(bin_dir, 'veltrix-pattern'), local], work, timeout)
            if converted.returncode != 0:
                reason = (converted.stderr or converted.stdout).strip().replace('\n', ' ')
                oracle, _, _ = bgolly_cells(local, 1, work, timeout)
                if relative in refusals or not oracle:
                    passed += 1
                    print(f'ok      {relative}: refused ({reason[:100]})')
                else:
                    failed += 1
                    print(f'FAILED  {relative}: refused, but bgolly runs it ({reason[:100]})')
                continue
            with open(os.path.join(work, 'Life.ini')) as f:
                count = int(f.readline().split()[0])
            if count > MOST_CELLS_COMPARED:
                passed += 1
                print(f'ok      {relative}: {count} live cells converted, too many to compare here')
                continue
            problems = []
            compared = 0
            # bgolly reads some XLife files (coordinate lists, blocks) as empty.
            first = start_generation(local)
            start, _, _ = bgolly_cells(local, first, work, timeout)
            mine, _ = ours(bin_dir, 0, work, timeout)
            if start is not None and not start and mine:
                passed += 1
                print(f'ok      {relative}: no oracle (bgolly reads it empty)')
                continue
            absolute = True
            for n in steps:
                mine, error = ours(bin_dir, n, work, timeout)
                if mine is None:
                    problems.append(f'generation {n}: {error}')
                    break
                theirs, exact, why = bgolly_cells(local, first + n, work, timeout)
                if theirs is None:
                    break
                compared += 1
                absolute = absolute and exact
                if (mine != theirs) if exact else (normalised(mine) != normalised(theirs)):
                    where = 'at bgolly\'s positions' if exact else 'up to a translation'
                    problems.append(f'generation {n}: {len(mine)} cells here, {len(theirs)} by bgolly, '
                                    f'not equal {where}')
            if problems:
                failed += 1
                print(f'FAILED  {relative}: ' + '; '.join(problems))
            else:
                passed += 1
                how = 'at its positions' if absolute else 'up to a translation'
                note = f'{compared} generations equal to bgolly {how}' if compared else \
                    'no oracle (bgolly cannot read it)'
                print(f'ok      {relative}: {note}')
        except subprocess.TimeoutExpired:
            failed += 1
            print(f'FAILED  {relative}: timed out')
        finally:
            shutil.rmtree(work, ignore_errors=True)
    print(f'{passed} passed, {failed} failed' + (f', {skipped} not installed' if skipped else ''))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
