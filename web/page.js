// The page around the program. The program runs in a worker of its own
// (worker.js), on the bundled data in its in-memory folder /veltrix, so the
// page never waits for a frame: this module starts it, shows each frame it
// sends on the canvas, takes the pointer for mouse look, keeps the files it
// writes (Engine.log shown, screenshots and Graph.txt offered as downloads)
// and the figures of its last frame. The page's other modules reach the
// program through what this one exports, which posts the very messages the
// keyboard and the mouse post.
//
// window.veltrixOptions, when set before the page's modules run (the browser
// tests do), can hold manualTicks (no timer: the caller posts every tick with
// tick()), beforeStart(FS), run in the worker before each start (so written
// without reference to anything around it), keyRepeat (see controls.js),
// threads (how many threads a cross-origin isolated page draws with, instead
// of one per processor) and serviceWorker (see install.js).

import {offerDownload} from './downloads.js';
import {offerPicture, touchScreen} from './touch.js';

const folder = '/veltrix';
export const options = window.veltrixOptions || {};
const canvas = document.getElementById('canvas');
const pen = canvas.getContext('2d');
const status = document.getElementById('status');
const again = document.getElementById('again');
const logPanel = document.getElementById('log');

// The program's keys, as the browser names them, with their virtual-key
// codes; src/platform/web/web.cpp takes these codes, and no others.
const keyCodes = {Escape: 0x1B, PageUp: 0x21, PageDown: 0x22, End: 0x23, Home: 0x24, ArrowLeft: 0x25, ArrowUp: 0x26,
  ArrowRight: 0x27, ArrowDown: 0x28, Insert: 0x2D, Delete: 0x2E, f: 0x46, F: 0x46, t: 0x54, T: 0x54, F12: 0x7B,
  p: 0x50, P: 0x50, r: 0x52, R: 0x52, Backspace: 0x08, '+': 0xBB, '=': 0xBB, '-': 0xBD, e: 0x45, E: 0x45,
  g: 0x47, G: 0x47, h: 0x48, H: 0x48, Enter: 0x0D, c: 0x43, C: 0x43};
for (let digit = 0; digit < 10; digit++)
  keyCodes[digit] = 0x30 + digit;
const isProgramKey = name => Object.prototype.hasOwnProperty.call(keyCodes, name);
// The letters, digits, + and - go to the browser while Ctrl, Alt or Meta is
// held (Ctrl+F is its find, Ctrl+- zooms out, Ctrl+1 picks a tab).
const isLetterChord = event => /^[fFtTpPrReEcCgGhH0-9+=-]$/.test(event.key) &&
  (event.ctrlKey || event.altKey || event.metaKey);

export function say(text, isError) {
  status.textContent = text;
  status.classList.toggle('error', !!isError);
}

// What the other modules listen to: 'ready' (start-up has reached
// "Rendering !"), 'key' (a key message went to the program; the key's
// name), 'look' (motion that turns the camera went to it), 'log' (the text
// of Engine.log), 'ended' (the exit code), 'loaded' (a pattern the program
// took, framed; its rule), 'refused' (the path of a drop the program could not take),
// 'shown' (a frame of the program's went on the canvas; the rule it names).
const listeners = {ready: [], key: [], look: [], log: [], ended: [], loaded: [], refused: [], shown: []};

export function on(event, listener) {
  listeners[event].push(listener);
}

export function emit(event, value) {
  for (const listener of listeners[event])
    listener(value);
}

let running = false;
let readySeen = false;
let afterReadyTasks = [];
let settle = null;
let settled = null; // resolves once this run's ready tasks are done

export const isRunning = () => running;
export const isReady = () => running && readySeen;
export const whenSettled = () => settled;

// Task for the run that is starting, run after the ready listeners and the
// tasks queued before it.
export function afterReady(task) {
  afterReadyTasks.push(task);
}

async function runAfterReady() {
  const tasks = afterReadyTasks;
  afterReadyTasks = [];
  for (const task of tasks)
    await task();
  settle();
}

let worker = null;
// The last bytes of every file the program wrote and of every drop, by path.
const files = new Map();
// The figures of the frame last shown.
// switches: the program's as bits (1 auto-iteration, 2 filtering, 4 drawing,
// 8 following, 16 going to a generation, 32 on hashlife), -1 while keys it
// has not taken yet may change them.
// states: the world's states (bits 0-15) and the state drawing gives (bits 16-31).
let shown = {frames: 0, generation: 0, population: 0, drawn: 0, rule: '', loading: '', switches: -1, states: 0};
let ticking = null; // the timer message posted: resolves once its frame is shown
let ticked = null;

// The bytes of PATH as the program last wrote it (or a drop handed over), as
// text with ENCODING 'utf8'; null for a file not seen.
export function readFile(path, encoding) {
  const bytes = files.get(path);
  if (!bytes)
    return null;
  return encoding === 'utf8' ? new TextDecoder().decode(bytes) : bytes.slice();
}

export const figuresShown = () => ({...shown});

// Every file the program closes after writing passes here: Engine.log is
// shown as it grows, screenshots and the span chart become downloads.
function fileWritten(path, bytes) {
  files.set(path, bytes);
  const name = path.slice(path.lastIndexOf('/') + 1);
  if (path === folder + '/Engine.log') {
    const text = new TextDecoder().decode(bytes);
    logPanel.textContent = text;
    emit('log', text);
    if (!readySeen && /Rendering !\n$/.test(text)) {
      readySeen = true;
      // Start-up still has its last steps to take (the timer, the cursor);
      // what the page posts goes in once the program waits for messages.
      queueMicrotask(() => {
        emit('ready');
        runAfterReady();
      });
    }
  } else if (/^Screenshot.*\.bmp$/.test(name)) {
    if (touchScreen)
      offerPicture(name, bytes);
    else
      offerDownload(name, bytes, 'image/bmp');
  } else if (name === 'Graph.txt') {
    offerDownload(name, bytes, 'text/plain');
  }
}

let restartDone = null;

// Starts the program, after putting away what its last run kept (scene,
// textures, board) when RELEASE is set.
function start(release) {
  running = true;
  readySeen = false;
  settled = new Promise(resolve => {
    settle = resolve;
  });
  again.hidden = true;
  say('Starting Veltrix…');
  canvas.focus();
  worker.postMessage({type: 'start', release});
}

function ended(exitCode) {
  running = false;
  emit('ended', exitCode);
  if (restartDone) {
    const done = restartDone;
    restartDone = null;
    start(true);
    done();
    return;
  }
  // After a drop the log goes on past "Rendering !". Start again stands
  // in the picture's place: nothing else on the page works now.
  if (readySeen)
    say('Veltrix has ended (exit code ' + exitCode + '): Start again starts it anew.');
  else
    say('Veltrix stopped during start-up: Engine.log shows how far it came.', true);
  again.hidden = false;
  again.focus();
}

// The program's frames go on the canvas at the page's own pace: of those
// that come between two animation frames only the last is drawn (a timer
// tick's is drawn before the tick is answered). Every buffer goes back to the
// program for a later frame.
let arrived = null; // the last frame come and not yet drawn

function show() {
  if (!arrived)
    return;
  const {buffer, width, height, frames, generation, population, drawn, rule, loading, switches, states} = arrived;
  arrived = null;
  if (canvas.width !== width || canvas.height !== height) {
    canvas.width = width;
    canvas.height = height;
  }
  pen.putImageData(new ImageData(new Uint8ClampedArray(buffer), width, height), 0, 0);
  shown = {frames, generation, population, drawn, rule, loading, switches, states};
  worker.postMessage({type: 'buffer', buffer}, [buffer]);
  emit('shown', rule);
}

function frameArrived(frame) {
  if (arrived)
    worker.postMessage({type: 'buffer', buffer: arrived.buffer}, [arrived.buffer]);
  else
    requestAnimationFrame(show);
  arrived = frame;
}

again.addEventListener('click', () => {
  if (!running)
    start(true);
});

// The page's own keys are seen wherever the focus is: its listener, on the
// window in the capture phase, runs before the picture's. A guard returning
// true keeps the key from the program (the help overlay takes Esc).
const keyGuards = [];

export function keyGuard(guard) {
  keyGuards.push(guard);
}

window.addEventListener('keydown', event => {
  for (const guard of keyGuards) {
    if (guard(event)) {
      event.preventDefault();
      event.stopImmediatePropagation();
      return;
    }
  }
}, true);

// The program's keys reach it wherever the focus is, but in text fields,
// whose keys are all their own, and menus, which keep those they use (the
// arrows, Home, End and the page keys choose, letters and signs find an
// entry): after choosing a pattern, Ins and Del still step and run. A
// button keeps Enter (G's question takes it elsewhere), Space and Tab.
// They do not reach the browser either (F12 would open its tools, the
// arrows would scroll). Ctrl+Z and Ctrl+S are the program's too (undo a
// drawn stroke, save the world), not the browser's. Esc never reaches it:
// the program would end and leave a dead picture; on the page Esc leaves
// full screen, closes the help, stops a load or the going to a generation
// and closes G's question (their own listeners).
const controlKeys = {z: 0x5A, Z: 0x5A, s: 0x53, S: 0x53};

const menuKeys = /^(Arrow.*|Home|End|Page(Up|Down)|.)$/;

const keepsItsKeys = ({target, key}) => !!target && (/^(INPUT|TEXTAREA)$/.test(target.tagName) ||
  target.isContentEditable || (target.tagName === 'SELECT' && menuKeys.test(key)) ||
  (key === 'Enter' && /^(BUTTON|A|SUMMARY)$/.test(target.tagName)));

window.addEventListener('keydown', event => {
  if (!running || !readySeen || event.defaultPrevented || event.key === 'Escape' || keepsItsKeys(event))
    return;
  if (event.ctrlKey && !event.altKey && !event.metaKey && controlKeys[event.key]) {
    event.preventDefault();
    worker.postMessage({type: 'key', code: controlKeys[event.key], control: 1});
    return;
  }
  if (!isProgramKey(event.key) || isLetterChord(event))
    return;
  event.preventDefault();
  worker.postMessage({type: 'key', code: keyCodes[event.key]});
  emit('key', event.key);
});

// The pointer, once locked, looks around with its motion.
document.addEventListener('mousemove', event => {
  if (running && document.pointerLockElement === canvas && (event.movementX || event.movementY)) {
    worker.postMessage({type: 'look', dx: event.movementX, dy: event.movementY});
    emit('look');
  }
});

// Posts the key message of the program's key NAME ("Insert", "ArrowUp"),
// as pressing it on the picture does. Returns 1, or 0 when no program runs.
export function postKey(name) {
  if (!running || !readySeen || !isProgramKey(name))
    return 0;
  worker.postMessage({type: 'key', code: keyCodes[name]});
  emit('key', name);
  return 1;
}

// Drawing gives STATE from now on, in turn with the keys posted before.
export function pickDrawState(state) {
  if (running && readySeen)
    worker.postMessage({type: 'draw-state', state});
}

// Motion of DX, DY frame pixels for the next tick's mouse look.
export function look(dx, dy) {
  if (!running || !readySeen || (!dx && !dy))
    return;
  worker.postMessage({type: 'look', dx, dy});
  emit('look');
}

// The program's left button (BUTTON_DOWN, BUTTON_UP) or the pointer's
// motion while drawing (MOUSE_MOVE), at frame pixel (x, y).
export function pointer(message, x, y) {
  if (running && readySeen)
    worker.postMessage({type: 'pointer', message, x, y});
}

// The camera back where the world shown was first seen from (at start-up
// or as it loaded), in turn with the keys and motion posted before; the
// world runs on.
export function viewStart() {
  if (running && readySeen)
    worker.postMessage({type: 'view-start'});
}

// Whether the program reads a dropped file beside its frames, and so hears
// a Stop while it reads (the threaded build on its own timer, as
// platformLoadsBeside answers); the other reads it in one go.
export const loadsBeside = () => threads > 1 && !options.manualTicks;

// Stops a dropped file being read, as Esc does in the program; never ends
// the program, even when the file was read meanwhile.
export function cancelLoad() {
  if (running)
    worker.postMessage({type: 'cancel'});
}

// Ends the program's worker outright, whatever it is doing (a file read in
// one go leaves it deaf to messages until done), and loads the program
// anew: the new start reads the working folder's Life.ini and Rules.ini as
// last written, as Start again does.
export function startOver() {
  worker.terminate();
  worker = null;
  running = false;
  readySeen = false;
  arrived = null;
  if (ticking) {
    ticking = null;
    ticked();
  }
  for (const resolve of exports.splice(0))
    resolve(false);
  for (const resolve of gotos.splice(0))
    resolve(-1);
  emit('ended', null);
  say('Starting Veltrix again…');
  loadProgram();
}

// The world to GENERATION (a whole number, at most 2^53) as G and Enter
// take it, in turn with the keys posted before. Resolves to the count of
// frames presented before the program took it (a later frame shows the
// going, or where it ended), or to -1 when no program runs or the number is
// none the program takes.
const gotos = [];

export function goTo(generation) {
  if (!running || !readySeen || !Number.isSafeInteger(generation) || generation < 0)
    return Promise.resolve(-1);
  return new Promise(resolve => {
    gotos.push(resolve);
    worker.postMessage({type: 'goto', generation});
  });
}

// Has the program write the world shown (or, with START set, its generation
// 0, as R brings it back) to /export/Life.ini and /export/Rules.ini, leaving
// its working folder as it is; resolves to true once readFile gives them,
// false when it could not. Asked in turn, answered in turn.
const exports = [];

export function exportWorld(start = false) {
  if (!running || !readySeen)
    return Promise.resolve(false);
  return new Promise(resolve => {
    exports.push(resolve);
    worker.postMessage({type: 'save', start});
  });
}

// Posts a timer message; resolves once its frame is shown (or the program
// has ended). A timer message not yet answered is the same message.
export function tick() {
  if (!running)
    return Promise.resolve();
  if (!ticking) {
    ticking = new Promise(resolve => {
      ticked = resolve;
    });
    worker.postMessage({type: 'timer'});
  }
  return ticking;
}

// Hands the bytes of a file to the program as a drop at PATH (under
// /drop). The program's log says whether it took it; 'refused' is emitted
// when it could not even look.
export function dropFile(path, bytes) {
  files.set(path, bytes.slice());
  worker.postMessage({type: 'drop', path, bytes});
}

// Ends the program as Esc does and starts it again on the same folder;
// `then` runs once the new run is ready. Resolves when the new run starts.
export function restart(then) {
  return new Promise(resolve => {
    if (then)
      afterReady(then);
    if (!running) {
      start(true);
      resolve();
      return;
    }
    restartDone = resolve;
    worker.postMessage({type: 'key', code: keyCodes.Escape});
  });
}

// The first start waits for what the page must have first (a pattern
// fetched for the link).
const holds = [];

export function holdStart(promise) {
  holds.push(promise);
}

// Only a cross-origin isolated page may share memory with workers: it runs
// the threaded build, with a thread per processor (at most 8); any other
// page runs the build without threads. Both draw the same frames.
export const threads = window.crossOriginIsolated
  ? Math.max(1, Math.min(8, options.threads || navigator.hardwareConcurrency || 1)) : 1;

// What the worker sends: frames, files written, the end of a run, and what
// the toolchain prints, which goes to the browser's console (the status line
// is the page's own).
function heard({data}) {
  switch (data.type) {
    case 'loaded':
      Promise.allSettled(holds).then(() => start(false));
      break;
    case 'frame':
      frameArrived(data);
      break;
    case 'mode':
      canvas.width = data.width;
      canvas.height = data.height;
      break;
    case 'file':
      fileWritten(data.path, data.bytes);
      break;
    case 'ticked':
      show();
      ticking = null;
      ticked();
      break;
    case 'saved':
      exports.shift()(!!data.saved);
      break;
    case 'goto':
      gotos.shift()(data.taken ? data.frames : -1);
      break;
    case 'ended':
      ended(data.exitCode);
      break;
    case 'unlock':
      if (document.pointerLockElement === canvas)
        document.exitPointerLock();
      break;
    case 'refused':
      emit('refused', data.path);
      break;
    case 'print':
      (data.error ? console.warn : console.log)(data.text);
      break;
    case 'abort':
      running = false;
      say('Veltrix crashed: ' + data.what, true);
      break;
  }
}

// Loads the program into its worker; called once every module of the page
// has run, so that what they hold or queue for the first start is in place.
// A worker loaded anew gets the Life.ini and Rules.ini the last one wrote
// (Ctrl+S), so its start is the one Start again would make.
export function loadProgram() {
  worker = new Worker('worker.js');
  worker.onmessage = heard;
  worker.onerror = event => say('Veltrix could not be loaded: ' + event.message, true);
  const kept = {};
  for (const name of ['Life.ini', 'Rules.ini']) {
    if (files.has(`${folder}/${name}`))
      kept[name] = files.get(`${folder}/${name}`);
  }
  worker.postMessage({type: 'load', script: threads > 1 ? 'veltrix-threads.js' : 'veltrix.js', threads, touch: touchScreen,
    manualTicks: !!options.manualTicks, beforeStart: options.beforeStart ? String(options.beforeStart) : null, kept});
}
