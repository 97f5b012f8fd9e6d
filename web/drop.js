// Bringing a pattern: a file dropped on the page or opened with the system's
// file picker (Open…), a classic from the picker and a pattern in the link
// all take one road. The file is written into the program's in-memory
// folder /drop under its own name, and the program is handed its path: it
// reads the file into a new world (a big one beside the frames, with the
// threaded build) and shows it, or leaves the world shown running and puts
// the reason on the canvas and in Engine.log. The page reads the outcome
// from Engine.log and keeps where the board it shows came from, for the
// link. A gzip-compressed file is decompressed here, as the browser build
// of the program has no zlib. A load that outlasts a frame says so and can
// be stopped (Stop, Esc): the threaded build reads beside the frames, says
// how far it has come and stops; the other reads the file in one go, so the
// page ends it and starts it again.
import {afterReady, cancelLoad, dropFile, emit, figuresShown, isReady, keyGuard, loadsBeside, on, readFile, say, startOver}
  from './page.js';

const stop = document.getElementById('stop');
let pending = null; // {path, name, label, source, from, done}: handed over, outcome not yet logged
let board = null; // where the board shown came from; null: the bundled pattern
let lastOutcome = Promise.resolve(false);

export const boardSource = () => board;
// Whether a file handed over waits for its outcome.
export const isLoading = () => !!pending;
// Resolves to true once the last file handed over has loaded, to false when
// it was refused or the program started again first.
export const dropOutcome = () => lastOutcome;

// The program refuses pattern files larger than this, compressed or not; a
// small file that inflates past it is cut short here rather than held whole.
const largestFile = 64 << 20;

// The bytes of a pattern file as the program reads them: a file that starts
// with gzip's magic bytes 1f 8b decompressed, any other as it is. Resolves
// to {bytes} or {error}, a reason for the page's message.
export async function unpacked(bytes) {
  if (bytes.length < 2 || bytes[0] !== 0x1f || bytes[1] !== 0x8b)
    return {bytes};
  const reader = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('gzip')).getReader();
  const chunks = [];
  let size = 0;
  try {
    for (;;) {
      const {done, value} = await reader.read();
      if (done)
        break;
      size += value.length;
      if (size > largestFile) {
        reader.cancel().catch(() => {});
        return {error: `larger than ${largestFile >> 20} MiB once decompressed; refused`};
      }
      chunks.push(value);
    }
  } catch (error) {
    return {error: `gzip-compressed, but the compressed data is broken (${error.message})`};
  }
  const whole = new Uint8Array(size);
  let at = 0;
  for (const chunk of chunks) {
    whole.set(chunk, at);
    at += chunk.length;
  }
  return {bytes: whole};
}

// Hands the bytes of a pattern file called NAME to the program as a drop.
// SOURCE says where it came from ({pattern: bytes} or {file: name}) for
// the link; LABEL names it in the page's messages. The program frames the
// pattern once loaded, as F does, so its first frame shows its cells.
// Returns 1, or 0 (and says why) when the program cannot take it now: it is
// not running, or an earlier file's outcome is not yet logged.
export function loadPattern(name, bytes, source, label = name) {
  if (!isReady()) {
    say('Veltrix is not running: start it again first.', true);
    return 0;
  }
  if (pending) {
    say('The program is busy with the last pattern; try this one again in a moment.', true);
    return 0;
  }
  const path = '/drop/' + name.replace(/[\/\\]/g, '_');
  const from = (readFile('/veltrix/Engine.log', 'utf8') || '').length;
  dropFile(path, bytes);
  const load = {path, name, label, source, from};
  pending = load;
  lastOutcome = new Promise(resolve => {
    load.done = resolve;
  });
  say(`${label}: loading… (Stop or Esc ends it)`);
  // Stop shows for a load that outlasts a frame.
  requestAnimationFrame(() => requestAnimationFrame(() => {
    stop.hidden = pending !== load;
  }));
  // The picker shows the classic being loaded, whichever road it came by.
  const picker = document.getElementById('pattern');
  picker.value = source.file && [...picker.options].some(option => option.value === source.file) ? source.file : '';
  return 1;
}

// The program logs one line per drop: "Dropped PATH: loaded, ..." or
// "Dropped PATH: refused, REASON".
on('log', text => {
  if (!pending)
    return;
  if (text.length < pending.from) {
    settle(false); // the program started again before it took the file
    return;
  }
  const mark = `Dropped ${pending.path}: `;
  const at = text.indexOf(mark, pending.from);
  if (at < 0)
    return;
  const outcome = text.slice(at + mark.length, text.indexOf('\n', at));
  const loaded = outcome.startsWith('loaded');
  if (loaded) {
    board = pending.source;
    // The line ends with the world's rule, before the next frame names it.
    emit('loaded', outcome.slice(outcome.lastIndexOf(', rule ') + 7));
  }
  const {label} = pending;
  if (outcome === 'refused, cancelled')
    say(`${label}: loading stopped; the world shown runs on.`);
  else
    say(`${label}: ${outcome}`, !loaded);
  settle(loaded);
});

function settle(loaded) {
  const load = pending;
  pending = null;
  stop.hidden = true;
  load.done(loaded);
}

// A big file is read beside the frames, which say how far it has come.
on('shown', () => {
  const {loading} = figuresShown();
  if (pending && loading)
    say(`${pending.label}: loading, ${loading} (Stop or Esc ends it)`);
});

// Its queue full or the run ended, the program never saw the file.
on('refused', path => {
  if (!pending || pending.path !== path)
    return;
  say('The program is busy with the last pattern; try this one again in a moment.', true);
  settle(false);
});

// Stop, or Esc. A program reading in one go hears nothing till it is done:
// it is ended and started again instead, on the working folder's board.
function stopLoad() {
  if (!pending)
    return;
  if (loadsBeside()) {
    cancelLoad();
    return;
  }
  const {label} = pending;
  settle(false);
  startOver();
  afterReady(() => say(`${label}: loading stopped; Veltrix started again on its board.`));
}

// A new start reads the working folder's board.
on('ended', () => {
  board = null;
});

stop.addEventListener('click', stopLoad);
// Esc only once Stop shows: a load ending within a frame stops nothing.
keyGuard(event => {
  if (event.key !== 'Escape' || !pending || stop.hidden)
    return false;
  stopLoad();
  return true;
});

document.addEventListener('dragover', event => {
  event.preventDefault();
  document.body.classList.add('dragging');
});
document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));

// A file of the user's, dropped or opened.
async function bring(file) {
  if (!file)
    return;
  say(`Reading ${file.name}…`);
  const {bytes, error} = await unpacked(new Uint8Array(await file.arrayBuffer()));
  if (error)
    say(`${file.name} not loaded: ${error}`, true);
  else
    loadPattern(file.name, bytes, {pattern: bytes});
}

document.addEventListener('drop', event => {
  event.preventDefault();
  document.body.classList.remove('dragging');
  bring(event.dataTransfer.files[0]);
});

// Open…: the system's file picker, on a phone too, where nothing can be
// dropped. No type is asked for: a phone would hide the files it cannot
// name a type for (.rle, .mc).
const picker = document.getElementById('open-file');
document.getElementById('open').addEventListener('click', () => picker.click());
picker.addEventListener('change', () => {
  bring(picker.files[0]);
  picker.value = '';
});
