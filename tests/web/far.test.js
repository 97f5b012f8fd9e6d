// Going far on the page: the field takes the world to a generation (and G
// typed on the picture does), Stop and Esc end the way there, the engine
// button moves the world between the engines and names the one it is on, a
// link carries the generation, and a huge macrocell file opened from disk
// goes to generation 1,000,000. The populations are bgolly's. Every wait is
// for a frame or an event, never for a time.
'use strict';

const {test} = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const h = require('./harness.js');

// The page's server and Chromium, started before this file's tests.
const suite = h.browserSuite();

const acorn = fs.readFileSync(path.join(h.root, 'web/patterns/acorn.rle'));
const galaxyFile = '/usr/share/golly/Patterns/HashLife/metapixel-galaxy.mc.gz';
const said = page => page.$eval('#status', e => e.textContent);
const figures = page => page.evaluate(() => [veltrixPage.figures().generation, veltrixPage.figures().population]);
const engine = page => page.$eval('#engine', e => [e.textContent, e.getAttribute('aria-pressed')]);

async function started(search = '') {
  const opened = await h.openPage(suite.chromium.browser, suite.server.url + search);
  await opened.page.waitForFunction(() => window.veltrixPage && veltrixPage.isReady());
  await opened.page.evaluate(() => veltrixPage.whenSettled());
  return opened;
}

// Ticks until CONDITION (an expression, run in the page) holds; a bounded
// number of ticks, so a going that never ends fails instead of hanging.
async function tickUntil(page, condition) {
  const held = await page.evaluate(async source => {
    const holds = new Function('return (' + source + ');');
    for (let ticks = 0; ticks < 20000; ticks++) {
      if (holds())
        return true;
      await veltrixPage.tick();
    }
    return holds();
  }, condition);
  assert.ok(held, `never came to pass: ${condition}`);
}

const arrived = "/^(At|Stopped at) generation/.test(document.getElementById('status').textContent)";

async function acornLoaded() {
  const opened = await started();
  await opened.page.select('#pattern', 'patterns/acorn.rle');
  await opened.page.waitForFunction(() => /^acorn\.rle: loaded/.test(document.getElementById('status').textContent));
  return opened;
}

async function goByField(page, text) {
  await page.click('#go-to', {clickCount: 3});
  await page.keyboard.type(text);
  await page.keyboard.press('Enter');
}

// Types the generation, Enter, and ticks until the world is there; the
// program has taken it once the page says it is going.
async function goThere(page, generation) {
  await goByField(page, String(generation));
  await page.waitForFunction(text => document.getElementById('status').textContent === text, {},
    `Going to generation ${generation.toLocaleString('en')}…`);
  await tickUntil(page, arrived);
}

test('the field and G go to a generation, forward and back, and refuse what is none', async () => {
  const {page, errors} = await acornLoaded();
  await goThere(page, 1000);
  assert.deepStrictEqual(await figures(page), [1000, 457]);
  assert.strictEqual(await said(page), 'At generation 1,000.');

  // Behind the world: from generation 0 again, with the Go button.
  await page.click('#go-to', {clickCount: 3});
  await page.keyboard.type('500');
  await page.click('#go');
  await tickUntil(page, arrived + " && veltrixPage.figures().generation === 500");
  assert.deepStrictEqual(await figures(page), [500, 276]);

  // G, its digits and Enter on the picture, as on the desktop.
  await page.focus('#canvas');
  for (const key of ['g', '2', '4', '4', 'Enter'])
    await page.keyboard.press(key);
  await tickUntil(page, 'veltrixPage.figures().generation === 244');
  assert.deepStrictEqual(await figures(page), [244, 157]);

  for (const text of ['12a', '-3', '1e6', '9007199254740993', '']) {
    await goByField(page, text);
    assert.match(await said(page), /no generation the page can go to|Type the generation/, text);
    assert.ok(await page.$eval('#go-to', e => e.classList.contains('wrong')), text);
  }
  // The page's API takes whole numbers only, as the program does.
  for (const odd of [-1, 1.5, 2 ** 53])
    assert.strictEqual(await page.evaluate(n => veltrixPage.goTo(n), odd), 0, String(odd));
  assert.match(await said(page), /^No generation the page can go to: 9007199254740992\.$/);
  await h.tick(page);
  assert.deepStrictEqual(await figures(page), [244, 157]);
  assert.deepStrictEqual(errors, []);
  await page.close();
});

// The tile engine cannot reach 10^15 in a few ticks on any machine: Stop
// shows while it goes, and Stop or Esc leaves the world where it got to.
test('Stop and Esc end the way to a far generation where the world has got to', async () => {
  const {page, errors} = await acornLoaded();
  for (const stop of [() => page.click('#go-stop'), () => page.keyboard.press('Escape')]) {
    await goByField(page, '1000000000000000');
    await page.waitForFunction(() => document.getElementById('status').textContent ===
      'Going to generation 1,000,000,000,000,000…');
    await tickUntil(page, 'veltrixPage.far().going');
    assert.ok(!(await page.$eval('#go-stop', e => e.hidden)));
    await page.focus('#canvas');
    await stop();
    await tickUntil(page, '!veltrixPage.far().going');
    const [reached] = await figures(page);
    assert.match(await said(page), /^Stopped at generation [0-9,]+ /);
    assert.ok(reached > 0 && reached < 1e15, String(reached));
    assert.ok(await page.$eval('#go-stop', e => e.hidden));
    await h.tick(page);
    assert.strictEqual((await figures(page))[0], reached);
  }
  assert.ok(await page.evaluate(() => veltrixPage.isRunning()), 'Esc ended the program');
  assert.deepStrictEqual(errors, []);
  await page.close();
});

test('the engine button moves the world between the engines as H does, cells and generation kept', async () => {
  const {page, errors} = await acornLoaded();
  assert.deepStrictEqual(await engine(page), ['Tile engine', 'false']);
  await goThere(page, 300);
  const before = await figures(page);
  await page.click('#engine');
  await tickUntil(page, 'veltrixPage.far().hashlife');
  assert.deepStrictEqual(await engine(page), ['Hashlife', 'true']);
  assert.deepStrictEqual(await figures(page), before);
  await goThere(page, 1000);
  assert.deepStrictEqual(await figures(page), [1000, 457]);
  await page.focus('#canvas');
  await page.keyboard.press('h');
  await tickUntil(page, '!veltrixPage.far().hashlife');
  assert.deepStrictEqual(await engine(page), ['Tile engine', 'false']);
  assert.deepStrictEqual(await figures(page), [1000, 457]);

  // The bundled board is bounded: it stays on the tile engine.
  const bundled = await started();
  await bundled.page.click('#engine');
  await h.tick(bundled.page);
  await h.tick(bundled.page);
  assert.deepStrictEqual(await engine(bundled.page), ['Tile engine', 'false']);
  assert.deepStrictEqual([...errors, ...bundled.errors], []);
  await page.close();
  await bundled.page.close();
});

const exportedCells = async page => {
  assert.ok(await page.evaluate(() => veltrixPage.exportWorld()));
  return page.evaluate(() => veltrixPage.readFile('/export/Life.ini', 'utf8'));
};

test('a link carries the generation shown and opens there, cell for cell', async () => {
  const {page, errors} = await acornLoaded();
  assert.ok((await page.evaluate(() => veltrixPage.boardLink())).endsWith('?file=patterns/acorn.rle'));
  await goThere(page, 1000);
  const link = await page.evaluate(() => veltrixPage.boardLink());
  assert.ok(link.endsWith('?file=patterns/acorn.rle&gen=1000'), link);

  const again = await started(link.slice(link.indexOf('?')));
  await tickUntil(again.page, arrived);
  assert.deepStrictEqual(await figures(again.page), [1000, 457]);
  assert.strictEqual(await exportedCells(again.page), await exportedCells(page));

  const odd = await started('?file=patterns/acorn.rle&gen=12x');
  await odd.page.waitForFunction(() => /generation "12x", which is no whole number/.test(
    document.getElementById('status').textContent));
  await h.tick(odd.page);
  assert.strictEqual((await figures(odd.page))[0], 0);
  assert.deepStrictEqual([...errors, ...again.errors, ...odd.errors], []);
  for (const p of [page, again.page, odd.page])
    await p.close();
});

// Debian's golly package brings the galaxy; it is read where it lies, never
// copied. It opens on hashlife from the system's picker, runs, and goes to
// generation 1,000,000; the time taken is printed, not judged.
test('the metapixel galaxy opens from disk on hashlife, runs, and goes to generation 1,000,000',
  {skip: !fs.existsSync(galaxyFile) && `${galaxyFile} is missing (Debian's golly package)`}, async () => {
    const {page, errors} = await started();
    let start = Date.now();
    const [chooser] = await Promise.all([page.waitForFileChooser(), page.click('#open')]);
    await chooser.accept([galaxyFile]);
    await page.waitForFunction(() => /^metapixel-galaxy\.mc\.gz: loaded/.test(
      document.getElementById('status').textContent), {timeout: 0});
    console.log(`# the galaxy opened in ${Date.now() - start} ms`);
    await h.tick(page);
    assert.deepStrictEqual(await engine(page), ['Hashlife', 'true']);
    await page.click('#run');
    await tickUntil(page, 'veltrixPage.figures().generation >= 2');
    await page.click('#run');
    await h.tick(page);
    start = Date.now();
    await goThere(page, 1000000);
    console.log(`# generation 1,000,000 reached in ${Date.now() - start} ms`);
    assert.strictEqual(await said(page), 'At generation 1,000,000.');
    assert.deepStrictEqual(await figures(page), [1000000, 6548638]);
    assert.deepStrictEqual(errors, []);
    await page.close();
  });
