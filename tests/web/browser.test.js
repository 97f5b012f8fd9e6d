// The web build in a real browser (Debian's Chromium, headless): start-up,
// frames against the replay runner's, downloads, a failed start and a
// second start. The page runs with manual ticks, so every frame is one the
// test asked for.
'use strict';

const {test} = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const h = require('./harness.js');

// The page's server and Chromium, started before this file's tests.
const suite = h.browserSuite();

async function startedPage(options) {
  const opened = await h.openPage(suite.chromium.browser, suite.server.url, options);
  await h.waitForLog(opened.page, 'Rendering !');
  return opened;
}


test('start-up writes the desktop log and shows the start frame', async () => {
  const {page, errors} = await startedPage();
  await h.tick(page);
  assert.strictEqual(await h.engineLog(page), h.replayRun('tick').log);
  await h.assertFrameAsReplay(page, h.opened + 'tick');
  assert.deepStrictEqual(errors, []);
  await page.close();
});

// The choice is remembered: the page is left smooth, as the other cases expect.
test('with sharp pixels the canvas is scaled by whole pixels where the window has room, else shrunk, 4 : 3', async () => {
  const {page, errors} = await startedPage();
  await page.click('#smooth');
  for (const [width, height, expected] of [[1000, 900, '640px 480px'], [1400, 1150, '1280px 960px'],
    [600, 740, '600px 450px']]) {
    await page.setViewport({width, height});
    await page.waitForFunction(size => {
      const style = document.getElementById('canvas').style;
      return `${style.width} ${style.height}` === size;
    }, {timeout: 20000}, expected);
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
    const coalesced = veltrixPage.framesShown() - before;
    // The program takes its messages in order: a frame still to come for
    // the five would be drawn before the next timer message's.
    await veltrixPage.tick();
    return [coalesced, veltrixPage.framesShown() - before];
  });
  assert.deepStrictEqual(drawn, [1, 2], 'five timer messages posted before the program ran should draw one frame');
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
    await h.assertFrameAsReplay(page, h.opened + script);
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
    const reference = h.replayRun(h.opened + script, {files});
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
    const {page, downloaded} = await startedPage({downloads});
    const script = 'key down 20\nkey ins 3\ntick\nkey f12\nkey home\ntick';
    await h.play(page, script);
    const shot = await downloaded('Screenshot 0.bmp');
    const graph = await downloaded('Graph.txt');
    const reference = h.replayRun(h.opened + script, {lastTickShot: false});
    assert.ok(reference.screenshot.equals(fs.readFileSync(shot)), 'the screenshot differs from the replay runner\'s');
    assert.ok(reference.graph.equals(fs.readFileSync(graph)), 'Graph.txt differs from the replay runner\'s');
    const expected = h.readBmp(reference.screenshot);
    assert.strictEqual(h.firstDifference(await h.canvasFrame(page), expected.frame, expected.width), '');
    await page.close();
  } finally {
    fs.rmSync(downloads, {recursive: true, force: true});
  }
});

// A WebM file as {docType, codec, width, height, duration, blocks: [{time,
// key, data}], seeks: [{id, at}], cues: [{time, at}], elementAt(at)} (times
// in the file's unit, positions from the segment's body), read element by
// element: each must have a known length and end within its parent.
function readWebm(bytes) {
  const masters = new Set([0x1A45DFA3, 0x18538067, 0x1549A966, 0x1654AE6B, 0xAE, 0xE0, 0x1F43B675, 0x114D9B74,
    0x4DBB, 0x1C53BB6B, 0xBB, 0xB7]);
  const file = {blocks: [], seeks: [], cues: []};
  let segment = 0;
  let clusterTime = 0;
  const hex = value => value.toString(16).toUpperCase();
  // A variable-length number: its length is one more than its first byte's
  // leading zero bits; an ID keeps that marker bit, a length does not.
  const vint = (at, isId) => {
    let length = 1;
    while (length <= 8 && !(bytes[at] & (0x100 >> length)))
      length++;
    assert.ok(length <= (isId ? 4 : 8), `no variable-length number at byte ${at}`);
    let value = isId ? bytes[at] : bytes[at] & ((0x100 >> length) - 1);
    for (let i = 1; i < length; i++)
      value = value * 256 + bytes[at + i];
    return {value, length};
  };
  const unsigned = body => body.reduce((value, byte) => value * 256 + byte, 0);
  const leaf = (id, body) => {
    if (id === 0x4282)
      file.docType = body.toString();
    else if (id === 0x86)
      file.codec = body.toString();
    else if (id === 0xB0)
      file.width = unsigned(body);
    else if (id === 0xBA)
      file.height = unsigned(body);
    else if (id === 0x2AD7B1)
      file.timeScale = unsigned(body);
    else if (id === 0x4489)
      file.duration = body.length === 4 ? body.readFloatBE(0) : body.readDoubleBE(0);
    else if (id === 0xE7)
      clusterTime = unsigned(body);
    else if (id === 0x53AB)
      file.seeks.push({id: unsigned(body)});
    else if (id === 0x53AC)
      file.seeks[file.seeks.length - 1].at = unsigned(body);
    else if (id === 0xB3)
      file.cues.push({time: unsigned(body)});
    else if (id === 0xF1)
      file.cues[file.cues.length - 1].at = unsigned(body);
    else if (id === 0xA3) {
      assert.strictEqual(body[0], 0x81, 'a block of track 1');
      file.blocks.push({time: clusterTime + body.readInt16BE(1), key: !!(body[3] & 0x80), data: body.subarray(4)});
    }
  };
  const walk = (start, end) => {
    for (let at = start; at < end;) {
      const id = vint(at, true);
      const size = vint(at + id.length, false);
      const body = at + id.length + size.length;
      assert.notStrictEqual(size.value, 2 ** (7 * size.length) - 1, `element ${hex(id.value)} of unknown length`);
      assert.ok(body + size.value <= end, `element ${hex(id.value)} at byte ${at} runs past its parent`);
      if (id.value === 0x18538067)
        segment = body;
      if (masters.has(id.value))
        walk(body, body + size.value);
      else
        leaf(id.value, bytes.subarray(body, body + size.value));
      at = body + size.value;
    }
  };
  walk(0, bytes.length);
  file.elementAt = at => vint(segment + at, true).value;
  return file;
}

// Decodes BLOCKS of a recording in the page and measures its first and last
// frames against the pictures kept as NAME's first and last: the mean
// difference of a colour channel, 0 to 255.
async function decodedAgainstShown(page, name, codec, blocks) {
  return page.evaluate(async (name, codec, blocks) => {
    let first = null;
    let last = null;
    let decoded = 0;
    let failure = '';
    const decoder = new VideoDecoder({
      output: frame => {
        const picture = new OffscreenCanvas(frame.displayWidth, frame.displayHeight).getContext('2d');
        picture.drawImage(frame, 0, 0);
        frame.close();
        last = picture.getImageData(0, 0, picture.canvas.width, picture.canvas.height).data;
        first = first || last;
        decoded++;
      },
      error: error => {
        failure = error.message;
      },
    });
    decoder.configure({codec: codec === 'V_VP9' ? 'vp09.00.10.08' : 'vp8'});
    for (const {time, key, data} of blocks) {
      decoder.decode(new EncodedVideoChunk({type: key ? 'key' : 'delta', timestamp: time * 1000,
        data: Uint8Array.from(atob(data), c => c.charCodeAt(0))}));
    }
    await decoder.flush();
    const difference = (a, b) => {
      let sum = 0;
      for (let i = 0; i < a.length; i += 4)
        sum += Math.abs(a[i] - b[i]) + Math.abs(a[i + 1] - b[i + 1]) + Math.abs(a[i + 2] - b[i + 2]);
      return sum / (a.length * 0.75);
    };
    const kept = window.keptPictures;
    return {decoded, failure, firstToFirst: difference(first, kept[name].first), firstToLast:
      difference(first, kept[name].last), lastToLast: difference(last, kept[name].last),
    lastToFirst: difference(last, kept[name].first)};
  }, name, codec, blocks.map(({time, key, data}) => ({time, key, data: Buffer.from(data).toString('base64')})));
}

// The recorder takes the frames shown from when the button is pressed.
const recordingStarted = page =>
  page.waitForFunction(() => document.getElementById('record').getAttribute('aria-pressed') === 'true');

// F9 records every frame the page shows with the browser's encoder; F9
// again offers the video as a WebM file beside the screenshots, and the
// button does the same. A recording without a frame is no file.
test('F9 and the Record button each give a WebM download holding every frame shown', async () => {
  const downloads = fs.mkdtempSync(path.join(os.tmpdir(), 'veltrix-downloads-'));
  try {
    const {page, errors, downloaded} = await startedPage({downloads});
    const pressed = () => page.$eval('#record', e => e.getAttribute('aria-pressed'));
    const said = () => page.$eval('#status', e => e.textContent);
    await h.play(page, 'key down 20\nkey del\ntick\nkey f9\nkey f9');
    await page.waitForFunction(() => /^Nothing was recorded/.test(document.getElementById('status').textContent));
    assert.strictEqual(await page.$$eval('#downloads a', links => links.length), 0);

    const keep = (name, which) => page.evaluate((name, which) => {
      const canvas = document.getElementById('canvas');
      const kept = window.keptPictures = window.keptPictures || {};
      kept[name] = kept[name] || {};
      kept[name][which] = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    }, name, which);
    // The camera turns on every tick: no two frames are alike.
    const record = async (name, startOrStop, ticks) => {
      await startOrStop();
      await recordingStarted(page);
      for (let i = 0; i < ticks; i++) {
        await h.play(page, 'key left\ntick');
        if (!i)
          await keep(name, 'first');
      }
      await keep(name, 'last');
      await startOrStop();
      assert.strictEqual(await pressed(), 'false', name);
    };
    await record('Recording 0.webm', () => page.keyboard.press('F9'), 25);
    await record('Recording 1.webm', () => page.click('#record'), 10);

    for (const [name, ticks] of [['Recording 0.webm', 25], ['Recording 1.webm', 10]]) {
      const video = fs.readFileSync(await downloaded(name));
      assert.ok(video.subarray(0, 4).equals(Buffer.from([0x1a, 0x45, 0xdf, 0xa3])), `${name}: an EBML header`);
      const webm = readWebm(video);
      assert.deepStrictEqual([webm.docType, webm.width, webm.height, webm.timeScale], ['webm', 640, 480, 1e6], name);
      assert.match(webm.codec, /^V_VP[89]$/, name);
      assert.strictEqual(webm.blocks.length, ticks, `${name}: a frame for every tick`);
      assert.ok(webm.blocks[0].key, `${name} starts on a key frame`);
      assert.ok(webm.blocks.every((b, i) => !i || b.time > webm.blocks[i - 1].time), `${name}: times in order`);
      assert.ok(webm.duration > webm.blocks[ticks - 1].time, `${name}: ${webm.duration} ms long`);
      // A player seeks without reading the file through: the seek head
      // finds the info, the tracks and the cues, a cue each key frame's cluster.
      assert.deepStrictEqual(webm.seeks.map(seek => webm.elementAt(seek.at)), webm.seeks.map(seek => seek.id), name);
      assert.deepStrictEqual(webm.seeks.map(seek => seek.id), [0x1549A966, 0x1654AE6B, 0x1C53BB6B], name);
      assert.deepStrictEqual(webm.cues.map(cue => cue.time), webm.blocks.filter(b => b.key).map(b => b.time), name);
      assert.ok(webm.cues.every(cue => webm.elementAt(cue.at) === 0x1F43B675), `${name}: cues at clusters`);
      // Lossy, but each end nearer the picture shown there than the other end is.
      const measured = await decodedAgainstShown(page, name, webm.codec, webm.blocks);
      const text = `${name}: ${JSON.stringify(measured)}`;
      assert.deepStrictEqual([measured.decoded, measured.failure], [ticks, ''], text);
      assert.ok(measured.firstToFirst < 2 && measured.lastToLast < 2, text);
      assert.ok(measured.firstToFirst < measured.firstToLast && measured.lastToLast < measured.lastToFirst, text);
      // The browser's own player takes the file, as long as it says it is.
      const played = await page.evaluate(async name => {
        const video = document.createElement('video');
        const loaded = new Promise((resolve, reject) => {
          video.onloadedmetadata = resolve;
          video.onerror = () => reject(new Error(video.error.message));
        });
        video.src = [...document.querySelectorAll('#downloads a')].find(link => link.download === name).href;
        await loaded;
        return [video.videoWidth, video.videoHeight, video.duration];
      }, name);
      assert.deepStrictEqual(played, [640, 480, webm.duration / 1000], name);
    }
    assert.strictEqual(await said(), 'Saved Recording 1.webm.');
    // The program never saw F9: no frame was drawn for it and nothing was said.
    assert.doesNotMatch(await h.engineLog(page), /[Rr]ecord/);
    assert.deepStrictEqual(errors, []);
    await page.close();
  } finally {
    fs.rmSync(downloads, {recursive: true, force: true});
  }
});

// The page's encoder stood in for, so that it falls behind or breaks on
// cue: encodeQueueSize is what it holds, and it hands the frames back only
// when flushed; 'failing' flushes after every frame and breaks at the sixth. Each frame comes back
// as one byte, every tenth as a key frame too; window.timesTaken keeps the
// frames' times in milliseconds.
function standInEncoder(kind) {
  window.timesTaken = [];
  window.VideoEncoder = class {
    constructor({output, error}) {
      Object.assign(this, {output, error, state: 'unconfigured', held: []});
    }
    configure() {
      this.state = 'configured';
    }
    get encodeQueueSize() {
      return this.held.length;
    }
    encode(frame, {keyFrame}) {
      if (kind === 'failing' && timesTaken.length === 5) {
        this.state = 'closed';
        queueMicrotask(() => this.error(new DOMException('the stand-in broke', 'EncodingError')));
        return;
      }
      const key = keyFrame || timesTaken.length % 10 === 0;
      timesTaken.push(frame.timestamp / 1000);
      this.held.push({type: key ? 'key' : 'delta', timestamp: frame.timestamp, byteLength: 1,
        copyTo: data => data.set([0x42])});
      if (kind === 'failing')
        this.flush();
    }
    async flush() {
      if (this.state !== 'configured')
        throw new DOMException('closed', 'InvalidStateError');
      // As an encoder's, the answer comes in a later task.
      await new Promise(resolve => setTimeout(resolve));
      for (const chunk of this.held.splice(0))
        this.output(chunk);
    }
    close() {
      this.state = 'closed';
    }
  };
}

// The page holds at most 50 frames waiting for the encoder.
test('an encoder that falls behind or fails: the recording keeps what it was given and says what it lost', async () => {
  for (const [kind, ticks, frames, message] of [
    ['behind', 60, 50, /^Saved Recording 0\.webm; 10 frames were left out/],
    ['failing', 8, 5, /^Recording 0\.webm stopped early: the encoder failed \(the stand-in broke\)/]]) {
    const downloads = fs.mkdtempSync(path.join(os.tmpdir(), 'veltrix-downloads-'));
    try {
      const {page, errors, downloaded} = await startedPage({downloads});
      await page.evaluate(standInEncoder, kind);
      await h.play(page, 'key del\ntick\nkey f9');
      await recordingStarted(page);
      await h.play(page, `tick ${ticks}`);
      // A broken encoder has ended the recording by itself.
      if (kind === 'behind')
        await page.keyboard.press('F9');
      await page.waitForFunction(() => !/^Recording:/.test(document.getElementById('status').textContent));
      assert.match(await page.$eval('#status', e => e.textContent), message);
      const webm = readWebm(fs.readFileSync(await downloaded('Recording 0.webm')));
      // Blocks of several clusters, at the times the frames were given.
      assert.deepStrictEqual(webm.blocks.map(b => b.time), await page.evaluate(() => timesTaken), kind);
      assert.strictEqual(webm.blocks.length, frames, kind);
      assert.ok(webm.blocks.every((b, i) => b.key || i % 10), `${kind}: every tenth a key frame`);
      assert.ok(webm.blocks.every((b, i) => b.data.equals(Buffer.from([0x42])) && (!i || b.time > webm.blocks[i - 1].time)),
        kind);
      assert.strictEqual(await page.$eval('#record', e => e.getAttribute('aria-pressed')), 'false', kind);
      assert.deepStrictEqual(errors, []);
      await page.close();
    } finally {
      fs.rmSync(downloads, {recursive: true, force: true});
    }
  }
});

test('without Cells/Cell.3ds start-up stops at the desktop\'s line and reason, and the page says so', async () => {
  const {page, errors} = await h.openPage(suite.chromium.browser, suite.server.url,
    {beforeStart: "FS.unlink('Cells/Cell.3ds');"});
  await page.waitForFunction(() => !document.getElementById('again').hidden, {timeout: 20000});
  const reference = h.replayRun('tick', {removeFiles: ['Cells/Cell.3ds'], lastTickShot: false});
  assert.strictEqual(await h.engineLog(page), reference.log);
  assert.match(reference.log, /Loading world \.\.\n {4}Cells\\Cell\.3ds: cannot be opened \(No such file or directory\)\n$/);
  assert.match(await page.$eval('#status', e => e.textContent), /start-up/);
  assert.deepStrictEqual(errors, []);
  await page.close();
});

// The model is gone for the first start only: Start again starts anew.
test('after a start that failed, Start again shows the first frame', async () => {
  const {page, errors} = await h.openPage(suite.chromium.browser, suite.server.url, {beforeStart:
    "const away = FS.analyzePath('Cells/Cell.bak').exists; FS.rename(away ? 'Cells/Cell.bak' : 'Cells/Cell.3ds', " +
    "away ? 'Cells/Cell.3ds' : 'Cells/Cell.bak');"});
  await page.waitForFunction(() => !document.getElementById('again').hidden, {timeout: 20000});
  await page.click('#again');
  await h.waitForLog(page, 'Rendering !');
  await page.evaluate(() => veltrixPage.whenSettled());
  await h.tick(page);
  await h.assertFrameAsReplay(page, h.opened + 'tick');
  assert.deepStrictEqual(errors, []);
  await page.close();
});
