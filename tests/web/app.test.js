// The page as an app and as a page anyone can use: its service worker makes
// it cross-origin isolated and keeps it for use offline; the picture fills
// big screens; text reads well and what changes is announced; the help
// keeps the focus; a touch screen gets button names, PNG screenshots and a
// folded log.
'use strict';

const {test, before, after} = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const h = require('./harness.js');

let server;
let chromium;
let downloads;

before(async () => {
  server = await h.serve();
  chromium = await h.launch();
  downloads = fs.mkdtempSync(path.join(os.tmpdir(), 'veltrix-downloads-'));
});

after(async () => {
  await chromium.close();
  await server.close();
  fs.rmSync(downloads, {recursive: true, force: true});
});

const phone = {width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true};

async function started(url, options) {
  const result = await h.openPage(chromium.browser, url, options);
  await h.waitForLog(result.page, 'Rendering !');
  await result.page.evaluate(() => window.veltrixPage.whenSettled());
  return result;
}

test('served without the isolation headers, the page is isolated with threads once its worker is in, and opens offline',
  async () => {
    const own = await h.serve();
    const {page, errors} = await started(own.url, {serviceWorker: true, threads: 2});
    assert.strictEqual(await page.evaluate(() => window.crossOriginIsolated), false);
    const client = await page.createCDPSession();
    const manifest = await client.send('Page.getAppManifest');
    assert.deepStrictEqual(manifest.errors, []);
    const icons = JSON.parse(manifest.data).icons.map(icon => `${icon.sizes} ${icon.purpose || 'any'}`);
    assert.deepStrictEqual(icons, ['192x192 any', '512x512 any', '512x512 maskable']);
    await page.evaluate(() => navigator.serviceWorker.ready);

    const isolatedRun = async () => {
      await h.waitForLog(page, 'Rendering !');
      await page.evaluate(() => window.veltrixPage.whenSettled());
      assert.deepStrictEqual(await page.evaluate(() => [window.crossOriginIsolated, veltrixPage.threads()]), [true, 2]);
      await h.play(page, 'key ins 3\ntick');
      await h.assertFrameAsReplay(page, h.opened + 'key ins 3\ntick');
      // The threaded runtime's warnings, made while it drew, are not the page's to show.
      assert.match(await page.$eval('#status', e => e.textContent), /^Press Run/);
    };
    await page.reload();
    await isolatedRun();
    await own.close();
    await page.reload();
    await isolatedRun();
    // The folder's own address is the page too, though never visited.
    await page.goto(own.url.replace(/index\.html$/, ''));
    await isolatedRun();
    assert.ok(await page.evaluate(async () => (await fetch('icons/veltrix-32.png')).ok), 'the favicon offline');
    await page.select('#pattern', 'patterns/glider.rle');
    await page.waitForFunction(() => /^glider\.rle: loaded/.test(document.getElementById('status').textContent));
    assert.deepStrictEqual(errors, []);
    await page.close();
  });

test('on big screens the picture fills the room, smoothly or in whole sharp pixels, as last chosen, and stays put while running', async () => {
  const picture = page => page.evaluate(() => {
    const canvas = document.getElementById('canvas');
    const rect = canvas.getBoundingClientRect();
    return {
      width: rect.width,
      height: rect.height,
      room: Math.min(document.getElementById('screen').clientWidth,
        (window.innerHeight - document.getElementById('controls').offsetHeight) * 4 / 3),
      rendering: getComputedStyle(canvas).imageRendering,
    };
  });
  for (const [viewport, sharpWidth] of [[{width: 1280, height: 800}, 640], [{width: 1910, height: 1080}, 1280]]) {
    const {page, errors} = await started(server.url, {viewport});
    const smooth = await picture(page);
    assert.ok(Math.abs(smooth.width - smooth.room) < 1 && smooth.width > 800, JSON.stringify(smooth));
    assert.strictEqual(smooth.rendering, 'auto');
    await page.click('#smooth');
    const sharp = await picture(page);
    assert.deepStrictEqual([sharp.width, sharp.height, sharp.rendering], [sharpWidth, sharpWidth * 3 / 4, 'pixelated']);
    await page.close();

    const again = await started(server.url, {viewport});
    assert.deepStrictEqual(await picture(again.page), sharp, 'the choice is remembered');
    await again.page.click('#smooth');
    assert.deepStrictEqual(await picture(again.page), smooth);
    // Run turning to Pause and the figures growing leave the strip's lines, and so the picture, where they were.
    await again.page.click('#run');
    await h.play(again.page, 'key + 6\ntick 200');
    assert.deepStrictEqual(await picture(again.page), smooth, 'running');
    assert.strictEqual(await again.page.$eval('#generation', e => e.textContent), '12800');
    assert.deepStrictEqual([...errors, ...again.errors], []);
    await again.page.close();
  }
});

// WCAG's contrast ratio of every piece of text shown against the background
// it is drawn on, and of a pressed button's fill against an unpressed one's.
function contrasts() {
  const channels = colour => colour.match(/[\d.]+/g).map(Number);
  const luminance = colour => {
    const [r, g, b] = channels(colour).map(v => {
      const c = v / 255;
      return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
    });
    return 0.2126 * r + 0.7152 * g + 0.0722 * b;
  };
  const ratio = (a, b) => {
    const [light, dark] = [luminance(a), luminance(b)].sort((x, y) => y - x);
    return (light + 0.05) / (dark + 0.05);
  };
  const background = element => {
    for (let e = element; e; e = e.parentElement) {
      const colour = getComputedStyle(e).backgroundColor;
      const alpha = channels(colour)[3];
      if (alpha === undefined || alpha === 1)
        return colour;
    }
    return 'rgb(255, 255, 255)';
  };
  const low = [];
  for (const e of document.querySelectorAll('body *')) {
    const text = [...e.childNodes].some(n => n.nodeType === Node.TEXT_NODE && n.textContent.trim()) ||
      e.tagName === 'SELECT';
    if (!text || !e.getClientRects().length || e.closest('[hidden]'))
      continue;
    const value = ratio(getComputedStyle(e).color, background(e));
    if (value < 4.5)
      low.push(`${e.id || e.tagName} "${e.textContent.trim().slice(0, 20)}": ${value.toFixed(2)}`);
  }
  const on = document.querySelector('#controls button[aria-pressed="true"]');
  const off = document.querySelector('#controls button[aria-pressed="false"]');
  return {low, states: ratio(getComputedStyle(on).backgroundColor, getComputedStyle(off).backgroundColor)};
}

test('text reads at 4.5:1, on differs from off in its fill, names and messages fit, changes are announced',
  async () => {
    for (const viewport of [phone, {width: 1280, height: 800}]) {
      const {page, errors} = await started(server.url, {viewport, downloads});
      await h.play(page, 'key f12\ntick');
      await page.waitForSelector('#downloads a');
      const page1 = await page.evaluate(contrasts);
      assert.deepStrictEqual(page1.low, []);
      assert.ok(page1.states >= 3, `pressed against not: ${page1.states}`);
      await page.click('#help-open');
      assert.deepStrictEqual((await page.evaluate(contrasts)).low, [], 'the help');
      await page.keyboard.press('Escape');

      for (const [id, name] of [['pattern', 'Gosper glider gun'], ['rule', 'Day & Night B3678/S34678']]) {
        const picker = await page.evaluate((id, name) => {
          const select = document.getElementById(id);
          const probe = document.createElement('span');
          probe.style.font = getComputedStyle(select).font;
          probe.textContent = name;
          document.body.appendChild(probe);
          const text = probe.getBoundingClientRect().width;
          probe.remove();
          const style = getComputedStyle(select);
          // Chromium's drop-down arrow takes about 20 px of the box.
          return {text, room: select.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight) - 20};
        }, id, name);
        assert.ok(picker.text <= picker.room, `${name} at ${viewport.width} px: ${JSON.stringify(picker)}`);
      }

      await page.evaluate(() => veltrixPage.say('See https://example.org/docs/porting/pthreads.html#' +
        'blocking-on-the-main-browser-thread-' + 'x'.repeat(40), true));
      // A phone's browser zooms out to show a page wider than the screen: compare with the screen.
      const wide = await page.evaluate(() => document.documentElement.scrollWidth);
      assert.ok(wide <= viewport.width, `a long message widens the page to ${wide} px`);

      const spoken = await page.evaluate(() => ({
        canvas: document.getElementById('canvas').getAttribute('aria-label'),
        live: ['status', 'generation', 'population'].map(id => document.getElementById(id).closest('[aria-live]')
          .getAttribute('aria-live')),
      }));
      assert.match(spoken.canvas, /board/);
      assert.deepStrictEqual(spoken.live, ['polite', 'polite', 'polite']);
      assert.deepStrictEqual(errors, []);
      await page.close();
    }
  });

test('the help keeps the focus while open and gives it back on Esc', async () => {
  const {page, errors} = await started(server.url);
  const focused = () => page.evaluate(() => document.activeElement.id);
  await page.focus('#help-open');
  await page.keyboard.press('Enter');
  for (const key of ['Tab', 'Tab', 'Tab']) {
    await page.keyboard.press(key);
    assert.ok(await page.evaluate(() => document.getElementById('help').contains(document.activeElement)),
      `after ${key}: ${await focused()}`);
  }
  await page.keyboard.down('Shift');
  await page.keyboard.press('Tab');
  await page.keyboard.up('Shift');
  assert.strictEqual(await focused(), 'help-close');
  await page.keyboard.press('Escape');
  assert.strictEqual(await focused(), 'help-open');
  await page.focus('#canvas');
  await page.keyboard.press('?');
  await page.keyboard.press('Escape');
  assert.strictEqual(await focused(), 'canvas');
  assert.ok(await page.evaluate(() => veltrixPage.isRunning()), 'Esc did not end the program');
  assert.deepStrictEqual(errors, []);
  await page.close();
});

test('on a touch screen the picture names the buttons, a screenshot is a PNG and the log is folded', async () => {
  const {page, errors} = await started(server.url, {viewport: phone, downloads});
  assert.ok(await page.evaluate(() => !document.getElementById('log-panel').open));
  await h.play(page, 'key ins\ntick');
  const reference = h.readBmp(h.replayRun(h.opened + 'key ins\ntick').screenshot);
  const frame = await h.canvasFrame(page);
  const rows = new Set();
  for (let i = 0; i < frame.length; i++) {
    if (frame[i] !== reference.frame[i])
      rows.add(Math.floor(i / reference.width));
  }
  // The two lines of key hints start 30 rows above the bottom; nothing else changes.
  assert.ok(rows.size > 0 && Math.min(...rows) >= 450, `rows ${Math.min(...rows)} to ${Math.max(...rows)} differ`);
  await h.assertFrameAsReplay(page, h.opened + 'key ins\ntick');

  await page.tap('#screenshot');
  await h.tick(page);
  await page.waitForSelector('#downloads a');
  const shot = await page.evaluate(async () => {
    const link = document.querySelector('#downloads a');
    const bitmap = await createImageBitmap(await (await fetch(link.href)).blob());
    const copy = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
    copy.drawImage(bitmap, 0, 0);
    const canvas = document.getElementById('canvas');
    const shown = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    const saved = copy.getImageData(0, 0, bitmap.width, bitmap.height).data;
    return {name: link.download, same: shown.length === saved.length && shown.every((v, i) => v === saved[i])};
  });
  assert.deepStrictEqual(shot, {name: 'Screenshot 0.png', same: true});
  assert.deepStrictEqual(errors, []);
  await page.close();
});
