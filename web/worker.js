// The program's own thread: a worker of the page's that holds the Emscripten
// program and its in-memory folder /veltrix, so that drawing a frame never
// holds up the page. The page (page.js) starts it with a 'load' message and
// talks to it in messages {type, ...}; this side turns them into calls of the
// program's exports and sends back every frame presented (its RGBA bytes,
// handed over, not copied), every file the program writes, and the end.
'use strict';

let running = false;
let beforeStart = null;
let spare = []; // frame buffers the page has handed back
const ticks = []; // the frame count when each timer message came, answered once a later frame is shown

const send = (message, transfer) => self.postMessage(message, transfer || []);

// Every file closed after writing, or renamed into place, goes to the page,
// which keeps the last bytes of each: Engine.log, screenshots, Graph.txt,
// the .ini files Ctrl+S saves and the world exported to /export.
function watchWrites() {
  const FS = Module.FS;
  const close = FS.close;
  FS.close = function (stream) {
    const path = stream.path;
    const written = (stream.flags & 3) !== 0;
    const result = close.apply(this, arguments);
    if (written && path)
      sendFile(path);
    return result;
  };
  const rename = FS.rename;
  FS.rename = function (from, to) {
    const result = rename.apply(this, arguments);
    sendFile(to.startsWith('/') ? to : FS.cwd() + '/' + to);
    return result;
  };
}

function sendFile(path) {
  if (Module.FS.analyzePath(path).exists)
    send({type: 'file', path, bytes: Module.FS.readFile(path)});
}

function answerTicks() {
  const frames = Module._webFramesPresented();
  while (ticks.length && (!running || frames > ticks[0])) {
    ticks.shift();
    send({type: 'ticked'});
  }
}

async function start(release) {
  if (release)
    Module._veltrixRelease();
  Module.FS.chdir('/veltrix');
  if (beforeStart)
    beforeStart(Module.FS);
  // What the page reads before the program has written anything.
  sendFile('/veltrix/Life.ini');
  sendFile('/veltrix/Rules.ini');
  // Where the program writes the world for the page's link and rule choice.
  if (!Module.FS.analyzePath('/export').exists)
    Module.FS.mkdir('/export');
  running = true;
  const exitCode = await Module.ccall('main', 'number', ['number', 'number'], [0, 0], {async: true});
  running = false;
  answerTicks();
  send({type: 'ended', exitCode});
}

// The path of a dropped file in the program's heap for webDropFile.
function dropFile(path, bytes) {
  if (!Module.FS.analyzePath('/drop').exists)
    Module.FS.mkdir('/drop');
  Module.FS.writeFile(path, bytes);
  const name = new TextEncoder().encode(path);
  const pointer = Module._malloc(name.length + 1);
  if (!pointer)
    return 0;
  Module.HEAPU8.set(name, pointer);
  Module.HEAPU8[pointer + name.length] = 0;
  const taken = Module._webDropFile(pointer);
  Module._free(pointer);
  return taken;
}

function load(message) {
  if (message.beforeStart)
    beforeStart = new Function('return (' + message.beforeStart + ');')();
  self.Module = {
    veltrixThreads: message.threads,
    veltrixTouch: message.touch,
    manualTicks: message.manualTicks,
    // The threaded program's workers load the program, not this script.
    mainScriptUrlOrBlob: new URL(message.script, self.location.href).href,
    print: text => send({type: 'print', text}),
    printErr: text => send({type: 'print', text, error: true}),
    onAbort: what => send({type: 'abort', what: String(what)}),
    onRuntimeInitialized: () => {
      for (const [name, bytes] of Object.entries(message.kept || {}))
        Module.FS.writeFile('/veltrix/' + name, bytes);
      watchWrites();
      send({type: 'loaded'});
    },
    webSetMode: (width, height) => send({type: 'mode', width, height}),
    webReleasePointer: () => send({type: 'unlock'}),
    // The primary surface's RGBA bytes, copied out of the heap (which a
    // canvas cannot take while it is shared memory) into a buffer that goes
    // to the page with the figures of the frame.
    webPresent: (pixels, width, height) => {
      const size = width * height * 4;
      let buffer = spare.pop();
      if (!buffer || buffer.byteLength !== size)
        buffer = new ArrayBuffer(size);
      new Uint8Array(buffer).set(Module.HEAPU8.subarray(pixels, pixels + size));
      send({type: 'frame', buffer, width, height, frames: Module._webFramesPresented(),
        generation: Module._webGeneration(), population: Module._webPopulation(), drawn: Module._webDrawn(),
        rule: Module.UTF8ToString(Module._webRule()), loading: Module.UTF8ToString(Module._webLoading()),
        switches: Module._webKeysWaiting() ? -1 : Module._webSwitches(), states: Module._webStates()},
        [buffer]);
      answerTicks();
    },
  };
  importScripts(message.script);
}

self.onmessage = ({data}) => {
  switch (data.type) {
    case 'load':
      load(data);
      break;
    case 'start':
      start(data.release);
      break;
    case 'key':
      if (running)
        Module._webPostKey(data.code, data.control ? 1 : 0);
      break;
    case 'pointer':
      if (running)
        Module._webPointer(data.message, data.x, data.y);
      break;
    case 'save':
      // /export/Life.ini and /export/Rules.ini reach the page as they are
      // renamed into place, before this answer: the world shown, or its
      // generation 0 when START is set.
      send({type: 'saved', saved: running ? Module._webExportWorld(data.start ? 1 : 0) : 0});
      break;
    case 'look':
      if (running)
        Module._webLook(data.dx, data.dy);
      break;
    case 'view-start':
      if (running)
        Module._webViewStart();
      break;
    case 'draw-state':
      if (running)
        Module._webDrawState(data.state);
      break;
    case 'cancel':
      if (running)
        Module._webCancelLoad();
      break;
    case 'goto':
      // Frames presented after this one show the going, or where it ended.
      send({type: 'goto', taken: running ? Module._webGoTo(data.generation) : 0,
        frames: running ? Module._webFramesPresented() : 0});
      break;
    case 'timer':
      ticks.push(Module._webFramesPresented());
      if (running)
        Module._webPostTimer();
      answerTicks();
      break;
    case 'drop':
      if (!running || !dropFile(data.path, data.bytes))
        send({type: 'refused', path: data.path});
      break;
    case 'buffer':
      spare.push(data.buffer);
      break;
  }
};
