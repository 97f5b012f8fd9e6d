// The page people share, in Debian's Chromium: links, the picker, "Copy link", the buttons, the move pad,
// dragging, the views and the help. All of it goes in as a replay script's keys, motion and drops, so each
// case ends on the frame veltrix-replay draws for that script. The page runs with manual ticks.
'use strict';

const {test} = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const zlib = require('node:zlib');
const h = require('./harness.js');

// The page's server and Chromium, started before this file's tests.
const suite = h.browserSuite();

const gunFile = 'gosper-gun.rle';
const gun = fs.readFileSync(path.join(h.root, 'web/patterns', gunFile));
const bundledLife = fs.readFileSync(path.join(h.root, 'data/Life.ini'), 'utf8');
const phone = {width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true};

// Opens the page at QUERY and waits until start-up is done and the page has
// posted what the link asks for.
async function opened(query = '', options = {}) {
  const result = await h.openPage(suite.chromium.browser, suite.server.url + query, options);
  await result.page.waitForFunction(() => document.getElementById('log').textContent.includes('Rendering !\n'),
    {timeout: 20000});
  await result.page.evaluate(() => window.veltrixPage.whenSettled());
  return result;
}

async function waitForLogText(page, text) {
  await page.waitForFunction(t => document.getElementById('log').textContent.includes(t), {timeout: 20000}, text);
}

// The page's canvas (and, with log, its Engine.log) against veltrix-replay's
// for SCRIPT, whose last line is a single tick, after the F the page pressed
// as it opened (unless OPENED is false: a preset's start camera is the one
// before it). The page drops its files into /drop, the replay runner beside
// the data.
async function assertAsReplay(page, script, {files = {}, log = false, opened = true} = {}) {
  const reference = await h.assertFrameAsReplay(page, (opened ? h.opened : '') + script, {files});
  if (log)
    assert.strictEqual(await h.engineLog(page), reference.log.replace(/^Dropped /gm, 'Dropped /drop/'));
}

const lifeIni = page => page.evaluate(() => veltrixPage.readFile('/veltrix/Life.ini', 'utf8'));
const rulesIni = page => page.evaluate(() => veltrixPage.readFile('/veltrix/Rules.ini', 'utf8'));
const status = page => page.$eval('#status', e => ({text: e.textContent, error: e.classList.contains('error')}));
const views = page => page.evaluate(() => Object.fromEntries(
  Object.entries(window.veltrixPage.views).map(([name, view]) => [name, view.script])));

test('a ?pattern= link and a ?file= link start on their board, as the same drop does on the desktop', async () => {
  const linked = await opened('?pattern=' + encodeURIComponent(gun.toString()));
  await waitForLogText(linked.page, 'Dropped /drop/link: loaded');
  await h.play(linked.page, 'tick\ntick');
  // A link without a view frames the pattern as it loads: the drop, then F.
  await assertAsReplay(linked.page, 'drop link\nkey f\ntick\ntick', {files: {link: gun}, log: true});
  assert.match((await status(linked.page)).text, /^The link's pattern: loaded, 36 live cells/);

  // With the auto-iteration and a view asked for: the drop, the view's script, Del.
  const filed = await opened(`?file=patterns/${gunFile}&view=low&run=1`);
  await waitForLogText(filed.page, `Dropped /drop/${gunFile}: loaded`);
  await h.tick(filed.page);
  const {low} = await views(filed.page);
  await assertAsReplay(filed.page, `drop ${gunFile}\n${low}\nkey del\ntick`, {files: {[gunFile]: gun}, log: true});
  assert.strictEqual(await filed.page.$eval('#run', e => e.textContent), 'Pause');
  assert.deepStrictEqual([...linked.errors, ...filed.errors], []);
  await linked.page.close();
  await filed.page.close();
});

// A soup over a 128 x 100 box from a fixed seed, as run-length lines of at
// most 70 characters.
function soupRle() {
  let seed = 12345;
  const rows = [];
  for (let y = 0; y < 100; y++) {
    let row = '';
    for (let x = 0; x < 128; x++) {
      seed = (seed * 1103515245 + 12345) % 2147483648;
      row += seed % 3 === 0 ? 'o' : 'b';
    }
    rows.push(row.replace(/b+$/, '').replace(/(o+|b+)/g, run => (run.length > 1 ? run.length : '') + run[0]));
  }
  const body = rows.join('$') + '!';
  const lines = body.match(/.{1,70}/g);
  return Buffer.from('#N Soup\nx = 128, y = 100, rule = B3/S23\n' + lines.join('\n') + '\n');
}

test('a link holding 8 KB of run-length text loads it', async () => {
  const soup = soupRle();
  assert.ok(soup.length >= 8192, `the soup is ${soup.length} bytes`);
  const {page, errors} = await opened('?pattern=' + encodeURIComponent(soup.toString()));
  await waitForLogText(page, 'Dropped /drop/link: loaded');
  await h.tick(page);
  await assertAsReplay(page, 'drop link\nkey f\ntick', {files: {link: soup}, log: true});
  assert.deepStrictEqual(errors, []);
  await page.close();
});

// The browser build has no zlib: the page decompresses a gzip file, so it
// loads as the desktop program, which decompresses it itself, loads it.
test('a dropped gzip file loads as on the desktop; broken compressed data is refused by the page', async () => {
  const {page, errors} = await opened();
  const packed = zlib.gzipSync(gun);
  await h.play(page, 'drop gun.rle.gz', {'gun.rle.gz': packed});
  await waitForLogText(page, 'Dropped /drop/gun.rle.gz: loaded');
  const handed = await page.evaluate(() => Array.from(veltrixPage.readFile('/drop/gun.rle.gz')));
  assert.deepStrictEqual(Buffer.from(handed), gun);
  await h.tick(page);
  await assertAsReplay(page, 'drop gun.rle.gz\ntick', {files: {'gun.rle.gz': packed}, log: true});

  await page.evaluate(bytes => {
    const transfer = new DataTransfer();
    transfer.items.add(new File([Uint8Array.from(bytes)], 'cut.rle.gz'));
    document.dispatchEvent(new DragEvent('drop', {dataTransfer: transfer, bubbles: true, cancelable: true}));
  }, Array.from(packed.subarray(0, packed.length / 2)));
  await page.waitForFunction(() => document.getElementById('status').textContent.includes('cut.rle.gz not loaded'),
    {timeout: 20000});
  assert.match((await status(page)).text, /gzip-compressed, but the compressed data is broken/);
  assert.ok((await page.evaluate(() => veltrixPage.readFile('/drop/cut.rle.gz'))) === null);
  assert.deepStrictEqual(errors, []);
  await page.close();
});

test('a link the page cannot use leaves the bundled board and says why', async () => {
  const refused = Buffer.from('x = 3, y = 3\nbo$2bo$3q!\n');
  for (const [query, message, script, files] of [
    ['?pattern=' + encodeURIComponent(refused.toString()), /^The link's pattern: refused, line 2: /, 'drop link\ntick',
      {link: refused}],
    ['?pattern=x%3D1%0A%zz!', /not percent-encoded/, 'tick', {}],
    ['?file=../data/Life.ini', /not a file beside the page/, 'tick', {}],
    ['?file=patterns/missing.rle', /patterns\/missing\.rle: the server answered 404/, 'tick', {}],
    ['?view=sideways', /the view "sideways"/, 'tick', {}],
  ]) {
    const {page, errors} = await opened(query);
    if (files.link)
      await waitForLogText(page, 'Dropped /drop/link: refused');
    await h.tick(page);
    await assertAsReplay(page, script, {files, log: true});
    const said = await status(page);
    assert.match(said.text, message, query);
    assert.ok(said.error, `${query}: shown as an error`);
    assert.strictEqual(await lifeIni(page), bundledLife, query);
    assert.deepStrictEqual(errors, []);
    await page.close();
  }
});

test('"Copy link" gives the link of the board shown, and that link shows it again', async () => {
  const {page, errors} = await opened();
  const origin = new URL(suite.server.url).origin;
  await suite.chromium.browser.defaultBrowserContext().overridePermissions(origin, ['clipboard-read', 'clipboard-write',
    'clipboard-sanitized-write']);
  const copy = async () => {
    await page.click('#copy');
    const link = await page.$eval('#link', e => e.value);
    assert.strictEqual(await page.evaluate(() => navigator.clipboard.readText()), link, 'the clipboard');
    return link;
  };
  assert.strictEqual(await copy(), suite.server.url, 'the bundled board has the plain address');

  await page.select('#pattern', `patterns/${gunFile}`);
  await waitForLogText(page, `Dropped /drop/${gunFile}: loaded`);
  assert.strictEqual(await copy(), `${suite.server.url}?file=patterns/${gunFile}`);

  // A dropped file goes into the link byte for byte, marks, blanks and a
  // byte of another code page in its comment too; then the view and Del.
  const glider = Buffer.concat([Buffer.from('#N Glider & co: 100% + more #1 caf'), Buffer.from([0xe9]),
    Buffer.from('\nx = 3, y = 3, rule = B3/S23\nbo$2bo$3o!')]);
  await h.play(page, 'drop glider.rle', {'glider.rle': glider});
  await waitForLogText(page, 'Dropped /drop/glider.rle: loaded');
  await page.select('#view', 'low');
  await page.waitForFunction(() => window.veltrixPage.currentView() === 'low');
  await page.click('#run');
  const link = await copy();
  assert.match(link, /^[^#+ ]*\?pattern=[^&]*&view=low&run=1$/);
  assert.match(link, /[A-Za-z0-9]$/, 'the link ends in a letter, a digit or an escape');

  const again = await opened(link.slice(suite.server.url.length));
  await waitForLogText(again.page, 'Dropped /drop/link: loaded');
  const droppedAgain = await again.page.evaluate(() => Array.from(veltrixPage.readFile('/drop/link')));
  assert.deepStrictEqual(Buffer.from(droppedAgain), glider);
  assert.strictEqual(await lifeIni(again.page), await lifeIni(page));
  await h.tick(again.page);
  const {low} = await views(again.page);
  await assertAsReplay(again.page, `drop link\n${low}\nkey del\ntick`, {files: {link: glider}});
  assert.deepStrictEqual([...errors, ...again.errors], []);
  await page.close();
  await again.page.close();
});

// The page hands the program a file by calling its export directly: a second
// file before the program took the first is turned away, and after a drop
// a new start reads the working folder.
test('a second pattern before the program took the first is turned away; after a drop a new start works', async () => {
  const {page, errors} = await opened();
  const taken = await page.evaluate(bytes => {
    const first = window.veltrixPage.loadPattern('a.rle', Uint8Array.from(bytes), {pattern: bytes});
    const second = window.veltrixPage.loadPattern('b.rle', Uint8Array.from(bytes), {pattern: bytes});
    return [first, second, document.getElementById('status').textContent];
  }, Array.from(gun));
  assert.deepStrictEqual(taken.slice(0, 2), [1, 0]);
  assert.match(taken[2], /busy/);
  await waitForLogText(page, 'Dropped /drop/a.rle: loaded');
  await page.evaluate(() => veltrixPage.restart());
  await page.waitForFunction(() => window.veltrixPage.isReady(), {timeout: 20000});
  await page.evaluate(() => veltrixPage.whenSettled());
  await h.tick(page);
  // Start again reads the working folder's Life.ini and Rules.ini, which the drop left as they were.
  assert.strictEqual(await lifeIni(page), bundledLife);
  await assertAsReplay(page, 'tick', {files: {'Life.ini': await lifeIni(page), 'Rules.ini': await rulesIni(page)}});
  assert.deepStrictEqual(errors, []);
  await page.close();
});

test('every button and the move pad post the keys they stand for: the frames and the screenshot are the keys\'', async () => {
  const {page, errors} = await opened();
  await page.evaluate(() => {
    window.keysPosted = [];
    window.veltrixPage.on('key', key => window.keysPosted.push(key));
  });
  const clicks = async (selector, count = 1) => {
    for (let i = 0; i < count; i++)
      await page.click(selector);
  };
  await clicks('#step', 3);
  await h.tick(page);
  await clicks('#run');
  await h.play(page, 'tick 2');
  await clicks('#run');
  await clicks('#filtering');
  await h.tick(page);
  await clicks('#back', 5);
  await clicks('#forward', 2);
  await clicks('#left', 3);
  await clicks('#right');
  await h.tick(page);
  assert.deepStrictEqual(await page.evaluate(() => window.keysPosted.splice(0)), [
    'Insert', 'Insert', 'Insert', 'Delete', 'Delete', 'End', 'ArrowDown', 'ArrowDown', 'ArrowDown', 'ArrowDown',
    'ArrowDown', 'ArrowUp', 'ArrowUp', 'ArrowLeft', 'ArrowLeft', 'ArrowLeft', 'ArrowRight']);
  assert.strictEqual(await page.$eval('#run', e => e.textContent), 'Run');
  assert.strictEqual(await page.$eval('#filtering', e => e.getAttribute('aria-pressed')), 'false');
  await clicks('#screenshot');
  await h.tick(page);
  const script = 'key ins 3\ntick\nkey del\ntick 2\nkey del\nkey end\ntick\nkey down 5\nkey up 2\nkey left 3\n' +
    'key right\ntick\nkey f12\ntick';
  const reference = h.replayRun(h.opened + script, {lastTickShot: false});
  // The file comes after the frame: the program writes it once the frame is shown.
  await page.waitForFunction(() => veltrixPage.readFile('/veltrix/Screenshot 0.bmp'));
  const shot = await page.evaluate(() => Array.from(veltrixPage.readFile('/veltrix/Screenshot 0.bmp')));
  assert.ok(reference.screenshot.equals(Buffer.from(shot)), 'the screenshot differs from the replay runner\'s');
  const expected = h.readBmp(reference.screenshot);
  assert.strictEqual(h.firstDifference(await h.canvasFrame(page), expected.frame, expected.width), '');
  assert.deepStrictEqual(errors, []);
  await page.close();
});

test('a pad button held down repeats its key at the key-repeat rate until let go', async () => {
  const {page, errors} = await opened('', {keyRepeat: [500, 33]});
  await page.evaluate(() => {
    window.keysPosted = [];
    window.veltrixPage.on('key', key => window.keysPosted.push(key));
  });
  const box = await (await page.$('#back')).boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  await page.mouse.down();
  await page.waitForFunction(() => window.keysPosted.length >= 6, {timeout: 20000});
  await page.mouse.up();
  const held = await page.evaluate(() => window.keysPosted.length);
  await h.tick(page);
  await h.tick(page);
  const posted = await page.evaluate(() => window.keysPosted);
  assert.strictEqual(posted.length, held, 'no repeat after letting go');
  assert.ok(posted.every(key => key === 'ArrowDown'));
  await assertAsReplay(page, `key down ${held}\ntick\ntick`);
  assert.deepStrictEqual(errors, []);
  await page.close();
});

test('dragging on the picture with the mouse or one finger looks as the same mouse lines do', async () => {
  const {page, errors} = await opened();
  const box = await (await page.$('#canvas')).boundingBox();
  const centre = {x: box.x + box.width / 2, y: box.y + box.height / 2};
  const drag = async (dx, dy) => {
    await page.mouse.move(centre.x, centre.y);
    await page.mouse.down();
    for (let i = 1; i <= 3; i++)
      await page.mouse.move(centre.x + (dx * i) / 3, centre.y + (dy * i) / 3);
    await page.mouse.up();
  };
  // The picture fills the window: motion counts in frame pixels.
  const frame = ([x, y]) => `${Math.round((x * 640) / box.width)} ${Math.round((y * 640) / box.width)}`;
  await h.tick(page);
  await drag(30, -15);
  await h.tick(page);
  await drag(-75, 42);
  await h.play(page, 'key down 3\ntick');
  assert.strictEqual(await page.evaluate(() => document.pointerLockElement), null, 'a drag locks no pointer');
  await assertAsReplay(page, `tick\nmouse ${frame([30, -15])}\ntick\nmouse ${frame([-75, 42])}\nkey down 3\ntick`);
  await page.close();

  // On a phone the picture is shown smaller than 640 x 480: a finger's
  // motion counts in frame pixels.
  const touched = await opened('', {viewport: phone});
  const shown = await (await touched.page.$('#canvas')).boundingBox();
  const start = {x: Math.round(shown.x + shown.width / 2), y: Math.round(shown.y + shown.height / 2)};
  await touched.page.touchscreen.touchStart(start.x, start.y);
  for (const [x, y] of [[13, -20], [26, -50], [39, -78]])
    await touched.page.touchscreen.touchMove(start.x + x, start.y + y);
  await touched.page.touchscreen.touchEnd();
  await h.tick(touched.page);
  const scale = 640 / shown.width;
  await assertAsReplay(touched.page, `mouse ${Math.round(39 * scale)} ${Math.round(-78 * scale)}\ntick`);
  assert.deepStrictEqual([...errors, ...touched.errors], []);
  await touched.page.close();
});

test('each view preset is its replay script from the start camera; once moved, the run goes on', async () => {
  const {page, errors} = await opened();
  const scripts = await views(page);
  assert.deepStrictEqual(Object.keys(scripts), ['start', 'board', 'low', 'fit', 'follow']);
  await page.close();
  for (const [name, script] of Object.entries(scripts)) {
    const fresh = await opened();
    await fresh.page.select('#view', name);
    await fresh.page.waitForFunction(view => window.veltrixPage.currentView() === view, {}, name);
    await h.tick(fresh.page);
    await assertAsReplay(fresh.page, `${script}\ntick`, {opened: name === 'fit' || name === 'follow'});
    assert.deepStrictEqual(fresh.errors, []);
    await fresh.page.close();
  }

  // Moved and auto-iterating: the camera back at the start, the view's
  // script, the run going on.
  const moved = await opened();
  await moved.page.click('#run');
  await h.play(moved.page, 'key ins 2\nkey left\ntick 3');
  assert.strictEqual(await moved.page.evaluate(() => window.veltrixPage.currentView()), null);
  await moved.page.select('#view', 'board');
  await moved.page.waitForFunction(() => window.veltrixPage.currentView() === 'board', {timeout: 20000});
  await h.tick(moved.page);
  await assertAsReplay(moved.page, `key del\nkey ins 2\ntick 3\n${scripts.board}\ntick`, {log: true, opened: false});
  assert.strictEqual(await moved.page.$eval('#run', e => e.textContent), 'Pause');
  assert.deepStrictEqual([...errors, ...moved.errors], []);
  await moved.page.close();
});

// A pattern from a link opens framed; the wheel and a pinch post PgUp and
// PgDn; F and T by key, from the View menu (Fit, Follow) and from a link.
test('the wheel and a two-finger pinch zoom; F, T, the Fit and Follow views and their links', async () => {
  const files = {[gunFile]: gun};
  const {page, errors} = await opened(`?file=patterns/${gunFile}`);
  await page.waitForFunction(() => window.veltrixPage.currentView() === 'fit', {timeout: 20000});
  const box = await (await page.$('#canvas')).boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  for (const deltaY of [100, 100, -50, -50])
    await page.mouse.wheel({deltaY});
  assert.strictEqual(await page.evaluate(() => window.veltrixPage.currentView()), null);
  await h.play(page, 'key left 2\nkey f\ntick');
  assert.strictEqual(await page.evaluate(() => window.veltrixPage.currentView()), 'fit');
  const moves = `drop ${gunFile}\nkey f\nkey pgup 2\nkey pgdn\nkey left 2\nkey f\ntick`;
  await assertAsReplay(page, moves, {files});

  await page.select('#view', 'follow');
  await page.waitForFunction(() => window.veltrixPage.currentView() === 'follow');
  await page.click('#run');
  await h.play(page, 'tick 29');
  await h.tick(page);
  await assertAsReplay(page, `${moves}\nkey t\nkey del\ntick 29\ntick`, {files});
  await page.keyboard.press('ArrowLeft');
  assert.strictEqual(await page.evaluate(() => window.veltrixPage.currentView()), null);
  await page.close();

  const followed = await opened(`?file=patterns/${gunFile}&view=follow&run=1`);
  await waitForLogText(followed.page, `Dropped /drop/${gunFile}: loaded`);
  await h.play(followed.page, 'tick 9');
  await h.tick(followed.page);
  await assertAsReplay(followed.page, `drop ${gunFile}\nkey f\nkey t\nkey del\ntick 9\ntick`, {files});
  assert.match(await followed.page.evaluate(() => window.veltrixPage.boardLink()),
    /\?file=patterns\/gosper-gun\.rle&view=follow&gen=10&run=1$/);
  await followed.page.close();

  // The board framed by its link, then a classic from the picker, framed as it loads.
  const fitted = await opened('?view=fit');
  await h.tick(fitted.page);
  await assertAsReplay(fitted.page, 'key f\ntick');
  await fitted.page.select('#pattern', 'patterns/glider.rle');
  await waitForLogText(fitted.page, 'Dropped /drop/glider.rle: loaded');
  await h.tick(fitted.page);
  const glider = fs.readFileSync(path.join(h.root, 'web/patterns/glider.rle'));
  await assertAsReplay(fitted.page, 'key f\ntick\ndrop glider.rle\nkey f\ntick', {files: {'glider.rle': glider}});
  await fitted.page.close();

  // Fingers 80 pixels apart, then 110 (a quarter more: closer), then 60
  // (a fifth less, twice: further).
  const touched = await opened('', {viewport: phone});
  const shown = await (await touched.page.$('#canvas')).boundingBox();
  const c = {x: Math.round(shown.x + shown.width / 2), y: Math.round(shown.y + shown.height / 2)};
  const a = await touched.page.touchscreen.touchStart(c.x - 40, c.y);
  const b = await touched.page.touchscreen.touchStart(c.x + 40, c.y);
  await a.move(c.x - 55, c.y);
  await b.move(c.x + 55, c.y);
  await a.move(c.x - 30, c.y);
  await b.move(c.x + 30, c.y);
  await a.end();
  await b.end();
  await h.tick(touched.page);
  await assertAsReplay(touched.page, 'key pgdn\nkey pgup 2\ntick');
  assert.deepStrictEqual([...errors, ...followed.errors, ...fitted.errors, ...touched.errors], []);
  await touched.page.close();
});

test('the help overlay opens with "?" and closes with Esc or a click, and the program runs on', async () => {
  const {page, errors} = await opened();
  const shown = () => page.$eval('#help', e => !e.hidden);
  await page.click('#help-open');
  assert.ok(await shown(), 'opened by the button');
  await page.keyboard.press('Escape');
  assert.ok(!(await shown()), 'closed by Esc');
  await page.keyboard.press('?');
  assert.ok(await shown(), 'opened by the key');
  await page.mouse.click(5, 5);
  assert.ok(!(await shown()), 'closed by a click');
  await h.play(page, 'key ins\ntick');
  assert.ok(await page.evaluate(() => window.veltrixPage.isRunning()), 'Esc did not end the program');
  await assertAsReplay(page, 'key ins\ntick');
  assert.deepStrictEqual(errors, []);
  await page.close();
});

// Every control in the viewport, nothing wider than it; on the phone the
// picture across the top and the controls under it. VELTRIX_WEB_SHOTS names
// a folder to keep the screenshots in (the README's come from there).
test('the page at 390 x 844 and 1280 x 960: every control on screen, no horizontal scrolling', async () => {
  for (const [name, viewport] of [['phone', phone], ['desktop', {width: 1280, height: 960}]]) {
    const {page, errors} = await opened('?file=patterns/r-pentomino.rle', {viewport});
    await waitForLogText(page, 'Dropped');
    await h.play(page, `${'key ins 10\ntick\n'.repeat(30)}key f\ntick`);
    const layout = await page.evaluate(() => {
      const rect = e => e.getBoundingClientRect().toJSON();
      return {
        width: window.innerWidth,
        height: window.innerHeight,
        scrollWidth: document.documentElement.scrollWidth,
        canvas: rect(document.getElementById('canvas')),
        controls: rect(document.getElementById('controls')),
        items: [...document.querySelectorAll('#controls button, #controls select')]
          .filter(e => !e.hidden).map(e => ({id: e.id || e.textContent, ...rect(e)})),
      };
    });
    assert.ok(layout.scrollWidth <= layout.width, `${name}: ${layout.scrollWidth} px wide`);
    assert.ok(layout.items.length >= 13, `${name}: ${layout.items.length} controls`);
    for (const item of [layout.canvas, ...layout.items]) {
      assert.ok(item.left >= 0 && item.top >= 0 && item.right <= layout.width && item.bottom <= layout.height,
        `${name}: ${JSON.stringify(item)} is off the screen`);
    }
    assert.ok(layout.canvas.bottom <= layout.controls.top, `${name}: the picture above the controls`);
    if (name === 'phone')
      assert.strictEqual(layout.canvas.width, layout.width, 'the picture across the phone');
    if (process.env.VELTRIX_WEB_SHOTS)
      await page.screenshot({path: path.join(process.env.VELTRIX_WEB_SHOTS, `web-${name}.png`)});

    await page.click('#help-open');
    const help = await page.$eval('#help-text', e => e.getBoundingClientRect().toJSON());
    assert.ok(help.top >= 0 && help.bottom <= layout.height && help.right <= layout.width,
      `${name}: the help fits one screen: ${JSON.stringify(help)}`);
    assert.deepStrictEqual(errors, []);
    await page.close();
  }
});
