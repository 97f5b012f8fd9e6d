// Drawing on the page in Debian's Chromium: the Draw button, a click on the
// picture giving the frame of the replay runner's click, and Copy link
// carrying the drawn cell. The page runs with manual ticks.
'use strict';

const {test} = require('node:test');
const assert = require('node:assert');
const h = require('./harness.js');

// The page's server and Chromium, started before this file's tests.
const suite = h.browserSuite();

async function opened(url) {
  const result = await h.openPage(suite.chromium.browser, url);
  await result.page.waitForFunction(() => document.getElementById('log').textContent.includes('Rendering !\n'),
    {timeout: 20000});
  await result.page.evaluate(() => window.veltrixPage.whenSettled());
  return result;
}

// Life.ini's cells as sorted "x y" strings, moved by (dx, dy).
const cellsOf = (text, dx = 0, dy = 0) => {
  const numbers = text.trim().split(/\s+/).map(Number);
  const cells = [];
  for (let i = 0; i < numbers[0]; i++)
    cells.push(`${numbers[3 * i + 1] + dx} ${numbers[3 * i + 2] + dy}`);
  return cells.sort();
};

const lifeIni = page => page.evaluate(() => window.veltrixPage.readFile('/veltrix/Life.ini', 'utf8'));
// The world shown, as the program exports it for the page.
const worldIni = page => page.evaluate(async () =>
  (await window.veltrixPage.exportWorld()) ? window.veltrixPage.readFile('/export/Life.ini', 'utf8') : '');

test('Draw, a click on the picture and Copy link carrying the drawn cell', async () => {
  const {page, errors} = await opened(suite.server.url + '?view=board');
  const pressed = () => page.$eval('#draw', e => e.getAttribute('aria-pressed'));
  const before = cellsOf(await lifeIni(page));
  // The view's last key has moved the camera; a click takes what the picture shows.
  await h.tick(page);
  await page.click('#draw');
  assert.strictEqual(await pressed(), 'true');
  // Frame pixel (320, 300), the square of cell (32, 19) on this view.
  const box = await (await page.$('#canvas')).boundingBox();
  await page.mouse.click(box.x + 320.5 * box.width / 640, box.y + 300.5 * box.height / 480);
  await h.tick(page);
  await h.assertFrameAsReplay(page, 'mouse 0 -260\ntick\nkey down 195\ntick\nkey e\nclick 320 300\ntick');
  assert.strictEqual(await page.evaluate(() => document.pointerLockElement), null);

  // The link waits for the program to save the drawn world.
  await page.click('#copy');
  await page.waitForFunction(() => document.getElementById('link').value !== '');
  const link = await page.$eval('#link', e => e.value);
  assert.match(link, /\?pattern=[^&]+&view=board$/);
  const drawn = cellsOf(await worldIni(page));
  assert.deepStrictEqual(drawn, [...before, '32 19'].sort());
  // Nothing was saved: the working folder keeps the bundled Life.ini.
  assert.deepStrictEqual(cellsOf(await lifeIni(page)), before);

  await page.click('#draw');
  assert.strictEqual(await pressed(), 'false');

  // The link opens on the drawn board: its cells, a 64 x 64 plane's, where the board had them (its
  // view left out: the cells are what is checked).
  const {page: shared, errors: sharedErrors} = await opened(link.replace(/&view=board$/, ''));
  assert.deepStrictEqual(cellsOf(await worldIni(shared), 32, 32), drawn);
  assert.deepStrictEqual([...errors, ...sharedErrors], []);
  await shared.close();
  await page.close();
});

// Seen low across the board, a click where an empty square's cell would show
// its top draws that square, not the cell behind it whose side hangs there.
test('drawing at a slant: a click beside a cell draws the square beside it', async () => {
  const glider = '5\n32 31 0\n33 32 0\n31 33 0\n32 33 0\n33 33 0\n';
  const result = await h.openPage(suite.chromium.browser, suite.server.url + '?view=low',
    {beforeStart: `FS.writeFile('Life.ini', ${JSON.stringify(glider)});`});
  const {page, errors} = result;
  await h.waitForLog(page, 'Rendering !');
  await page.evaluate(() => window.veltrixPage.whenSettled());
  await h.play(page, 'key up 40\ntick\nkey e\ntick');
  // Frame pixel (320, 296): the middle of cell (32, 30)'s top, were it alive.
  const box = await (await page.$('#canvas')).boundingBox();
  await page.mouse.click(box.x + 320.5 * box.width / 640, box.y + 296.5 * box.height / 480);
  await h.tick(page);
  assert.deepStrictEqual(cellsOf(await worldIni(page)), [...cellsOf(glider), '32 30'].sort());
  assert.deepStrictEqual(errors, []);
  await page.close();
});
