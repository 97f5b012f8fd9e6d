// The page around the program: it puts the bundled data in the in-memory
// folder /veltrix, starts the program there, takes the pointer for mouse
// look, shows Engine.log, and offers the screenshots and Graph.txt the
// program writes as downloads. The page's other modules reach the program
// through what this one exports, which posts the very messages the keyboard
// and the mouse post.
//
// window.veltrixOptions, when set before the page's modules run (the browser
// tests do), can hold manualTicks (no timer: the caller posts every tick with
// Module._webPostTimer), beforeStart(FS), called before each start,
// keyRepeat (see controls.js), threads (how many threads a cross-origin
// isolated page draws with, instead of one per processor) and serviceWorker
// (see install.js).

import {offerPicture, touchScreen} from './touch.js';

const folder = '/veltrix';
export const options = window.veltrixOptions || {};
const canvas = document.getElementById('canvas');
const status = document.getElementById('status');
const again = document.getElementById('again');
const logPanel = document.getElementById('log');
const downloads = document.getElementById('downloads');

// The program's keys, as the browser names them, with their virtual-key
// codes; src/platform/web/web.cpp keeps the same table.
const keyCodes = {Escape: 0x1B, PageUp: 0x21, PageDown: 0x22, End: 0x23, Home: 0x24, ArrowLeft: 0x25, ArrowUp: 0x26,
  ArrowRight: 0x27, ArrowDown: 0x28, Insert: 0x2D, Delete: 0x2E, f: 0x46, F: 0x46, t: 0x54, T: 0x54, F12: 0x7B,
  p: 0x50, P: 0x50, r: 0x52, R: 0x52, Backspace: 0x08, '+': 0xBB, '=': 0xBB, '-': 0xBD, e: 0x45, E: 0x45};
const isProgramKey = name => Object.prototype.hasOwnProperty.call(keyCodes, name);
// The letters, + and - go to the browser while Ctrl, Alt or Meta is held
// (Ctrl+F is its find, Ctrl+- zooms out).
const isLetterChord = event => /^[fFtTpPrReE+=-]$/.test(event.key) && (event.ctrlKey || event.altKey || event.metaKey);

export function say(text, isError) {
  status.textContent = text;
  status.classList.toggle('error', !!isError);
}

// Offers bytes (or a Blob) as a file in the downloads list, and saves it
// unless SAVE is false.
export function offerDownload(name, bytes, type, save = true) {
  const url = URL.createObjectURL(new Blob([bytes], {type}));
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  link.textContent = name;
  const item = document.createElement('li');
  item.appendChild(link);
  downloads.prepend(item);
  if (save)
    link.click();
}

// What the other modules listen to: 'ready' (start-up has reached
// "Rendering !"), 'key' (a key message went to the program; the key's
// name), 'look' (motion that turns the camera went to it), 'log' (the text
// of Engine.log), 'ended' (the exit code), 'loaded' (a pattern the program took, framed).
const listeners = {ready: [], key: [], look: [], log: [], ended: [], loaded: []};

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

// Every file the program closes after writing passes here: Engine.log is
// shown as it grows, screenshots and the span chart become downloads.
function fileWritten(path) {
  const FS = Module.FS;
  const name = path.slice(path.lastIndexOf('/') + 1);
  if (path === folder + '/Engine.log') {
    const text = FS.readFile(path, {encoding: 'utf8'});
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
      offerPicture(name, FS.readFile(path));
    else
      offerDownload(name, FS.readFile(path), 'image/bmp');
  } else if (name === 'Graph.txt') {
    offerDownload(name, FS.readFile(path), 'text/plain');
  }
}

function watchWrites() {
  const FS = Module.FS;
  const close = FS.close;
  FS.close = function (stream) {
    const path = stream.path;
    const written = (stream.flags & 3) !== 0; // opened for writing
    const result = close.apply(this, arguments);
    if (written && path)
      fileWritten(path);
    return result;
  };
}

let restartDone = null;

async function start() {
  const FS = Module.FS;
  FS.chdir(folder);
  if (options.beforeStart)
    options.beforeStart(FS);
  running = true;
  readySeen = false;
  settled = new Promise(resolve => {
    settle = resolve;
  });
  again.hidden = true;
  say('Running. Drag the picture to look around.');
  canvas.focus();
  const exitCode = await Module.ccall('main', 'number', ['number', 'number'], [0, 0], {async: true});
  running = false;
  emit('ended', exitCode);
  if (restartDone) {
    const done = restartDone;
    restartDone = null;
    Module._veltrixRelease();
    start();
    done();
    return;
  }
  // After a drop the log goes on past "Rendering !".
  if (readySeen)
    say('Veltrix has ended (exit code ' + exitCode + ').');
  else
    say('Veltrix stopped during start-up: Engine.log shows how far it came.', true);
  again.hidden = false;
}

again.addEventListener('click', () => {
  if (running)
    return;
  // Whatever the last run kept (scene, textures, board) goes before the next.
  Module._veltrixRelease();
  start();
});

// The page's own key listener runs before the program's (it is added
// first, on the window, in the capture phase). A guard returning true keeps
// the key from the program (the help overlay takes Esc); every other key of
// the program's is told to the 'key' listeners.
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
  if (running && readySeen && isProgramKey(event.key) && !isLetterChord(event))
    emit('key', event.key);
}, true);

// The pointer, once locked, looks around through the program's own mouse
// handling; the page only notes that the camera moved.
document.addEventListener('mousemove', event => {
  if (running && document.pointerLockElement === canvas && (event.movementX || event.movementY))
    emit('look');
});

// Posts the key message of the program's key NAME ("Insert", "ArrowUp"),
// as pressing it does. Returns 1, or 0 when no program runs or its queue is
// full. The program's exports are called directly: a ccall made while the
// program waits for messages would return a promise and take over the one
// start() waits on.
export function postKey(name) {
  if (!running || !readySeen || !isProgramKey(name))
    return 0;
  const posted = Module._webPostKey(keyCodes[name]);
  if (posted)
    emit('key', name);
  return posted;
}

// Motion of DX, DY frame pixels for the next tick's mouse look.
export function look(dx, dy) {
  if (!running || !readySeen || (!dx && !dy))
    return;
  Module._webLook(dx, dy);
  emit('look');
}

// Posts a timer message; resolves once its frame is shown (or the program
// has ended). A timer message already waiting is the same message.
export function tick() {
  return new Promise(resolve => {
    if (!running) {
      resolve();
      return;
    }
    const before = Module._webFramesPresented();
    Module._webPostTimer();
    const poll = () => (!running || Module._webFramesPresented() > before ? resolve() : setTimeout(poll, 1));
    poll();
  });
}

// Ends the program as Esc does and starts it again on the same folder;
// `then` runs once the new run is ready. Resolves when the new run starts.
export function restart(then) {
  return new Promise(resolve => {
    if (then)
      afterReady(then);
    if (!running) {
      Module._veltrixRelease();
      start();
      resolve();
      return;
    }
    restartDone = resolve;
    Module._webPostKey(keyCodes.Escape);
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

// The Emscripten program's module object: its loader, a classic script,
// finds it as the global Module and adds the program's exports and FS to it.
export const Module = window.Module = {
  veltrixThreads: threads,
  veltrixTouch: touchScreen,
  manualTicks: !!options.manualTicks,
  // The program's own word reaches the user through Engine.log, and the
  // page's in the status line; what the program's runtime prints (its
  // warnings among them) is for developers.
  print: text => console.log(text),
  printErr: text => console.warn(text),
  onRuntimeInitialized: async () => {
    watchWrites();
    await Promise.allSettled(holds);
    start();
  },
  onAbort: what => say('Veltrix crashed: ' + what, true),
};

// Loads the program; called once every module of the page has run, so that
// what they hold or queue for the first start is in place.
export function loadProgram() {
  const program = document.createElement('script');
  program.src = threads > 1 ? 'veltrix-threads.js' : 'veltrix.js';
  document.body.appendChild(program);
}
