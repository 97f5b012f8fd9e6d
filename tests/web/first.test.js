// The first minute on the page, as a newcomer meets it: it opens on the
// bundled pattern framed, keys work wherever the focus is, Esc leaves a live
// page, the buttons show the program's own switches, a preset moves only the
// camera, one's own file opens with the system's picker, and a long load can
// be stopped. Every wait is for an event: none counts on the machine's speed.
'use strict';

const {test, before, after} = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const h = require('./harness.js');

let server;
let isolated;
let chromium;

before(async () => {
  server = await h.serve();
  isolated = await h.serve({isolated: true});
  chromium = await h.launch();
});

after(async () => {
  await chromium.close();
  await server.close();
  await isolated.close();
});

const acorn = fs.readFileSync(path.join(h.root, 'web/patterns/acorn.rle'));
const said = page => page.$eval('#status', e => e.textContent);
const pressed = (page, id) => page.$eval(id, e => [e.textContent, e.getAttribute('aria-pressed')]);
const generation = page => page.evaluate(() => veltrixPage.figures().generation);

async function started(url = server.url, options = {}) {
  const opened = await h.openPage(chromium.browser, url, options);
  await h.waitForLog(opened.page, 'Rendering !');
  await opened.page.evaluate(() => veltrixPage.whenSettled());
  return opened;
}

// A fresh profile, the program's own timer: the picture is the bundled
// pattern framed (F's frame, not the start view's one close box) as soon as
// the program has started, the status says what to do, a key pressed after
// clicking a button reaches the program, and Esc leaves it running.
test('the first minute: the pattern framed at once, keys after a button, Esc, and a true status', async () => {
  const {page, errors} = await h.openPage(chromium.browser, server.url, {manualTicks: false});
  await h.waitForLog(page, 'Rendering !');
  const ready = Date.now();
  await page.waitForFunction(() => veltrixPage.currentView() === 'fit' && veltrixPage.framesShown() > 1,
    {timeout: 5000});
  console.log(`# framed ${Date.now() - ready} ms after start-up`);
  await h.assertFrameAsReplay(page, 'key f\ntick');
  assert.match(await said(page), /Run.*look around.*Patterns/);
  assert.doesNotMatch(await said(page), /Running/);

  await page.click('#step');
  await page.waitForFunction(() => veltrixPage.figures().generation === 1);
  await page.keyboard.press('Insert');
  await page.waitForFunction(() => veltrixPage.figures().generation === 2);
  await page.keyboard.press('Escape');
  await page.focus('#canvas');
  await page.keyboard.press('Escape');
  await page.click('#step');
  await page.waitForFunction(() => veltrixPage.figures().generation === 3);
  assert.ok(await page.evaluate(() => veltrixPage.isRunning()), 'Esc ended the program');
  assert.ok(await page.$eval('#again', e => e.hidden));

  // Run and R: the button follows the program's switch both ways.
  await page.click('#run');
  await page.waitForFunction(() => veltrixPage.figures().generation > 5);
  assert.deepStrictEqual(await pressed(page, '#run'), ['Pause', 'true']);
  await page.keyboard.press('r');
  await page.waitForFunction(() => document.getElementById('run').getAttribute('aria-pressed') === 'false' &&
    veltrixPage.figures().generation === 0);
  assert.deepStrictEqual(await pressed(page, '#run'), ['Run', 'false']);
  assert.match(await said(page), /Run.*look around.*Patterns/);
  assert.deepStrictEqual(errors, []);
  await page.close();
});

// Keys reach the program from the picture, the body and any button; a
// text field and a menu keep theirs. The picture shows when it has the focus.
test('keys reach the program wherever the focus is but in fields and menus; the picture shows its focus', async () => {
  const {page, errors} = await started();
  await page.evaluate(() => {
    window.keysPosted = [];
    veltrixPage.on('key', key => keysPosted.push(key));
  });
  await page.click('#copy');
  await page.waitForFunction(() => !document.getElementById('link').hidden);
  for (const place of ['#canvas', '#copy', '#faster', 'body', '#link', '#rule']) {
    await page.evaluate(selector => {
      document.activeElement.blur();
      if (selector !== 'body')
        document.querySelector(selector).focus();
    }, place);
    await page.keyboard.press('Insert');
  }
  assert.deepStrictEqual(await page.evaluate(() => keysPosted), ['Insert', 'Insert', 'Insert', 'Insert', 'Insert']);
  await h.tick(page);
  assert.strictEqual(await generation(page), 5);
  const ring = await page.evaluate(() => {
    const canvas = document.getElementById('canvas');
    canvas.focus();
    const style = getComputedStyle(canvas);
    return [style.outlineStyle, parseFloat(style.outlineWidth)];
  });
  assert.ok(ring[0] !== 'none' && ring[1] >= 2, `the focused picture's outline: ${ring}`);
  assert.deepStrictEqual(errors, []);
  await page.close();
});

// With a menu focused the keys it uses are its own (the arrows choose) and
// Esc ends nothing; Ins and Del, which it has no use for, step and run.
test('a focused menu keeps its keys and Esc from the program, but not Ins and Del', async () => {
  const {page, errors} = await started();
  await page.evaluate(() => {
    window.keysPosted = [];
    veltrixPage.on('key', key => keysPosted.push(key));
  });
  await page.focus('#view');
  const chosen = () => page.$eval('#view', e => e.selectedIndex);
  const first = await chosen();
  await page.keyboard.press('ArrowDown');
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => veltrixPage.currentView() === 'follow');
  assert.deepStrictEqual(await page.evaluate(() => keysPosted.splice(0)), ['t'], 'the view\'s key alone');
  await page.keyboard.press('Insert');
  await page.keyboard.press('Delete');
  await h.tick(page);
  assert.notStrictEqual(await chosen(), first, 'the arrow moved the menu');
  assert.deepStrictEqual(await page.evaluate(() => keysPosted), ['Insert', 'Delete']);
  assert.ok(await page.evaluate(() => veltrixPage.isRunning()), 'Esc on the menu ended the program');
  assert.deepStrictEqual(await pressed(page, '#run'), ['Pause', 'true']);
  assert.deepStrictEqual(errors, []);
  await page.close();
});

// Arrowing through the closed menu chooses at every step: the page loads
// the last one chosen, turns none away and never jumps back. The glider's
// file is held until two more choices are made, so its load starts after
// them, as on a slow network.
test('arrowing through the closed Patterns menu ends on the last pattern chosen', async () => {
  const {page, errors} = await started();
  let release;
  const held = new Promise(resolve => {
    release = resolve;
  });
  await page.setRequestInterception(true);
  page.on('request', request => {
    if (/glider\.rle$/.test(request.url()))
      held.then(() => request.continue());
    else
      request.continue();
  });
  await page.focus('#pattern');
  for (let i = 0; i < 3; i++)
    await page.keyboard.press('ArrowDown');
  release();
  await page.waitForFunction(() => /Dropped \/drop\/glider\.rle: /.test(document.getElementById('log').textContent));
  await page.keyboard.press('ArrowDown');
  await page.waitForFunction(() => /^r-pentomino\.rle: loaded/.test(document.getElementById('status').textContent),
    {timeout: 20000});
  const dropped = (await h.engineLog(page)).match(/^Dropped .*$/gm);
  assert.match(dropped[dropped.length - 1], /^Dropped \/drop\/r-pentomino\.rle: loaded/);
  assert.ok(dropped.every(line => / loaded, /.test(line)), dropped.join('\n'));
  assert.strictEqual(await page.$eval('#pattern', e => e.value), 'patterns/r-pentomino.rle');
  assert.deepStrictEqual(errors, []);
  await page.close();
});

// Esc never ends the program on the page; a program that ends all the same
// (here it cannot start) leaves Start again in the picture's place, and no
// button pressed.
test('Esc leaves the program running; a program that ended shows Start again over the picture', async () => {
  const {page, errors} = await started();
  await h.play(page, 'key del\ntick\nkey esc\ntick');
  assert.ok(await page.evaluate(() => veltrixPage.isRunning()));
  assert.strictEqual(await generation(page), 2);

  const failed = await h.openPage(chromium.browser, server.url, {beforeStart: "FS.unlink('Cells/Cell.3ds');"});
  await failed.page.waitForFunction(() => !document.getElementById('again').hidden, {timeout: 20000});
  const boxes = await failed.page.evaluate(() => ['canvas', 'again'].map(id =>
    document.getElementById(id).getBoundingClientRect().toJSON()));
  const [canvas, again] = boxes;
  assert.ok(again.left > canvas.left && again.right < canvas.right && again.top > canvas.top &&
    again.bottom < canvas.bottom, `Start again over the picture: ${JSON.stringify(boxes)}`);
  assert.deepStrictEqual(await pressed(failed.page, '#run'), ['Run', 'false']);
  await failed.page.close();
  assert.deepStrictEqual([...errors, ...failed.errors], []);
  await page.close();
});

// The switches as the program has them, whatever turned them: its keys, R,
// a load. End, E and Del by key; R stops the run.
test('the buttons show the program\'s switches, however they were turned', async () => {
  const {page, errors} = await started();
  await h.play(page, 'key end\nkey e\nkey del\ntick 2');
  assert.deepStrictEqual(await Promise.all(['#filtering', '#draw', '#run'].map(id => pressed(page, id))),
    [['Filtering', 'false'], ['Draw', 'true'], ['Pause', 'true']]);
  await h.play(page, 'key r\ntick');
  assert.deepStrictEqual(await pressed(page, '#run'), ['Run', 'false']);
  await h.play(page, 'key e\nkey del\ntick\ndrop acorn.rle\ntick', {'acorn.rle': acorn});
  await h.tick(page);
  assert.deepStrictEqual(await pressed(page, '#run'), ['Pause', 'true'], 'a load leaves the run going');
  assert.deepStrictEqual(errors, []);
  await page.close();
});

// A preset after the camera moved plays its script from the world's start
// camera (the acorn's framed as it loaded) at the generation reached.
test('a view preset moves the camera only: the run goes on at its generation', async () => {
  const {page, errors} = await started();
  const files = {'acorn.rle': acorn};
  await page.select('#pattern', 'patterns/acorn.rle');
  await page.waitForFunction(() => /Dropped \/drop\/acorn\.rle: loaded/.test(document.getElementById('log').textContent));
  await h.play(page, 'key ins 191\ntick\nkey up 3\nmouse 30 -20\ntick');
  const scripts = await page.evaluate(() => Object.fromEntries(
    Object.entries(veltrixPage.views).map(([name, view]) => [name, view.script])));
  for (const name of ['board', 'start', 'low']) {
    await page.select('#view', name);
    await page.waitForFunction(view => veltrixPage.currentView() === view, {}, name);
    await h.tick(page);
    assert.strictEqual(await generation(page), 191, name);
    await h.assertFrameAsReplay(page, `key f\ndrop acorn.rle\nkey ins 191\n${scripts[name]}\ntick`, {files});
  }
  assert.deepStrictEqual(errors, []);
  await page.close();
});

// Open… is the system's file picker; what it gives goes the way of a drop.
test('Open… takes a file from the system\'s picker as a drop takes it', async () => {
  const {page, errors} = await started();
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'veltrix-open-'));
  try {
    const file = path.join(dir, 'acorn.rle');
    fs.writeFileSync(file, acorn);
    const [chooser] = await Promise.all([page.waitForFileChooser(), page.click('#open')]);
    await chooser.accept([file]);
    await page.waitForFunction(() => /^acorn\.rle: loaded/.test(document.getElementById('status').textContent));
    await h.tick(page);
    await h.assertFrameAsReplay(page, 'key f\ndrop acorn.rle\ntick', {files: {'acorn.rle': acorn}});
  } finally {
    fs.rmSync(dir, {recursive: true, force: true});
  }
  assert.deepStrictEqual(errors, []);
  await page.close();
});

// The threaded page reads a dropped file beside the frames. No timer runs
// here and no tick is posted, so the file is still loading when Stop is
// pressed, however fast the machine: the load shows, and Stop ends it with
// the world shown running on.
test('a load shows that it runs, and Stop ends it', async () => {
  const {page, errors} = await started(isolated.url, {threads: 2, manualTicks: false,
    beforeStart: 'self.setInterval = () => 0;'});
  const rows = Array.from({length: 200}, () => 'o'.repeat(200)).join('$');
  await h.drop(page, 'square.rle', Buffer.from(`x = 200, y = 200\n${rows}!\n`));
  assert.match(await said(page), /^square\.rle: loading/);
  await page.waitForSelector('#stop:not([hidden])');
  await page.click('#stop');
  await page.waitForFunction(() => /^square\.rle: loading stopped/.test(document.getElementById('status').textContent));
  assert.match(await h.engineLog(page), /Dropped \/drop\/square\.rle: refused, cancelled\n$/);
  assert.ok(await page.$eval('#stop', e => e.hidden));
  await h.tick(page);
  assert.deepStrictEqual(await page.evaluate(() => [veltrixPage.isRunning(), veltrixPage.figures().population]),
    [true, 164]);
  assert.deepStrictEqual(errors, []);
  await page.close();
});

// The page without threads reads a dropped file in one go, deaf to messages
// till done: here the read never ends. Esc ends that program and starts it
// again on its working folder, the Life.ini Ctrl+S saved before included.
test('a load read in one go is stopped by starting the program again', async () => {
  const {page, errors} = await started(server.url, {beforeStart:
    "const take = Module._webDropFile; Module._webDropFile = p => { if (/stuck/.test(Module.UTF8ToString(p))) " +
    'for (;;); return take(p); };'});
  const bundled = await page.evaluate(() => veltrixPage.readFile('/veltrix/Life.ini', 'utf8'));
  await h.play(page, 'key e\ntick');
  await page.mouse.click(...(await page.evaluate(() => {
    const box = document.getElementById('canvas').getBoundingClientRect();
    return [box.left + box.width / 2, box.top + box.height / 2];
  })));
  await h.play(page, 'key e\ntick');
  await page.keyboard.down('Control');
  await page.keyboard.press('s');
  await page.keyboard.up('Control');
  await page.waitForFunction(() => /Saved/.test(document.getElementById('log').textContent));
  const saved = await page.evaluate(() => veltrixPage.readFile('/veltrix/Life.ini', 'utf8'));
  assert.notStrictEqual(saved, bundled, 'the click drew nothing');
  await h.drop(page, 'stuck.rle', Buffer.from('x = 1, y = 1\no!\n'));
  await page.waitForSelector('#stop:not([hidden])');
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => /^stuck\.rle: loading stopped/.test(document.getElementById('status').textContent),
    {timeout: 20000});
  assert.ok(await page.$eval('#stop', e => e.hidden));
  await h.tick(page);
  assert.ok(await page.evaluate(() => veltrixPage.isReady()));
  assert.strictEqual(await page.evaluate(() => veltrixPage.readFile('/veltrix/Life.ini', 'utf8')), saved);
  assert.strictEqual(await page.evaluate(() => veltrixPage.figures().population), saved.trim().split('\n').length - 1);
  assert.deepStrictEqual(errors, []);
  await page.close();
});
