// The web build in a real browser (Debian's Chromium, headless): start-up,
// frames against the replay runner's, downloads, a failed start, Esc and a
// second start. The page runs with manual ticks, so every frame is one the
// test asked for.
'use strict';

const {test, before, after} = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const h = require('./harness.js');

let server;
let chromium;

before(async () => {
  server = await h.serve();
  chromium = await h.launch();
});

after(async () => {
  await chromium.close();
  await server.close();
});

async function startedPage(options) {
  const opened = await h.openPage(chromium.browser, server.url, options);
  await h.waitForLog(opened.page, 'Rendering !');
  return opened;
}


test('start-up writes the desktop log and shows the start frame', async () => {
  const {page, errors} = await startedPage();
  await h.tick(page);
  assert.strictEqual(await h.engineLog(page), h.replayRun('tick').log);
  await h.assertFrameAsReplay(page, 'tick');
  assert.deepStrictEqual(errors, []);
  await page.close();
});

// The choice is remembered: the page is left smooth, as the other cases expect.
test('with sharp pixels the canvas is scaled by whole pixels where the window has room, else shrunk, 4 : 3', async () => {
  const {page, errors} = await startedPage();
  await page.click('#smooth');
  for (const [width, height, expected] of [[1000, 900, '640px 480px'], [1400, 1150, '1280px 960px'],
    [500, 600, '500px 375px']]) {
    await page.setViewport({width, height});
    await page.waitForFunction(size => {
      const style = document.getElementById('canvas').style;
      return `${style.width} ${style.height}` === size;
    }, {timeout: 5000}, expected);
  }
  await page.click('#smooth');
  assert.deepStrictEqual(errors, []);
  await page.close();
});

test('timer messages coalesce, and without manual ticks the page\'s own timer draws frames', async () => {
  const {page, errors} = await startedPage();
  const drawn = await page.evaluate(async () => {
    const before = veltrixPage.framesShown();
    const ticks = [];
    for (let i = 0; i < 5; i++)
      ticks.push(veltrixPage.tick());
    await Promise.all(ticks);
    await new Promise(resolve => setTimeout(resolve, 200));
    return veltrixPage.framesShown() - before;
  });
  assert.strictEqual(drawn, 1, 'five timer messages posted before the program ran should draw one frame');
  await page.close();

  const timed = await startedPage({manualTicks: false});
  await timed.page.waitForFunction(() => veltrixPage.framesShown() >= 5, {timeout: 20000});
  assert.deepStrictEqual([...errors, ...timed.errors], []);
  await timed.page.close();
});

// Arrows and End; Ins and Del with ticks between; mouse look with a pitch
// that Up and Down then follow through sine and cosine (the pitch of 154
// pixels up is one where glibc's sinf and WebAssembly's differ in the last bit).
const sequences = [
  'key down 20\ntick\nmouse 0 -154\ntick\nkey up 3\ntick',
  'key left 3\nkey up 4\nkey end\ntick',
  'key ins 5\nkey del\ntick 3\nkey del\nkey right 2\nkey down 6\ntick',
  'tick\nmouse 30 -15\ntick\nmouse -75 40\nkey down 3\nkey up\ntick\nmouse 7 23\nkey up 2\ntick',
];

for (const script of sequences) {
  test(`the canvas equals the replay frame after: ${script.replace(/\n/g, '; ')}`, async () => {
    const {page, errors} = await startedPage();
    await h.play(page, script);
    await h.assertFrameAsReplay(page, script);
    assert.deepStrictEqual(errors, []);
    await page.close();
  });
}

// A dropped pattern restarts the board on it; a file that is no pattern leaves
// the board running and shows the converter's message. Either way the page
// ends where the desktop program given the same drop ends.
const gun = Buffer.from('#N Gosper glider gun\nx = 36, y = 9, rule = B3/S23\n' +
  '24bo$22bobo$12b2o6b2o12b2o$11bo3bo4b2o12b2o$2o8bo5bo3b2o$2o8bo3bob2o4bobo$10bo5bo7bo$11bo3bo$12b2o!\n');
const binary = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0, 0, 0, 13, 0x49, 0x48, 0x44, 0x52]);
for (const [name, content, outcome] of [['gun.rle', gun, 'restarts the board'],
  ['picture.png', binary, 'is refused and the board runs on']]) {
  test(`a dropped ${name} ${outcome}, as on the desktop`, async () => {
    const {page, errors} = await startedPage();
    const files = {[name]: content};
    const script = `key down 25\nkey ins 3\ntick\ndrop ${name}\ntick 2\ntick`;
    await h.play(page, script, files);
    const reference = h.replayRun(script, {files});
    // The page's file lies in its own folder, /drop.
    assert.strictEqual(await h.engineLog(page), reference.log.replace(`Dropped ${name}`, `Dropped /drop/${name}`));
    const expected = h.readBmp(reference.screenshot);
    assert.strictEqual(h.firstDifference(await h.canvasFrame(page), expected.frame, expected.width), '');
    // Loading is reading: the working folder keeps its Life.ini either way.
    const life = await page.evaluate(() => veltrixPage.readFile('/veltrix/Life.ini', 'utf8'));
    const bundled = fs.readFileSync(path.join(h.root, 'data', 'Life.ini'), 'utf8');
    assert.strictEqual(life, bundled, 'Life.ini');
    assert.deepStrictEqual(errors, []);
    await page.close();
  });
}

test('F12 and Home are served as downloads equal to the desktop files', async () => {
  const downloads = fs.mkdtempSync(path.join(os.tmpdir(), 'veltrix-downloads-'));
  try {
    const {page} = await startedPage({downloads});
    const script = 'key down 20\nkey ins 3\ntick\nkey f12\nkey home\ntick';
    await h.play(page, script);
    const shot = path.join(downloads, 'Screenshot 0.bmp');
    const graph = path.join(downloads, 'Graph.txt');
    await page.waitForFunction(() => document.querySelectorAll('#downloads a').length === 2);
    for (let i = 0; i < 200 && !(fs.existsSync(shot) && fs.existsSync(graph)); i++)
      await new Promise(resolve => setTimeout(resolve, 25));
    const reference = h.replayRun(script, {lastTickShot: false});
    assert.ok(reference.screenshot.equals(fs.readFileSync(shot)), 'the screenshot differs from the replay runner\'s');
    assert.ok(reference.graph.equals(fs.readFileSync(graph)), 'Graph.txt differs from the replay runner\'s');
    const expected = h.readBmp(reference.screenshot);
    assert.strictEqual(h.firstDifference(await h.canvasFrame(page), expected.frame, expected.width), '');
    await page.close();
  } finally {
    fs.rmSync(downloads, {recursive: true, force: true});
  }
});

// F9 records the canvas with the browser's encoder; F9 again offers the
// video as a WebM file beside the screenshots, and the button does the same.
test('F9 and the Record button each give a WebM download of the run', async () => {
  const downloads = fs.mkdtempSync(path.join(os.tmpdir(), 'veltrix-downloads-'));
  try {
    const {page, errors} = await startedPage({downloads});
    await h.play(page, 'key down 20\nkey del\nkey f9');
    assert.strictEqual(await page.$eval('#record', e => e.getAttribute('aria-pressed')), 'true');
    for (let i = 0; i < 25; i++) {
      await h.tick(page);
      await new Promise(resolve => setTimeout(resolve, 20));
    }
    await h.play(page, 'key f9');
    await page.click('#record');
    for (let i = 0; i < 10; i++) {
      await h.tick(page);
      await new Promise(resolve => setTimeout(resolve, 20));
    }
    await page.click('#record');
    await page.waitForFunction(() => document.querySelectorAll('#downloads a').length === 2, {timeout: 20000});
    assert.strictEqual(await page.$eval('#record', e => e.getAttribute('aria-pressed')), 'false');
    for (const name of ['Recording 0.webm', 'Recording 1.webm']) {
      const file = path.join(downloads, name);
      for (let i = 0; i < 200 && !fs.existsSync(file); i++)
        await new Promise(resolve => setTimeout(resolve, 25));
      const video = fs.readFileSync(file);
      // An EBML header, a WebM document, and more than the header.
      assert.ok(video.subarray(0, 4).equals(Buffer.from([0x1a, 0x45, 0xdf, 0xa3])), name);
      assert.ok(video.includes('webm'), name);
      assert.ok(video.length > 1000, `${name} is ${video.length} bytes`);
    }
    // The program never saw F9: no frame was drawn for it and nothing was said.
    assert.doesNotMatch(await h.engineLog(page), /[Rr]ecord/);
    assert.deepStrictEqual(errors, []);
    await page.close();
  } finally {
    fs.rmSync(downloads, {recursive: true, force: true});
  }
});

test('without Cells/Cell.3ds start-up stops at the desktop\'s line and reason, and the page says so', async () => {
  const {page, errors} = await h.openPage(chromium.browser, server.url,
    {beforeStart: "FS.unlink('Cells/Cell.3ds');"});
  await page.waitForFunction(() => !document.getElementById('again').hidden, {timeout: 20000});
  const reference = h.replayRun('tick', {removeFiles: ['Cells/Cell.3ds'], lastTickShot: false});
  assert.strictEqual(await h.engineLog(page), reference.log);
  assert.match(reference.log, /Loading world \.\.\n {4}Cells\\Cell\.3ds: cannot be opened \(No such file or directory\)\n$/);
  assert.match(await page.$eval('#status', e => e.textContent), /start-up/);
  assert.deepStrictEqual(errors, []);
  await page.close();
});

test('Esc ends the program; starting again shows the start frame once more', async () => {
  const {page, errors} = await startedPage();
  await h.play(page, 'key ins 4\nkey left\ntick');
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => !document.getElementById('again').hidden);
  assert.match(await page.$eval('#status', e => e.textContent), /ended \(exit code 0\)/);
  await page.click('#again');
  await h.waitForLog(page, 'Rendering !');
  await h.tick(page);
  await h.assertFrameAsReplay(page, 'tick');
  assert.deepStrictEqual(errors, []);
  await page.close();
});
