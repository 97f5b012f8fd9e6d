// The threaded build: a cross-origin isolated page draws with several
// threads, and its frames are the desktop's byte for byte; a page that is not
// isolated runs the build without threads, with the same frames.
'use strict';

const {test, before, after} = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const h = require('./harness.js');

let isolated;
let plain;
let chromium;

before(async () => {
  isolated = await h.serve({isolated: true});
  plain = await h.serve();
  chromium = await h.launch();
});

after(async () => {
  await chromium.close();
  await isolated.close();
  await plain.close();
});

const full = fs.readFileSync(path.join(h.root, 'bench/scenes/full.ini'), 'utf8');
// bench/frames.sh's 256 x 256 soup: Park-Miller from seed 1, alive from 2^30 up.
function soup() {
  const cells = [];
  let x = 1;
  for (let y = -128; y < 128; y++)
    for (let c = -128; c < 128; c++) {
      x = (x * 48271) % 2147483647;
      if (x >= 1073741824)
        cells.push(`${c} ${y} 0`);
    }
  return `${cells.length}\n${cells.join('\n')}\n`;
}
const scenes = [
  {script: 'key down 20\ntick\nmouse 0 -154\ntick\nkey up 3\ntick'},
  {script: 'key ins 5\nkey del\ntick 3\nkey del\nkey right 2\nkey down 6\ntick'},
  // Every cell alive, seen whole and then across the board: every band has
  // rows full of spans, and cells straddle the bands' edges.
  {script: 'key down 110\ntick\nmouse 0 -200\nkey up 60\ntick', life: full},
  // A universe framed, then seen from low across it: near cells whole, far
  // ones as stand-ins.
  {script: 'key ins 100\nkey f\ntick\nkey pgdn 12\nmouse 0 -180\ntick', life: soup(), rules: 'B3/S23\n'},
];

async function checkScenes(server, threads, expectedThreads, expectedIsolation) {
  for (const scene of scenes) {
    const files = {};
    if (scene.life)
      files['Life.ini'] = scene.life;
    if (scene.rules)
      files['Rules.ini'] = scene.rules;
    const beforeStart = Object.entries(files).map(([name, text]) =>
      `FS.writeFile('${name}', ${JSON.stringify(text)});`).join('');
    const {page, errors} = await h.openPage(chromium.browser, server.url, {threads, beforeStart});
    await h.waitForLog(page, 'Rendering !');
    assert.strictEqual(await page.evaluate(() => window.crossOriginIsolated), expectedIsolation);
    assert.strictEqual(await page.evaluate(() => veltrixPage.threads()), expectedThreads);
    await h.play(page, scene.script);
    await h.assertFrameAsReplay(page, h.opened + scene.script, {files});
    assert.deepStrictEqual(errors, []);
    await page.close();
  }
}

for (const threads of [2, 3]) {
  test(`an isolated page draws with ${threads} threads and the desktop's frames`, async () => {
    await checkScenes(isolated, threads, threads, true);
  });
}

test('a page that is not isolated draws on one thread, the same frames', async () => {
  await checkScenes(plain, 3, 1, false);
});

// Start again runs the same start.
test('with several threads, a new start gives the first frame once more', async () => {
  const {page, errors} = await h.openPage(chromium.browser, isolated.url, {threads: 2});
  await h.waitForLog(page, 'Rendering !');
  await h.play(page, 'key down 20\ntick');
  await page.evaluate(() => veltrixPage.restart());
  await h.waitForLog(page, 'Rendering !');
  await page.evaluate(() => veltrixPage.whenSettled());
  await h.tick(page);
  await h.assertFrameAsReplay(page, h.opened + 'tick');
  assert.deepStrictEqual(errors, []);
  await page.close();
});

// With threads and the program's own timer, a dropped file is read beside
// the frames and shown once read.
test('an isolated page reads a dropped file on a thread of its own and shows it', async () => {
  const {page, errors} = await h.openPage(chromium.browser, isolated.url, {threads: 2, manualTicks: false});
  await h.waitForLog(page, 'Rendering !');
  const rows = Array.from({length: 200}, () => 'o'.repeat(200)).join('$');
  await h.drop(page, 'square.rle', Buffer.from(`x = 200, y = 200\n${rows}!\n`));
  await page.waitForFunction(() => /^square\.rle: loaded/.test(document.getElementById('status').textContent),
    {timeout: 20000});
  assert.match(await h.engineLog(page), /Dropped \/drop\/square\.rle: loaded, 40000 live cells, rule B3\/S23\n/);
  assert.deepStrictEqual(errors, []);
  await page.close();
});

// Every step of a user's must come back within this long: a page whose main
// thread waits on a helper that never starts answers nothing again.
const stepSeconds = 20;

function within(what, promise) {
  let timer;
  const late = new Promise((resolve, reject) => {
    timer = setTimeout(() => reject(new Error(`${what}: no answer within ${stepSeconds} s`)), stepSeconds * 1000);
  });
  return Promise.race([promise, late]).finally(() => clearTimeout(timer));
}

// A view chosen once the camera has moved, or after another preset, has the
// program put the camera back and plays its script: every step answers, and
// the frames are the desktop's for the script alone.
for (const threads of [2, 3]) {
  test(`with ${threads} threads, views chosen after the pad, a drag or another view answer, with the desktop's frames`,
    async () => {
      const {page, errors} = await h.openPage(chromium.browser, isolated.url, {threads});
      await h.waitForLog(page, 'Rendering !');
      await page.evaluate(() => veltrixPage.whenSettled());
      const scripts = await page.evaluate(() => Object.fromEntries(
        Object.entries(veltrixPage.views).map(([name, view]) => [name, view.script])));
      const choose = async name => {
        await within(`choosing ${name}`, (async () => {
          await page.select('#view', name);
          await page.waitForFunction(view => veltrixPage.currentView() === view, {timeout: 0}, name);
          await h.tick(page);
        })());
        await h.assertFrameAsReplay(page, `${scripts[name]}\ntick`);
      };
      const box = await (await page.$('#canvas')).boundingBox();
      const centre = {x: box.x + box.width / 2, y: box.y + box.height / 2};
      const drag = async (dx, dy) => {
        await page.mouse.move(centre.x, centre.y);
        await page.mouse.down();
        await page.mouse.move(centre.x + dx, centre.y + dy);
        await page.mouse.up();
      };

      for (let i = 0; i < 4; i++)
        await within('the pad', page.click('#back'));
      await within('a tick', h.tick(page));
      await h.assertFrameAsReplay(page, h.opened + 'key down 4\ntick');
      await choose('board');
      await choose('low');
      await within('a drag', drag(40, -20));
      await within('a tick', h.tick(page));
      // The picture fills the window: the drag counts in frame pixels.
      const motion = [40, -20].map(d => Math.round((d * 640) / box.width)).join(' ');
      await h.assertFrameAsReplay(page, `${scripts.low}\ntick\nmouse ${motion}\ntick`);
      await choose('board');
      await choose('start');
      await choose('low');
      assert.deepStrictEqual(errors, []);
      await page.close();
    });
}

// The program draws in a worker: the page's own animation keeps its rate
// while frames are drawn as fast as the program can, isolated (threads) or
// not. Measured against the same page with the program idle, so the bound
// holds however fast the machine is.
test('the page\'s animation keeps its rate while the program draws, with threads and without', async () => {
  for (const [server, threads] of [[isolated, 2], [plain, 0]]) {
    const beforeStart = `FS.writeFile('Life.ini', ${JSON.stringify(full)});`;
    const {page, errors} = await h.openPage(chromium.browser, server.url, {threads, beforeStart});
    await h.waitForLog(page, 'Rendering !');
    await h.play(page, 'key down 110\ntick');
    const rates = await page.evaluate(async () => {
      // The page's animation frames a second, over two seconds at least and
      // until DONE says enough.
      const animation = done => new Promise(resolve => {
        let start = 0;
        let frames = 0;
        const step = now => {
          start = start || now;
          frames++;
          if (now - start < 2000 || !done())
            requestAnimationFrame(step);
          else
            resolve(frames * 1000 / (now - start));
        };
        requestAnimationFrame(step);
      });
      const idle = await animation(() => true);
      const first = veltrixPage.framesShown();
      let drawing = true;
      const ticking = (async () => {
        while (drawing)
          await veltrixPage.tick();
      })();
      // However slowly the machine draws, the rate is judged over ten frames of the program's.
      const busy = await animation(() => veltrixPage.framesShown() - first >= 10);
      drawing = false;
      await ticking;
      return {idle, busy, drawn: veltrixPage.framesShown() - first};
    });
    assert.ok(rates.busy >= 0.75 * rates.idle, `threads ${threads}: ${JSON.stringify(rates)}`);
    // Nothing blocks the page's thread, so the toolchain has no warning for
    // the status line, which shows the page's own words only.
    const status = await page.$eval('#status', e => ({text: e.textContent, error: e.classList.contains('error')}));
    assert.ok(!status.error && !/blocking/i.test(status.text), JSON.stringify(status));
    assert.deepStrictEqual(errors, []);
    await page.close();
  }
});
