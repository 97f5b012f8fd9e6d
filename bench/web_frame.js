// node bench/web_frame.js [BATCHES] [ROUNDS] [SCENES]: the frame tick of the
// benchmark scenes (those whose name SCENES, a regular expression, finds; all
// of S1-S3 and U1-U5 unless given) in Chromium (the web build in build-web/,
// headless) against build/bin/bench-frame, with one thread and with two (the
// page cross-origin isolated, so that it runs the threaded build), in ROUNDS
// rounds (default 3) that take the four in turn, and the page's download size.
// Needs the packages of tests/web (npm ci there) and both builds.
//
// In the page each scene is set up with its replay script, then batches of
// timer messages are timed, each from posting the message to its frame being
// on the canvas (the present into the canvas included). Each side reports the
// fastest batch (or repetition) and the median one, in milliseconds a frame:
// on a machine shared with other work the fastest is the steadier number.
// S2's auto-iteration is stopped once the scene stands, so every timed frame
// draws the same board; bench-frame puts the board back before each frame
// instead, so its S2 frames also compute one generation. U5 keeps running on
// both sides, a generation every frame. The universe scenes' Life.ini and
// Rules.ini come from `bench-frame --write-scene`; their Ins, F and PgDn
// presses are posted as key messages, as the page's buttons post them.
//
// node bench/web_frame.js --page [ROUNDS] [SCENES] [OTHER_PAGE_DIR]: the
// page's own animation (requestAnimationFrame callbacks a second) and the
// program's frames a second while the page ticks it back to back, on each
// scene (default S1-S4 and U1-U3), isolated (with the threads the page
// picks for this machine, and with 2 asked for) and not, at full
// speed and with the CPU slowed 4x (Chromium's CPU throttling), the builds
// and modes taken in turn in each round;
// with OTHER_PAGE_DIR (another build's page, say the page before a change)
// that page is measured in the same rounds. Prints medians over the rounds.
'use strict';

const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const zlib = require('node:zlib');
const {execFileSync} = require('node:child_process');
const h = require('../tests/web/harness.js');

// Both sides time BATCHES (default 15) batches of frames lasting about 0.1 s each.
// In --page mode BATCHES is not taken: the other arguments keep their places.
const pageMode = process.argv[2] === '--page';
const batches = pageMode ? 0 : Number(process.argv[2] || 15);
const rounds = Number(process.argv[3] || 3);
const chosen = new RegExp(process.argv[4] || (pageMode ? '^(S[1-4]|U[1-3])_' : '.'));
const otherPage = pageMode ? process.argv[5] : undefined;
const batchMilliseconds = 100;
const benchFrame = path.join(h.root, 'build/bin/bench-frame');
const scenes = [
  {name: 'S1_start', script: 's1.txt'},
  {name: 'S2_soup', script: 's2.txt', after: 'key del'},
  {name: 'S3_full', script: 's3.txt'},
  {name: 'S4_grazing', script: 's4.txt', pageOnly: true},
  {name: 'U1_gun', script: 'u1.txt'},
  {name: 'U2_acorn', script: 'u2.txt'},
  {name: 'U3_soup', script: 'u3.txt'},
  {name: 'U4_low', script: 'u4.txt'},
  {name: 'U5_running', script: 'u5.txt'},
].filter(scene => chosen.test(scene.name) && (pageMode || !scene.pageOnly));
const sceneDir = path.join(h.root, 'bench/scenes');

// The scene's Life.ini and Rules.ini as bench-frame writes them (none where
// the scene keeps the bundled ones).
function sceneFiles(scene) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'veltrix-scene-'));
  try {
    execFileSync(benchFrame, ['--write-scene', scene.name, dir]);
    const files = {};
    for (const name of ['Life.ini', 'Rules.ini']) {
      if (fs.existsSync(path.join(dir, name)))
        files[name] = fs.readFileSync(path.join(dir, name), 'utf8');
    }
    return files;
  } finally {
    fs.rmSync(dir, {recursive: true, force: true});
  }
}

// Keys posted to the program as key messages, as the page's buttons post
// them: thousands of real Ins presses would take minutes, and the camera's
// letters and page keys are not among the test harness's names.
const postedKeys = {ins: 'Insert', f: 'f', t: 't', pgup: 'PageUp', pgdn: 'PageDown'};

// Plays the script as h.play does, but for the keys above: their presses go to
// the program as key messages, as many as its queue takes at a time.
async function playScript(page, script) {
  let rest = [];
  const flush = async () => {
    await h.play(page, rest.join('\n'));
    rest = [];
  };
  for (const line of script.split('\n')) {
    const [kind, name, count] = line.trim().split(/\s+/);
    if (kind !== 'key' || !Object.hasOwn(postedKeys, name)) {
      rest.push(line);
      continue;
    }
    await flush();
    await page.evaluate(async (count, key) => {
      for (let posted = 0; posted < count;) {
        if (veltrixPage.postKey(key))
          posted++;
        else
          await new Promise(resolve => setTimeout(resolve, 0));
      }
    }, Number(count || 1), postedKeys[name]);
  }
  await flush();
}

function summary(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return {min: sorted[0], median: sorted[Math.floor(sorted.length / 2)]};
}

// Opens the page on SCENE, set up and ready to time; THREADS 0 leaves the
// count to the page.
async function scenePage(browser, url, threads, scene) {
  const writes = Object.entries(sceneFiles(scene))
    .map(([name, text]) => `FS.writeFile(${JSON.stringify(name)}, ${JSON.stringify(text)});`);
  const {page} = await h.openPage(browser, url, {threads, beforeStart: writes.join('\n')});
  if (threads && (await page.evaluate(() => veltrixPage.threads())) !== threads)
    throw new Error(`the page did not take ${threads} threads`);
  await h.waitForLog(page, 'Rendering !');
  await playScript(page, fs.readFileSync(path.join(sceneDir, scene.script), 'utf8') + (scene.after || ''));
  return page;
}

async function browserTimes(browser, url, threads) {
  const times = {};
  for (const scene of scenes) {
    const page = await scenePage(browser, url, threads, scene);
    const samples = await page.evaluate(async (count, length) => {
      const result = [];
      for (let batch = 0; batch <= count; batch++) {
        const start = performance.now();
        let frames = 0;
        while (performance.now() - start < length) {
          await veltrixPage.tick();
          frames++;
        }
        result.push((performance.now() - start) / frames);
      }
      return result.slice(1); // the first batch warms up
    }, batches, batchMilliseconds);
    times[scene.name] = summary(samples);
    await page.close();
  }
  return times;
}

function nativeTimes(threads) {
  const out = execFileSync(benchFrame, ['--threads', String(threads),
    `--benchmark_filter=BM_Frame/(${scenes.map(scene => scene.name).join('|')})(/|$)`,
    `--benchmark_repetitions=${batches}`,
    `--benchmark_min_time=${batchMilliseconds / 1000}`,
    '--benchmark_format=json'], {stdio: ['ignore', 'pipe', 'ignore'], maxBuffer: 1 << 26});
  const runs = {};
  // A counter that is 0 in every repetition has a NaN spread, which is not JSON.
  for (const run of JSON.parse(out.toString().replace(/\bNaN\b/g, 'null')).benchmarks) {
    if (run.run_type === 'iteration')
      (runs[run.run_name.split('/')[1]] ||= []).push(run.real_time);
  }
  const times = {};
  for (const name of Object.keys(runs))
    times[name] = summary(runs[name]);
  return times;
}

// Slows the page's CPU RATE times (1: full speed) for as long as SESSION,
// the page's, stays open. Chromium takes this for a page only, and it slows
// the page's workers too (the program's frames come 4 to 9 times fewer at 4x).
async function throttle(session, rate) {
  await session.send('Emulation.setCPUThrottlingRate', {rate});
}

// The page's requestAnimationFrame callbacks and the program's frames, each
// a second, over 2 s of ticks posted back to back.
function pageRates(page) {
  return page.evaluate(async () => {
    let drawing = true;
    let frames = 0;
    const ticking = (async () => {
      while (drawing) {
        await veltrixPage.tick();
        frames++;
      }
    })();
    await veltrixPage.tick();
    frames = 0;
    const start = performance.now();
    let callbacks = 0;
    const seconds = await new Promise(resolve => {
      const step = now => {
        callbacks++;
        if (now - start < 2000)
          requestAnimationFrame(step);
        else
          resolve((now - start) / 1000);
      };
      requestAnimationFrame(step);
    });
    const drawn = frames;
    drawing = false;
    await ticking;
    return {page: callbacks / seconds, program: drawn / seconds};
  });
}

async function pageFigures() {
  const pages = [{name: 'this', dir: h.pageDir}];
  if (otherPage)
    pages.push({name: 'other', dir: path.resolve(otherPage)});
  for (const build of pages) {
    build.isolated = await h.serve({isolated: true, dir: build.dir});
    build.plain = await h.serve({dir: build.dir});
  }
  const chromium = await h.launch();
  const figures = {}; // "scene build mode rate" -> [{page, program}]
  try {
    for (let round = 0; round < rounds; round++) {
      for (const scene of scenes) {
        for (const build of pages) {
          // Each round starts with another mode: the first page after a
          // scene change pays for the last one's going.
          const modes = [['isolated', 'isolated', 0], ['isolated-2', 'isolated', 2], ['plain', 'plain', 1]];
          for (const [mode, server, threads] of [...modes.slice(round % 3), ...modes.slice(0, round % 3)]) {
            const page = await scenePage(chromium.browser, build[server].url, threads, scene);
            const rates = round % 2 ? [4, 1] : [1, 4];
            const session = await page.createCDPSession();
            for (const rate of rates) {
              await throttle(session, rate);
              (figures[`${scene.name} ${build.name} ${mode} ${rate}x`] ||= []).push(await pageRates(page));
            }
            await page.close();
          }
        }
      }
    }
  } finally {
    await chromium.close();
    for (const build of pages) {
      await build.isolated.close();
      await build.plain.close();
    }
  }
  const median = values => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
  console.log('median over rounds, a second      page (rAF)   program (frames)');
  for (const [key, runs] of Object.entries(figures)) {
    console.log(`${key.padEnd(32)} ${median(runs.map(r => r.page)).toFixed(1).padStart(10)} ` +
      `${median(runs.map(r => r.program)).toFixed(1).padStart(18)}`);
  }
}

(async () => {
  if (pageMode) {
    await pageFigures();
    return;
  }
  const server = await h.serve({isolated: true});
  const chromium = await h.launch();
  const results = [];
  try {
    for (let round = 0; round < rounds; round++) {
      for (const threads of [1, 2]) {
        const web = await browserTimes(chromium.browser, server.url, threads);
        results.push({round, threads, web, native: nativeTimes(threads)});
      }
    }
  } finally {
    await chromium.close();
    await server.close();
  }
  const both = t => `${t.min.toFixed(2).padStart(7)} (${t.median.toFixed(2).padStart(6)})`;
  console.log('ms a frame           browser fastest (median)   native fastest (median)   ratio of fastest');
  for (const {round, threads, web, native} of results) {
    for (const scene of scenes) {
      const b = web[scene.name];
      const n = native[scene.name];
      const label = `${scene.name} ${threads}t r${round + 1}`;
      console.log(`${label.padEnd(20)} ${both(b).padStart(26)} ${both(n).padStart(25)} ` +
        `${(b.min / n.min).toFixed(2).padStart(18)}`);
    }
  }
  const pageDir = path.join(h.root, 'build-web/bin');
  let total = 0;
  let packed = 0;
  for (const name of fs.readdirSync(pageDir).sort()) {
    const file = path.join(pageDir, name);
    if (!fs.statSync(file).isFile())
      continue;
    const bytes = fs.readFileSync(file);
    const gz = zlib.gzipSync(bytes, {level: 9}).length;
    total += bytes.length;
    packed += gz;
    console.log(`${name.padEnd(22)} ${String(bytes.length).padStart(8)} bytes, ${String(gz).padStart(7)} gzipped`);
  }
  console.log(`${'page (both builds)'.padEnd(22)} ${String(total).padStart(8)} bytes, ${String(packed).padStart(7)} gzipped`);
})().catch(error => {
  console.error(error);
  process.exit(1);
});
