// The picker's classic patterns (web/patterns/*.rle), drawn by hand: each is
// read by veltrix-pattern --board into the board (one of another rule into
// its universe), and those cells, run on an unbounded plane by a plain step of
// the rule, must show what the Life community knows of the pattern (its
// period and speed, its lifetime, its final count).
'use strict';

const {test} = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const {execFileSync} = require('node:child_process');
const {root} = require('./harness.js');

const bin = path.join(root, 'build/bin');
const patterns = path.join(root, 'web/patterns');

// The live cells after veltrix-pattern has read FILE onto the board (or,
// with onBoard 0, into the universe its rule names), and its rule.
function board(file, onBoard = true) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'veltrix-pattern-'));
  try {
    execFileSync(path.join(bin, 'veltrix-pattern'), [path.join(patterns, file), ...(onBoard ? ['--board'] : [])],
      {cwd: dir, stdio: 'pipe'});
    return JSON.parse(execFileSync(path.join(bin, 'veltrix-inspect'), ['life', '0'], {cwd: dir}).toString());
  } finally {
    fs.rmSync(dir, {recursive: true, force: true});
  }
}

// Cells of an unbounded plane as numbers x * K + y, kept positive.
const K = 1 << 20;
const O = 1 << 19;
const cell = (x, y) => (x + O) * K + y + O;
const xOf = c => Math.floor(c / K) - O;
const yOf = c => (c % K) - O;

function step(cells, born = [3], survive = [2, 3]) {
  const counts = new Map();
  for (const c of cells) {
    for (const d of [-K - 1, -K, -K + 1, -1, 1, K - 1, K, K + 1])
      counts.set(c + d, (counts.get(c + d) || 0) + 1);
  }
  const next = new Set();
  for (const [c, n] of counts) {
    if (cells.has(c) ? survive.includes(n) : born.includes(n))
      next.add(c);
  }
  return next;
}

// Generations 0 to COUNT of the pattern in FILE.
function history(file, count) {
  const read = board(file);
  assert.deepStrictEqual(read.rules, [1, 4, 3, 3], `${file}: Conway's rule`);
  const generations = [new Set(read.alive.map(([x, y]) => cell(x, y)))];
  for (let g = 0; g < count; g++)
    generations.push(step(generations[g]));
  return generations;
}

const shifted = (cells, dx, dy) => new Set([...cells].map(c => c + dx * K + dy));
const same = (a, b) => a.size === b.size && [...a].every(c => b.has(c));

test('the spaceships and oscillators keep their period and speed', () => {
  for (const [file, period, dx, dy, count] of [['glider.rle', 4, 1, 1, 5], ['lwss.rle', 4, -2, 0, 9],
    ['pulsar.rle', 3, 0, 0, 48], ['pentadecathlon.rle', 15, 0, 0, 12]]) {
    const g = history(file, period);
    assert.strictEqual(g[0].size, count, `${file}: live cells`);
    for (let p = 1; p < period; p++)
      assert.ok(!same(g[p], shifted(g[0], dx, dy)), `${file}: back in shape after ${p} generations`);
    assert.ok(same(g[period], shifted(g[0], dx, dy)), `${file}: after ${period} generations`);
  }
});

test('the glider gun sends a glider every 30 generations and keeps its own cells', () => {
  const g = history('gosper-gun.rle', 120);
  for (let k = 0; k <= 4; k++)
    assert.strictEqual(g[30 * k].size, 36 + 5 * k, `live cells after ${30 * k} generations`);
  assert.ok([...g[0]].every(c => g[30].has(c)), 'the gun after 30 generations holds its starting cells');
});

test('diehard vanishes after 130 generations; the R-pentomino and acorn settle after 1103 and 5206', () => {
  const diehard = history('diehard.rle', 130);
  assert.strictEqual(diehard[0].size, 7);
  assert.ok(diehard[129].size > 0, 'diehard is still alive at 129');
  assert.strictEqual(diehard[130].size, 0, 'diehard at 130');
  for (const [file, cells, settled, count] of [['r-pentomino.rle', 5, 1103, 116], ['acorn.rle', 7, 5206, 633]]) {
    const g = history(file, settled + 50);
    assert.strictEqual(g[0].size, cells, `${file}: live cells`);
    assert.notStrictEqual(g[settled - 1].size, count, `${file} before it settles`);
    for (let n = settled; n <= settled + 50; n++)
      assert.strictEqual(g[n].size, count, `${file}: live cells at ${n}`);
  }
});

test('the puffer train moves at half the speed of light and leaves a growing trail', () => {
  const g = history('puffer-train.rle', 480);
  assert.strictEqual(g[0].size, 22);
  // Its front part repeats every 140 generations, 70 cells further on.
  const front = cells => {
    const edge = Math.max(...[...cells].map(xOf));
    return new Set([...cells].filter(c => xOf(c) > edge - 20).map(c => cell(xOf(c) - edge, yOf(c))));
  };
  assert.strictEqual(Math.max(...[...g[480]].map(xOf)) - Math.max(...[...g[340]].map(xOf)), 70);
  assert.ok(same(front(g[340]), front(g[480])), 'the front after 140 more generations');
  assert.ok(g[480].size > g[340].size + 50, 'the trail grows');
});

test('the patterns of other rules: HighLife\'s replicator doubles every 12 generations, the Day & Night ship is c/2', () => {
  const run = (file, rule, born, survive, count) => {
    const read = board(file, false);
    assert.strictEqual(read.rules, rule, `${file}: its rule`);
    const generations = [new Set(read.alive.map(([x, y]) => cell(x, y)))];
    for (let g = 0; g < count; g++)
      generations.push(step(generations[g], born, survive));
    return generations;
  };
  const replicator = run('replicator.rle', 'B36/S23', [3, 6], [2, 3], 12);
  assert.strictEqual(replicator[0].size, 12);
  const twins = new Set([...shifted(replicator[0], -2, -2), ...shifted(replicator[0], 2, 2)]);
  assert.ok(same(replicator[12], twins), 'two copies after 12 generations');
  const ship = run('day-night-ship.rle', 'B3678/S34678', [3, 6, 7, 8], [3, 4, 6, 7, 8], 32);
  assert.strictEqual(ship[0].size, 25);
  for (let p = 1; p < 32; p++)
    assert.ok(!same(ship[p], shifted(ship[0], 0, p / 2)), `back in shape after ${p} generations`);
  assert.ok(same(ship[32], shifted(ship[0], 0, 16)), 'after 32 generations');
});
