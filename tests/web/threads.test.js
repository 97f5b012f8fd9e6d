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
const scenes = [
  {script: 'key down 20\ntick\nmouse 0 -154\ntick\nkey up 3\ntick'},
  {script: 'key ins 5\nkey del\ntick 3\nkey del\nkey right 2\nkey down 6\ntick'},
  // Every cell alive, seen whole and then across the board: every band has
  // rows full of spans, and cells straddle the bands' edges.
  {script: 'key down 110\ntick\nmouse 0 -200\nkey up 60\ntick', life: full},
];

async function checkScenes(server, threads, expectedThreads, expectedIsolation) {
  for (const scene of scenes) {
    const beforeStart = scene.life ? `FS.writeFile('Life.ini', ${JSON.stringify(scene.life)});` : '';
    const {page, errors} = await h.openPage(chromium.browser, server.url, {threads, beforeStart});
    await h.waitForLog(page, 'Rendering !');
    assert.strictEqual(await page.evaluate(() => window.crossOriginIsolated), expectedIsolation);
    assert.strictEqual(await page.evaluate(() => veltrixPage.threads()), expectedThreads);
    await h.play(page, scene.script);
    await h.assertFrameAsReplay(page, scene.script, {files: scene.life ? {'Life.ini': scene.life} : {}});
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

test('with several threads, Esc and Start again give the start frame once more', async () => {
  const {page, errors} = await h.openPage(chromium.browser, isolated.url, {threads: 2});
  await h.waitForLog(page, 'Rendering !');
  await h.play(page, 'key down 20\ntick');
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => !document.getElementById('again').hidden);
  await page.click('#again');
  await h.waitForLog(page, 'Rendering !');
  await h.tick(page);
  await h.assertFrameAsReplay(page, 'tick');
  assert.deepStrictEqual(errors, []);
  await page.close();
});
