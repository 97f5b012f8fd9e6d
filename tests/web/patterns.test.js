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

// FILE read into the world its rule names and run N generations by the
// program's own engine: its cells each [x, y, state] ("alive", [x, y], under
// a rule of two states).
function statesAfter(file, n) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'veltrix-pattern-'));
  try {
    execFileSync(path.join(bin, 'veltrix-pattern'), [path.join(patterns, file)], {cwd: dir, stdio: 'pipe'});
    return JSON.parse(execFileSync(path.join(bin, 'veltrix-inspect'), ['life', String(n)], {cwd: dir}).toString());
  } finally {
    fs.rmSync(dir, {recursive: true, force: true});
  }
}

// Cells with states as a Map cell(x, y) -> state, and back as sorted triples.
const stateMap = triples => new Map(triples.map(([x, y, s]) => [cell(x, y), s]));
const triples = map => [...map].map(([c, s]) => [xOf(c), yOf(c), s]).sort((a, b) => a[1] - b[1] || a[0] - b[0]);

// One generation of a rule of more states by a plain walk over every cell
// near a live one: NEXT(state, neighbours) with neighbours the states of the
// cells within RANGE (a square), the cell itself left out.
function stepStates(cells, next, range = 1) {
  const near = new Set();
  for (const c of cells.keys())
    for (let dx = -range; dx <= range; dx++)
      for (let dy = -range; dy <= range; dy++)
        near.add(c + dx * K + dy);
  const out = new Map();
  for (const c of near) {
    const around = [];
    for (let dx = -range; dx <= range; dx++)
      for (let dy = -range; dy <= range; dy++)
        if (dx || dy)
          around.push(cells.get(c + dx * K + dy) || 0);
    const s = next(cells.get(c) || 0, around);
    if (s)
      out.set(c, s);
  }
  return out;
}

const count = (around, ...states) => around.filter(s => states.includes(s)).length;
const brain = (s, around) => (s === 1 ? 2 : s === 2 ? 0 : count(around, 1) === 2 ? 1 : 0);
// Bosco's rule: the live cells of the 11 x 11 square, the cell itself counted.
const bosco = (s, around) => {
  const n = count(around, 1) + s;
  return (s ? n >= 34 && n <= 58 : n >= 34 && n <= 45) ? 1 : 0;
};
const wireWorld = (s, around) => {
  if (s === 1 || s === 2)
    return s + 1;
  const heads = count(around, 1);
  return s === 3 && (heads === 1 || heads === 2) ? 1 : s;
};
// LifeHistory without marks: Conway's rule on state 1, a cell that dies left at 2.
const lifeHistory = (s, around) => {
  const n = count(around, 1);
  if (s === 1)
    return n === 2 || n === 3 ? 1 : 2;
  return n === 3 ? 1 : s;
};

function run(cells, next, generations, range) {
  const all = [cells];
  for (let g = 0; g < generations; g++)
    all.push(stepStates(all[g], next, range));
  return all;
}

test('the families of more states: Brian\'s Brain grows, Bosco\'s ship slides, the clock ticks, history stays', () => {
  const start = file => {
    const read = statesAfter(file, 0);
    return [read.rules, stateMap(read.cells || read.alive.map(([x, y]) => [x, y, 1]))];
  };
  const [brainRule, seed] = start('brians-brain.rle');
  assert.strictEqual(brainRule, 'B2/S/C3');
  assert.strictEqual(seed.size, 7);
  const sparks = run(seed, brain, 30);
  assert.deepStrictEqual(statesAfter('brians-brain.rle', 30).cells, triples(sparks[30]));
  assert.ok(sparks[30].size > 40, 'the seed grows');

  const [boscoRule, ship] = start('bosco-ship.rle');
  assert.strictEqual(boscoRule, 'R5,C0,M1,S34..58,B34..45,NM');
  const slides = run(ship, bosco, 5, 5);
  const moved = new Map([...ship].map(([c, s]) => [c + 4 * K, s]));
  for (let g = 1; g < 5; g++)
    assert.notDeepStrictEqual(triples(slides[g]), triples(moved), `back in shape after ${g}`);
  assert.deepStrictEqual(triples(slides[5]), triples(moved));

  const [wireRule, clock] = start('wireworld-clock.rle');
  assert.strictEqual(wireRule, 'WireWorld');
  const ticks = run(clock, wireWorld, 30);
  assert.deepStrictEqual(statesAfter('wireworld-clock.rle', 25).cells, triples(ticks[25]));
  assert.deepStrictEqual(triples(ticks[30]), triples(ticks[20]));
  assert.notDeepStrictEqual(triples(ticks[25]), triples(ticks[20]));
  assert.ok(ticks.slice(20).some(g => g.get(cell(15, 1)) === 1), 'an electron reaches the end of the wire');

  const [historyRule, ships] = start('lifehistory-trails.rle');
  assert.strictEqual(historyRule, 'LifeHistory');
  const trails = run(ships, lifeHistory, 40);
  assert.deepStrictEqual(statesAfter('lifehistory-trails.rle', 40).cells, triples(trails[40]));
  // The glider and the ship live on, five and nine cells, over their tracks.
  assert.strictEqual([...trails[40].values()].filter(s => s === 1).length, 14);
  assert.ok([...trails[40].values()].filter(s => s === 2).length > 60, 'the tracks');
});
