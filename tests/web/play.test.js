// The page's player controls in Debian's Chromium: the speed buttons, the
// figures and graph of the run beside the picture, the rule choice and the
// patterns of other rules in the picker, and links carrying the rule. The
// page runs with manual ticks.
'use strict';

const {test} = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const h = require('./harness.js');

// The page's server and Chromium, started before this file's tests.
const suite = h.browserSuite();

const gunFile = 'gosper-gun.rle';
const gun = fs.readFileSync(path.join(h.root, 'web/patterns', gunFile), 'utf8');

async function opened(query = '') {
  const result = await h.openPage(suite.chromium.browser, suite.server.url + query);
  await result.page.waitForFunction(() => document.getElementById('log').textContent.includes('Rendering !\n'),
    {timeout: 20000});
  await result.page.evaluate(() => window.veltrixPage.whenSettled());
  return result;
}

const readFile = (page, name) => page.evaluate(n => veltrixPage.readFile('/veltrix/' + n, 'utf8'), name);
// Generation 0 of the world shown, as the program exports it for the page.
const exported = (page, name) => page.evaluate(async n =>
  (await veltrixPage.exportWorld(true)) ? veltrixPage.readFile('/export/' + n, 'utf8') : '', name);

// Life.ini's cells as sorted "x y" strings.
function cellsOf(text, dx = 0, dy = 0) {
  const numbers = text.trim().split(/\s+/).map(Number);
  const cells = [];
  for (let i = 0; i < numbers[0]; i++)
    cells.push(`${numbers[3 * i + 1] + dx} ${numbers[3 * i + 2] + dy}`);
  return cells.sort();
}

// The bundled board after N generations of Conway's rule, dead beyond its
// 64 x 64 cells: its live-cell count.
function bundledPopulation(n) {
  let alive = new Set(cellsOf(fs.readFileSync(path.join(h.root, 'data/Life.ini'), 'utf8')));
  for (let g = 0; g < n; g++) {
    const next = new Set();
    for (let x = 0; x < 64; x++) {
      for (let y = 0; y < 64; y++) {
        let count = 0;
        for (const [dx, dy] of [[-1, -1], [-1, 0], [-1, 1], [0, -1], [0, 1], [1, -1], [1, 0], [1, 1]])
          count += alive.has(`${x + dx} ${y + dy}`) ? 1 : 0;
        if (count === 3 || (count === 2 && alive.has(`${x} ${y}`)))
          next.add(`${x} ${y}`);
      }
    }
    alive = next;
  }
  return alive.size;
}

test('beside the picture: the generation, the live cells and their graph, cut back by a step back or a new board', async () => {
  const {page, errors} = await opened();
  const shown = () => page.$eval('#figures', e => ({
    generation: document.getElementById('generation').textContent,
    population: document.getElementById('population').textContent,
  }));
  // The figures change with the picture: as soon as a tick's frame is shown.
  const until = async generation => assert.strictEqual((await shown()).generation, String(generation));
  for (const step of [1, 2, 3, 4]) {
    await h.play(page, `key ins ${step * 10}\ntick`);
    await until(step * 10 * (step + 1) / 2);
  }
  assert.deepStrictEqual(await shown(), {generation: '100', population: String(bundledPopulation(100))});
  const {points} = await page.evaluate(() => window.veltrixPage.figures());
  assert.ok(points.length >= 2 && points.length <= 5, JSON.stringify(points));
  assert.deepStrictEqual(points[points.length - 1], [100, bundledPopulation(100)]);
  assert.ok(points.every((p, i) => !i || p[0] > points[i - 1][0]), 'generations in order');
  // From the fewest live cells at the foot to the most at the top.
  const rows = await page.$eval('#graph', e => {
    const inked = new Set();
    e.getContext('2d').getImageData(0, 0, e.width, e.height).data.forEach((v, i) => {
      if (i % 4 === 3 && v)
        inked.add(Math.floor(i / 4 / e.width));
    });
    return [Math.min(...inked), Math.max(...inked), e.height];
  });
  assert.ok(rows[0] <= 2 && rows[1] >= rows[2] - 3, `the graph's rows: ${rows}`);

  await h.play(page, 'key back\ntick');
  await until(99);
  assert.strictEqual((await shown()).population, String(bundledPopulation(99)));
  const back = (await page.evaluate(() => window.veltrixPage.figures())).points;
  assert.deepStrictEqual(back[back.length - 1], [99, bundledPopulation(99)]);

  await page.select('#pattern', 'patterns/glider.rle');
  await h.waitForLog(page, 'Dropped /drop/glider.rle: loaded, 5 live cells, rule B3/S23');
  await h.play(page, 'key ins 2\ntick');
  await until(2);
  assert.strictEqual((await shown()).population, '5');
  const after = (await page.evaluate(() => window.veltrixPage.figures())).points;
  assert.ok(after.every(p => p[0] <= 2) && after[after.length - 1][1] === 5, JSON.stringify(after));
  assert.deepStrictEqual(errors, []);
  await page.close();
});

test('the speed buttons post + and -, the program\'s pace keys; with Ctrl the keys stay the browser\'s zoom', async () => {
  const {page, errors} = await opened();
  await page.evaluate(() => {
    window.keys = [];
    window.veltrixPage.on('key', key => window.keys.push(key));
  });
  await page.click('#faster');
  await page.click('#faster');
  await page.click('#slower');
  // Reported only once the program's own table took the key codes.
  assert.deepStrictEqual(await page.evaluate(() => window.keys.splice(0)), ['+', '+', '-']);
  // Two generations a tick.
  await page.click('#run');
  await h.play(page, 'tick 10');
  await page.waitForFunction(() => document.getElementById('generation').textContent === '20', {timeout: 20000});
  await h.assertFrameAsReplay(page, h.opened + 'key + 2\nkey -\nkey del\ntick 9\ntick');
  await page.evaluate(() => window.keys.splice(0));
  await page.keyboard.press('+');
  await page.keyboard.press('-');
  await page.keyboard.down('Control');
  await page.keyboard.press('+');
  await page.keyboard.press('-');
  await page.keyboard.up('Control');
  assert.deepStrictEqual(await page.evaluate(() => window.keys), ['+', '-']);
  assert.deepStrictEqual(errors, []);
  await page.close();
});

test('a rule chosen runs the board shown from its first generation, its cells where they lie', async () => {
  const {page, errors} = await opened(`?file=patterns/${gunFile}`);
  await h.waitForLog(page, `Dropped /drop/${gunFile}: loaded, 36 live cells, rule B3/S23`);
  const start = await exported(page, 'Life.ini');
  await h.play(page, 'key ins 40\ntick');
  await page.select('#rule', 'B36/S23');
  await h.waitForLog(page, 'Dropped /drop/board.rle: loaded, 36 live cells, rule B36/S23');
  // The page names what it loaded, not the file it handed over.
  assert.match(await page.$eval('#status', e => e.textContent), /^The board under B36\/S23: loaded, 36 live cells/);
  assert.strictEqual((await exported(page, 'Rules.ini')).trim(), 'B36/S23');
  assert.deepStrictEqual(cellsOf(await exported(page, 'Life.ini')), cellsOf(start));
  assert.strictEqual((await readFile(page, 'Rules.ini')).trim(), '1 4 3 3');
  await h.play(page, 'key ins 40\ntick');
  // The same as the gun's file naming HighLife's rule, dropped under the page's name.
  const highLife = gun.replace('rule = B3/S23', 'rule = B36/S23');
  await h.assertFrameAsReplay(page, `drop ${gunFile}\nkey f\nkey ins 40\ntick\ndrop board.rle\nkey f\nkey ins 40\ntick`,
    {files: {[gunFile]: gun, 'board.rle': highLife}});
  assert.strictEqual(await page.$eval('#rule', e => e.value), 'B36/S23');
  const link = await page.evaluate(() => window.veltrixPage.boardLink());
  assert.ok(link.endsWith(`?file=patterns/${gunFile}&rule=B36/S23&gen=40`), link);

  // The bundled board: a 64 x 64 plane of the rule, the cells moved to its middle; the link brings it back.
  const bundled = await opened();
  await bundled.page.select('#rule', 'B2-a/S12');
  await h.waitForLog(bundled.page, 'Dropped /drop/board.rle: loaded, 164 live cells, rule B2-a/S12:P64,64');
  assert.strictEqual((await exported(bundled.page, 'Rules.ini')).trim(), 'B2-a/S12:P64,64');
  const moved = cellsOf(fs.readFileSync(path.join(h.root, 'data/Life.ini'), 'utf8'), -32, -32);
  assert.deepStrictEqual(cellsOf(await exported(bundled.page, 'Life.ini')), moved);
  await h.play(bundled.page, 'key ins 5\ntick');
  const ruleLink = await bundled.page.evaluate(() => window.veltrixPage.boardLink());
  assert.ok(ruleLink.endsWith('?rule=B2-a/S12&gen=5'), ruleLink);
  // The link goes on to generation 5 within its first tick: the same frame.
  const again = await opened(ruleLink.slice(ruleLink.indexOf('?')));
  await h.waitForLog(again.page, 'Dropped /drop/board.rle: loaded, 164 live cells, rule B2-a/S12:P64,64');
  await h.play(again.page, 'tick');
  assert.strictEqual(await again.page.evaluate(() => veltrixPage.figures().generation), 5);
  assert.strictEqual(h.firstDifference(await h.canvasFrame(again.page), await h.canvasFrame(bundled.page), 640), '');
  assert.strictEqual(await again.page.$eval('#rule', e => e.value), 'B2-a/S12');

  // A rule the program refuses leaves the board; a link's rule text cannot reach past the rule.
  const odd = await opened('?rule=B3/S23%0A2o!');
  await odd.page.waitForFunction(() => /is not a rule/.test(document.getElementById('status').textContent));
  assert.strictEqual((await exported(odd.page, 'Rules.ini')).trim(), '1 4 3 3');
  assert.deepStrictEqual([...errors, ...bundled.errors, ...again.errors, ...odd.errors], []);
  for (const p of [page, bundled.page, again.page, odd.page])
    await p.close();
});

test('the picker\'s patterns of other rules load with their rule, shown in the rule choice', async () => {
  const {page, errors} = await opened();
  for (const [file, rule] of [['replicator.rle', 'B36/S23'], ['day-night-ship.rle', 'B3678/S34678']]) {
    await page.select('#pattern', `patterns/${file}`);
    await h.waitForLog(page, `rule ${rule}`);
    assert.strictEqual(await page.$eval('#rule', e => e.value), rule);
  }
  await page.select('#rule', 'B3/S23');
  await h.waitForLog(page, 'rule B3/S23');
  assert.strictEqual(await page.$eval('#pattern', e => e.value), 'patterns/day-night-ship.rle');
  assert.deepStrictEqual(errors, []);
  await page.close();
});
