// The page around the program: it puts the bundled data in the in-memory
// folder /veltrix, starts the program there, scales the canvas, takes the
// pointer for mouse look, shows Engine.log, and offers the screenshots and
// Graph.txt the program writes as downloads.
//
// window.veltrixOptions, when set before this script runs (the browser tests
// do), can hold manualTicks (no timer: the caller posts every tick with
// Module._webPostTimer) and beforeStart(FS), called before each start.
'use strict';

(function () {
  const folder = '/veltrix';
  const options = window.veltrixOptions || {};
  const canvas = document.getElementById('canvas');
  const screen = document.getElementById('screen');
  const status = document.getElementById('status');
  const again = document.getElementById('again');
  const logPanel = document.getElementById('log');
  const downloads = document.getElementById('downloads');

  function say(text, isError) {
    status.textContent = text;
    status.classList.toggle('error', !!isError);
  }

  // The frame is 640 x 480; it is shown at a whole number of device pixels per
  // frame pixel when the window has room, else shrunk to fit, always 4 : 3.
  function fitCanvas() {
    const ratio = window.devicePixelRatio || 1;
    const bar = document.getElementById('bar').offsetHeight;
    const width = screen.clientWidth * ratio;
    const height = (document.fullscreenElement ? screen.clientHeight : window.innerHeight - bar) * ratio;
    let scale = Math.min(width / canvas.width, height / canvas.height);
    if (scale >= 1)
      scale = Math.floor(scale);
    canvas.style.width = (canvas.width * scale) / ratio + 'px';
    canvas.style.height = (canvas.height * scale) / ratio + 'px';
  }
  window.addEventListener('resize', fitCanvas);
  document.addEventListener('fullscreenchange', fitCanvas);
  fitCanvas();

  document.getElementById('fullscreen').addEventListener('click', () => {
    if (document.fullscreenElement)
      document.exitFullscreen();
    else
      screen.requestFullscreen().catch(error => say('Full screen refused: ' + error.message, true));
  });

  // Mouse look needs the pointer locked to the canvas; only a click may ask.
  canvas.addEventListener('click', () => {
    if (running && document.pointerLockElement !== canvas)
      canvas.requestPointerLock();
  });

  function offerDownload(name, bytes, type) {
    const url = URL.createObjectURL(new Blob([bytes], {type}));
    const link = document.createElement('a');
    link.href = url;
    link.download = name;
    link.textContent = name;
    const item = document.createElement('li');
    item.appendChild(link);
    downloads.prepend(item);
    link.click();
  }

  // Every file the program closes after writing passes here: Engine.log is
  // shown as it grows, screenshots and the span chart become downloads.
  function fileWritten(path) {
    const FS = Module.FS;
    const name = path.slice(path.lastIndexOf('/') + 1);
    if (path === folder + '/Engine.log')
      logPanel.textContent = FS.readFile(path, {encoding: 'utf8'});
    else if (/^Screenshot.*\.bmp$/.test(name))
      offerDownload(name, FS.readFile(path), 'image/bmp');
    else if (name === 'Graph.txt')
      offerDownload(name, FS.readFile(path), 'text/plain');
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

  let running = false;

  async function start() {
    const FS = Module.FS;
    FS.chdir(folder);
    if (options.beforeStart)
      options.beforeStart(FS);
    running = true;
    again.hidden = true;
    say('Running. Click the board to look around with the mouse.');
    canvas.focus();
    const exitCode = await Module.ccall('main', 'number', ['number', 'number'], [0, 0], {async: true});
    running = false;
    const log = FS.readFile(folder + '/Engine.log', {encoding: 'utf8'});
    if (/Rendering !\n$/.test(log))
      say('Veltrix has ended (exit code ' + exitCode + ').');
    else
      say('Veltrix stopped during start-up: Engine.log shows how far it came.', true);
    again.hidden = false;
    window.dispatchEvent(new CustomEvent('veltrix-ended', {detail: exitCode}));
  }

  again.addEventListener('click', () => {
    if (running)
      return;
    // Whatever the last run kept (scene, textures, board) goes before the next.
    Module._veltrixRelease();
    start();
  });

  window.veltrixPage = {say, isRunning: () => running};

  window.Module = {
    manualTicks: !!options.manualTicks,
    print: text => console.log(text),
    // What the program says on its error stream (the pattern converter's
    // refusals, say) is shown in the status line.
    printErr: text => {
      console.warn(text);
      say(text, true);
    },
    onRuntimeInitialized: () => {
      watchWrites();
      start();
    },
    onAbort: what => say('Veltrix crashed: ' + what, true),
  };
})();
