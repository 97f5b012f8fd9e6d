// Rules of more than two states on the page in Debian's Chromium: the Rule
// menu's families, each loading its classic and running it; the menu of
// states and C picking the state drawn; Copy link of a drawn world carrying
// every cell's state. The page runs with manual ticks.
'use strict';

const {test} = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const h = require('./harness.js');

// The page's server and Chromium, started before this file's tests.
const suite = h.browserSuite();

async function opened(query = '') {
  const result = await h.openPage(suite.chromium.browser, suite.server.url + query);
  await result.page.waitForFunction(() => document.getElementById('log').textContent.includes('Rendering !\n'),
    {timeout: 20000});
  await result.page.evaluate(() => window.veltrixPage.whenSettled());
  return result;
}

// The world shown as the program exports it: its cells as sorted "x y state"
// strings ("x y 0" lines are state 1), and its Rules.ini.
const exported = page => page.evaluate(async () => {
  if (!(await veltrixPage.exportWorld()))
    return null;
  const lines = veltrixPage.readFile('/export/Life.ini', 'utf8').trim().split('\n').slice(1);
  return {cells: lines.map(l => l.trim().split(/\s+/)).map(([x, y, , s = '1']) => `${x} ${y} ${s}`).sort(),
    rules: veltrixPage.readFile('/export/Rules.ini', 'utf8').trim()};
});

const figures = page => page.evaluate(() => veltrixPage.figures());
const shown = (page, id) => page.$eval(id, e => (e.hidden ? null : e.textContent));

test('each family of the Rule menu loads its classic under its rule, and the run goes on', async () => {
  const {page, errors} = await opened();
  assert.strictEqual(await shown(page, '#state'), null);
  for (const [rule, file, states] of [['B2/S/C3', 'brians-brain.rle', 3],
    ['R5,C0,M1,S34..58,B34..45,NM', 'bosco-ship.rle', 2], ['WireWorld', 'wireworld-clock.rle', 4],
    ['LifeHistory', 'lifehistory-trails.rle', 7]]) {
    await page.select('#rule', rule);
    await h.waitForLog(page, `rule ${rule}`);
    assert.match(await h.engineLog(page), new RegExp(`Dropped /drop/${file}: loaded`));
    assert.strictEqual(await page.$eval('#rule', e => e.value), rule);
    assert.strictEqual((await exported(page)).rules, rule);
    await h.tick(page);
    const start = await figures(page);
    await h.play(page, 'key del\ntick 12\nkey del\ntick');
    const run = await figures(page);
    assert.ok(run.generation >= 12, `${rule}: generation ${run.generation}`);
    assert.ok(run.population > 0, `${rule}: live cells`);
    assert.notDeepStrictEqual((await exported(page)).cells, [], rule);
    // The menu of states shows where there are more than two; the count says what it counts.
    const menu = await page.$eval('#state', e => (e.hidden ? [] : [...e.options].map(o => o.textContent)));
    assert.strictEqual(menu.length, states > 2 ? states - 1 : 0, rule);
    assert.strictEqual(await shown(page, '#population-unit'),
      states > 2 ? `live cells (states 1 to ${states - 1})` : 'live cells');
    assert.ok(start.generation === 0, `${rule} opens at generation 0`);
  }
  // Back to a rule of two states: the board under Conway's rule, every cell live.
  await page.select('#rule', 'B3/S23');
  await h.waitForLog(page, 'rule B3/S23');
  await h.tick(page);
  assert.strictEqual(await shown(page, '#state'), null);
  assert.ok((await exported(page)).cells.every(c => c.endsWith(' 1')));
  assert.deepStrictEqual(errors, []);
  await page.close();
});

test('the menu of states and C pick the state drawn, and Copy link keeps every state', async () => {
  const {page, errors} = await opened('?file=patterns/wireworld-clock.rle');
  await h.waitForLog(page, 'Dropped /drop/wireworld-clock.rle: loaded, 20 live cells, rule WireWorld');
  await h.tick(page);
  const before = (await exported(page)).cells;
  const drawState = () => page.$eval('#state', e => e.value);
  assert.strictEqual(await drawState(), '1');
  await page.click('#draw');
  await page.select('#state', '2');
  await h.tick(page);
  assert.strictEqual(await drawState(), '2');
  // The picture's middle: whatever cell it is, it takes state 2.
  const box = await (await page.$('#canvas')).boundingBox();
  await page.mouse.click(box.x + 320.5 * box.width / 640, box.y + 240.5 * box.height / 480);
  await h.tick(page);
  const drawn = (await exported(page)).cells;
  const added = drawn.filter(c => !before.includes(c));
  assert.strictEqual(added.length, 1, drawn.join(', '));
  assert.match(added[0], / 2$/);
  // The same frame as the program's own run with C pressed for the state.
  const wire = fs.readFileSync(path.join(h.root, 'web/patterns/wireworld-clock.rle'), 'utf8');
  await h.assertFrameAsReplay(page, 'drop wireworld-clock.rle\nkey f\ntick\nkey e\nkey c\ntick\nclick 320 240\ntick',
    {files: {'wireworld-clock.rle': wire}});
  await h.play(page, 'key c 2\ntick');
  assert.strictEqual(await drawState(), '1');

  // The link carries each cell with its state, under the rule.
  const link = await page.evaluate(() => window.veltrixPage.boardLink());
  assert.match(link, /\?pattern=[^&]+$/);
  const again = await opened(link.slice(link.indexOf('?')));
  await h.waitForLog(again.page, `Dropped /drop/link: loaded, ${drawn.length} live cells, rule WireWorld`);
  assert.deepStrictEqual(await exported(again.page), {cells: drawn, rules: 'WireWorld'});
  assert.deepStrictEqual([...errors, ...again.errors], []);
  await again.page.close();
  await page.close();
});

// A rule the pattern carries goes with the link: the opened link finds it in
// the link's own text, on a page that never saw the pattern.
test('Copy link of a drawn world whose rule its file carried carries the rule too', async () => {
  const table = ['@RULE Wires', '@TABLE', 'n_states:4', 'neighborhood:Moore', 'symmetries:permute',
    ...[1, 2, 3, 4, 5, 6, 7, 8].map(k => `var a${k}={0,1,2,3}`), ...[1, 2, 3, 4, 5, 6, 7].map(k => `var o${k}={0,2,3}`),
    '1,a1,a2,a3,a4,a5,a6,a7,a8,2', '2,a1,a2,a3,a4,a5,a6,a7,a8,3', '3,1,o1,o2,o3,o4,o5,o6,o7,1',
    '3,1,1,o1,o2,o3,o4,o5,o6,1'].join('\n');
  const clock = fs.readFileSync(path.join(h.root, 'web/patterns/wireworld-clock.rle'), 'utf8')
    .replace('rule = WireWorld', 'rule = Wires') + table + '\n';
  const {page, errors} = await opened();
  await h.drop(page, 'wires.rle', new TextEncoder().encode(clock));
  await h.waitForLog(page, 'Dropped /drop/wires.rle: loaded, 20 live cells, rule Wires');
  await h.tick(page);
  await page.click('#draw');
  const box = await (await page.$('#canvas')).boundingBox();
  await page.mouse.click(box.x + 320.5 * box.width / 640, box.y + 240.5 * box.height / 480);
  await h.tick(page);
  const drawn = await exported(page);
  const link = await page.evaluate(() => window.veltrixPage.boardLink());
  const again = await opened(link.slice(link.indexOf('?')));
  await h.waitForLog(again.page, `Dropped /drop/link: loaded, ${drawn.cells.length} live cells, rule Wires`);
  assert.deepStrictEqual((await exported(again.page)).cells, drawn.cells);
  assert.deepStrictEqual([...errors, ...again.errors], []);
  await again.page.close();
  await page.close();
});
