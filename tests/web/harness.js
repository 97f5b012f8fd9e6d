// What the browser tests share: a static server for the built page on
// 127.0.0.1, Debian's Chromium through puppeteer-core, the replay runner for
// reference frames, and BMP reading.
'use strict';

const assert = require('node:assert');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');
const {execFileSync} = require('node:child_process');
const puppeteer = require('puppeteer-core');

const root = path.resolve(__dirname, '../..');
const pageDir = process.env.VELTRIX_WEB_DIR || path.join(root, 'build-web/bin');
const replay = process.env.VELTRIX_REPLAY || path.join(root, 'build/bin/veltrix-replay');

const types = {'.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm',
  '.png': 'image/png', '.webmanifest': 'application/manifest+json'};

// Serves DIR (pageDir unless given) and the folders in it on a free loopback
// port; resolves to {url, close}. Long request lines pass: a link may carry a
// whole pattern.
// An isolated server sends the two headers that make the page cross-origin
// isolated, as scripts/web.sh --serve does.
const isolation = {'Cross-Origin-Opener-Policy': 'same-origin', 'Cross-Origin-Embedder-Policy': 'require-corp'};
function serve({isolated = false, dir = pageDir} = {}) {
  const server = http.createServer({maxHeaderSize: 256 * 1024}, (request, response) => {
    const wanted = decodeURIComponent(new URL(request.url, 'http://x').pathname).replace(/^\/+/, '');
    const name = path.normalize(wanted || 'index.html');
    if (name.startsWith('..') || path.isAbsolute(name)) {
      response.writeHead(404);
      response.end();
      return;
    }
    fs.readFile(path.join(dir, name), (error, data) => {
      if (error) {
        response.writeHead(404);
        response.end();
        return;
      }
      response.writeHead(200, {'Content-Type': types[path.extname(name)] || 'application/octet-stream',
        ...(isolated ? isolation : {})});
      response.end(data);
    });
  });
  return new Promise(resolve => server.listen(0, '127.0.0.1', () => resolve({
    url: `http://127.0.0.1:${server.address().port}/index.html`,
    close: () => new Promise(done => server.close(done)),
  })));
}

async function launch() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'veltrix-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      `--user-data-dir=${profile}`],
  });
  return {
    browser,
    close: async () => {
      await browser.close();
      fs.rmSync(profile, {recursive: true, force: true});
    },
  };
}

// How long a download may take at most: only a download that never ends
// meets it.
const downloadSeconds = 60;

// Saves the page's downloads into the folder DOWNLOADS; returns
// downloaded(NAME), which resolves to the path of the file the page offered
// as NAME once the browser has written the whole of it (a file can be seen
// in the folder before that).
async function keepDownloads(page, downloads) {
  const client = await page.createCDPSession();
  const names = new Map(); // the browser's id of a download -> the name the page gave it
  const ends = new Map(); // name -> {ended, end}
  const endOf = name => {
    if (!ends.has(name)) {
      let end;
      const ended = new Promise(resolve => {
        end = resolve;
      });
      ends.set(name, {ended, end});
    }
    return ends.get(name);
  };
  client.on('Browser.downloadWillBegin', ({guid, suggestedFilename}) => names.set(guid, suggestedFilename));
  client.on('Browser.downloadProgress', ({guid, state, filePath}) => {
    if (state === 'completed' || state === 'canceled')
      endOf(names.get(guid)).end(state === 'completed' ? filePath : null);
  });
  await client.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads, eventsEnabled: true});
  return async name => {
    let timer;
    const late = new Promise((resolve, reject) => {
      timer = setTimeout(() => reject(new Error(`${name}: not downloaded within ${downloadSeconds} s`)),
        downloadSeconds * 1000);
    });
    const file = await Promise.race([endOf(name).ended, late]).finally(() => clearTimeout(timer));
    assert.ok(file, `the download of ${name} was canceled`);
    return file;
  };
}

// Opens the page with window.veltrixOptions set before its scripts run.
// beforeStart, given as source text, runs in the program's worker with FS
// before each start; keyRepeat is the buttons' [delay, interval] (by default
// a click never repeats); the service worker stays out unless serviceWorker
// is true. With a folder DOWNLOADS, the result's downloaded(NAME) waits for
// a download (see keepDownloads).
async function openPage(browser, url, {manualTicks = true, beforeStart = '', downloads,
  viewport = {width: 1000, height: 900}, keyRepeat = [1e9, 1e9], threads = 0, serviceWorker = false} = {}) {
  const page = await browser.newPage();
  await page.setViewport(viewport);
  const errors = [];
  page.on('pageerror', error => errors.push(error.message));
  const downloaded = downloads ? await keepDownloads(page, downloads) : null;
  await page.evaluateOnNewDocument(`window.veltrixOptions = {
    manualTicks: ${manualTicks},
    beforeStart: FS => { ${beforeStart} },
    keyRepeat: ${JSON.stringify(keyRepeat)},
    threads: ${threads},
    serviceWorker: ${serviceWorker},
  };`);
  await page.goto(url);
  return {page, errors, downloaded};
}

function engineLog(page) {
  return page.evaluate(() => document.getElementById('log').textContent);
}

async function waitForLog(page, last) {
  await page.waitForFunction(text => document.getElementById('log').textContent.endsWith(text + '\n'),
    {timeout: 20000}, last);
}

// Posts one timer message and waits until its frame is on the canvas.
async function tick(page) {
  await page.evaluate(() => veltrixPage.tick());
}

const keyNames = {esc: 'Escape', end: 'End', home: 'Home', left: 'ArrowLeft', up: 'ArrowUp', right: 'ArrowRight',
  down: 'ArrowDown', ins: 'Insert', del: 'Delete', f12: 'F12', pgup: 'PageUp', pgdn: 'PageDown', f: 'f', t: 't',
  '+': '+', '-': '-', 'kp+': 'NumpadAdd', 'kp-': 'NumpadSubtract', p: 'p', r: 'r', e: 'e', c: 'c', back: 'Backspace', f9: 'F9'};

// Plays a replay script's steps in the page: keys as real key presses, mouse
// offsets as motion of the pointer locked by a click, ticks one by one.
// Drops a file of that name and content on the page, as a user's drag and
// drop does, and waits until the page has handed it to the program.
async function drop(page, name, content) {
  await page.evaluate(async (name, content) => {
    const transfer = new DataTransfer();
    transfer.items.add(new File([Uint8Array.from(content)], name));
    document.dispatchEvent(new DragEvent('drop', {dataTransfer: transfer, bubbles: true, cancelable: true}));
    while (!veltrixPage.readFile('/drop/' + name))
      await new Promise(resolve => setTimeout(resolve, 10));
  }, name, Array.from(content));
}

// Plays a replay script on the page; `drop NAME` drops files[NAME]. Keys
// reach the program from the picture only: it takes the focus first.
async function play(page, script, files = {}) {
  let mouse = null;
  await page.focus('#canvas');
  for (const line of script.split('\n').map(l => l.trim()).filter(l => l && !l.startsWith('#'))) {
    const [kind, a, b] = line.split(/\s+/);
    if (kind === 'tick') {
      for (let i = 0; i < Number(a || 1); i++)
        await tick(page);
    } else if (kind === 'key') {
      for (let i = 0; i < Number(b || 1); i++)
        await page.keyboard.press(keyNames[a]);
    } else if (kind === 'drop') {
      await drop(page, a, files[a]);
    } else if (kind === 'mouse') {
      if (!mouse) {
        // The pointer reaches the canvas before it is locked: that motion is not looked with.
        const box = await (await page.$('#canvas')).boundingBox();
        mouse = {x: Math.round(box.x + box.width / 2), y: Math.round(box.y + box.height / 2)};
        await page.mouse.click(mouse.x, mouse.y);
        await page.waitForFunction(() => document.pointerLockElement === document.getElementById('canvas'));
      }
      mouse = {x: mouse.x + Number(a), y: mouse.y + Number(b)};
      await page.mouse.move(mouse.x, mouse.y);
    }
  }
}

// The canvas as 0x00RRGGBB words, top row first.
async function canvasFrame(page) {
  const rgba = await page.evaluate(() => {
    const canvas = document.getElementById('canvas');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    return Array.from(data);
  });
  const frame = new Uint32Array(rgba.length / 4);
  for (let i = 0; i < frame.length; i++)
    frame[i] = (rgba[4 * i] << 16) | (rgba[4 * i + 1] << 8) | rgba[4 * i + 2];
  return frame;
}

// A 24-bit BMP as {width, height, frame} with 0x00RRGGBB words, top row first.
function readBmp(bytes) {
  const offset = bytes.readUInt32LE(10);
  const width = bytes.readInt32LE(18);
  const rawHeight = bytes.readInt32LE(22);
  const height = Math.abs(rawHeight);
  const stride = (width * 3 + 3) & ~3;
  const frame = new Uint32Array(width * height);
  for (let y = 0; y < height; y++) {
    const row = offset + (rawHeight > 0 ? height - 1 - y : y) * stride;
    for (let x = 0; x < width; x++) {
      const p = row + 3 * x;
      frame[y * width + x] = (bytes[p + 2] << 16) | (bytes[p + 1] << 8) | bytes[p];
    }
  }
  return {width, height, frame};
}

// Runs veltrix-replay on a copy of data/ with `script`; `lastTickShot` puts F12
// before the script's last line (a single tick), so the screenshot is the
// frame that tick draws; `files` are written beside the data first; `touch`
// draws as on a touch screen. Returns {log, exitCode, screenshot, graph}
// (the files' bytes, or null).
function replayRun(script, {removeFiles = [], lastTickShot = true, files = {}, touch = false} = {}) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'veltrix-replay-'));
  fs.cpSync(path.join(root, 'data'), dir, {recursive: true});
  for (const [name, content] of Object.entries(files))
    fs.writeFileSync(path.join(dir, name), content);
  for (const file of removeFiles)
    fs.rmSync(path.join(dir, file));
  let text = script;
  if (lastTickShot) {
    const lines = script.trim().split('\n');
    lines.splice(lines.length - 1, 0, 'key f12');
    text = lines.join('\n') + '\n';
  }
  fs.writeFileSync(path.join(dir, 'script.txt'), text);
  let exitCode = 0;
  try {
    execFileSync(replay, [...(touch ? ['--touch'] : []), 'script.txt'], {cwd: dir, stdio: 'pipe'});
  } catch (error) {
    exitCode = error.status;
  }
  const shot = path.join(dir, 'Screenshot 0.bmp');
  const graph = path.join(dir, 'Graph.txt');
  const result = {
    graph: fs.existsSync(graph) ? fs.readFileSync(graph) : null,
    log: fs.readFileSync(path.join(dir, 'Engine.log'), 'utf8'),
    exitCode,
    screenshot: fs.existsSync(shot) ? fs.readFileSync(shot) : null,
  };
  fs.rmSync(dir, {recursive: true, force: true});
  return result;
}

// Every start of the page presses F once start-up is done (the page opens on
// the world framed): a replay of what the page did starts with it.
const opened = 'key f\n';

// The first differing pixel as text, or '' when the frames are equal.
function firstDifference(a, b, width) {
  if (a.length !== b.length)
    return `sizes differ: ${a.length} and ${b.length} pixels`;
  let count = 0;
  let first = -1;
  for (let i = 0; i < a.length; i++) {
    if (a[i] !== b[i]) {
      count++;
      if (first < 0)
        first = i;
    }
  }
  if (!count)
    return '';
  const hex = v => v.toString(16).padStart(6, '0');
  return `${count} pixels differ, first at (${first % width}, ${Math.floor(first / width)}): ` +
    `${hex(a[first])} against ${hex(b[first])}`;
}

// Asserts that the page's canvas equals veltrix-replay's frame for SCRIPT
// (whose last line is a tick; files go beside the data), drawn as on a touch
// screen when the page is on one, and returns the replay's result for
// further checks.
async function assertFrameAsReplay(page, script, {files = {}} = {}) {
  const touch = await page.evaluate(() => window.veltrixPage.touchScreen);
  const reference = replayRun(script, {files, touch});
  assert.ok(reference.screenshot, 'the replay runner wrote no screenshot');
  const expected = readBmp(reference.screenshot);
  const difference = firstDifference(await canvasFrame(page), expected.frame, expected.width);
  assert.strictEqual(difference, '', `after:\n${script}`);
  return reference;
}

// Starts the page's server and Chromium before a test file's tests and stops
// them after: the record returned holds both once they have started.
function browserSuite() {
  const {before, after} = require('node:test');
  const suite = {server: null, chromium: null};
  before(async () => {
    suite.server = await serve();
    suite.chromium = await launch();
  });
  after(async () => {
    await suite.chromium.close();
    await suite.server.close();
  });
  return suite;
}

module.exports = {assertFrameAsReplay, browserSuite, opened, root, pageDir, serve, launch, openPage, engineLog, waitForLog, tick, drop, play, canvasFrame, readBmp,
  replayRun, firstDifference};
