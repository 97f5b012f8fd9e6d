// Recording on the page: F9 or the Record button starts and stops it. Every
// frame the page shows in between goes to the browser's video encoder
// (WebCodecs, VP9 or VP8), and stopping waits for the encoder to hand back
// the last of them, so the video holds each frame shown however slowly the
// machine encodes. This module writes them into a WebM file, which joins the
// downloads, named as the screenshots are ("Recording 0.webm",
// "Recording 1.webm", ...). The program never sees F9.
import {offerDownload} from './downloads.js';
import {keyGuard, on, say} from './page.js';

const canvas = document.getElementById('canvas');
const button = document.getElementById('record');
// The encoded frames are held in memory until the end: past this they stop.
const maxBytes = 256 * 1024 * 1024;
// Each frame waiting for the encoder holds a whole picture: past this many
// the encoder has fallen behind, and frames shown meanwhile are left out.
const maxWaiting = 50;
// A key frame at least this often (ms), so that a player can seek.
const keyInterval = 2000;

// The codecs tried, best first, with their names in a WebM file.
const codecs = [['vp09.00.10.08', 'V_VP9'], ['vp8', 'V_VP8']];
const settings = (codec, width, height) => ({codec, width, height, bitrate: 2500000, framerate: 50});

async function chooseCodec() {
  if (typeof VideoEncoder === 'undefined' || typeof VideoFrame === 'undefined')
    return null;
  for (const [codec, id] of codecs) {
    try {
      if ((await VideoEncoder.isConfigSupported(settings(codec, 640, 480))).supported)
        return {codec, id};
    } catch (error) {
      // Taken as unsupported: the next codec is tried.
    }
  }
  return null;
}

let codec; // {codec, id} once the browser has answered, null when it has none
const codecKnown = chooseCodec().then(found => {
  codec = found;
});

let recording = null; // the recording under way
let recorded = 0;
let saving = Promise.resolve(); // files are made in the order their recordings stopped

function start() {
  if (!codec) {
    say('This browser cannot record the picture.', true);
    return;
  }
  recording = {id: codec.id, encoder: null, width: 0, height: 0, began: 0, last: -1, lastKey: -Infinity, blocks: [],
    bytes: 0, left: 0, full: false, failed: '', stopped: 0};
  button.setAttribute('aria-pressed', 'true');
  say('Recording: F9 or Record stops.');
}

// The encoder is set up for the size of the first frame shown.
function encoderFor(current) {
  const encoder = new VideoEncoder({
    output: chunk => {
      if (current.full)
        return;
      if (current.bytes + chunk.byteLength > maxBytes) {
        current.full = true;
        if (recording === current)
          stop();
        return;
      }
      const data = new Uint8Array(chunk.byteLength);
      chunk.copyTo(data);
      current.blocks.push({time: Math.round(chunk.timestamp / 1000), key: chunk.type === 'key', data});
      current.bytes += data.byteLength;
    },
    error: error => {
      current.failed = error.message;
      if (recording === current)
        stop();
    },
  });
  current.width = canvas.width;
  current.height = canvas.height;
  encoder.configure(settings(codec.codec, current.width, current.height));
  return encoder;
}

// Each frame as the canvas shows it, timed in whole milliseconds (the WebM
// file's unit) from the first, at least one apart.
on('shown', () => {
  const current = recording;
  if (!current || current.full)
    return;
  current.encoder = current.encoder || encoderFor(current);
  if (current.encoder.state !== 'configured')
    return;
  if (current.encoder.encodeQueueSize >= maxWaiting) {
    current.left++;
    return;
  }
  const now = performance.now();
  if (current.last < 0)
    current.began = now;
  const time = Math.max(Math.round(now - current.began), current.last + 1);
  current.last = time;
  const key = time - current.lastKey >= keyInterval;
  if (key)
    current.lastKey = time;
  const frame = new VideoFrame(canvas, {timestamp: time * 1000});
  current.encoder.encode(frame, {keyFrame: key});
  frame.close();
});

function stop() {
  const current = recording;
  recording = null;
  button.setAttribute('aria-pressed', 'false');
  current.stopped = performance.now();
  const flushed = current.encoder && current.encoder.flush().catch(error => {
    current.failed = current.failed || error.message;
  });
  saving = saving.then(() => flushed).then(() => save(current))
    .catch(error => say(`The recording could not be saved: ${error.message}`, true));
}

function save(current) {
  if (current.encoder && current.encoder.state !== 'closed')
    current.encoder.close();
  if (!current.blocks.length) {
    say(`Nothing was recorded: ${current.failed ? 'the encoder failed (' + current.failed + ')'
      : 'no frame was shown while recording'}.`, true);
    return;
  }
  const name = `Recording${recorded.toString(16).padStart(2, ' ')}.webm`;
  recorded++;
  // The last frame stays on screen until the recording stops.
  const duration = Math.max(current.last + 1, Math.round(current.stopped - current.began));
  offerDownload(name, webmFile(current, duration), 'video/webm');
  if (current.full)
    say(`${name} stopped at its size limit of 256 MiB.`, true);
  else if (current.failed)
    say(`${name} stopped early: the encoder failed (${current.failed}).`, true);
  else if (current.left)
    say(`Saved ${name}; ${current.left} frames were left out while the encoder caught up.`, true);
  else
    say(`Saved ${name}.`);
}

// EBML, the coding of a WebM file: an element is its ID (the marker bits
// of its length included), the length of its body as a variable-length
// number, then the body. An element is built as the parts of a Blob, so
// that the frames are never copied again.
function number(value, length) {
  const bytes = new Uint8Array(length);
  for (let i = length - 1, rest = value; i >= 0; i--, rest = Math.floor(rest / 256))
    bytes[i] = rest % 256;
  return bytes;
}

function unsigned(value) {
  let length = 1;
  while (value >= 256 ** length)
    length++;
  return number(value, length);
}

// A length whose bits are all ones means "unknown": one byte more then.
function lengthBytes(length) {
  let size = 1;
  while (length >= 2 ** (7 * size) - 1)
    size++;
  const bytes = number(length, size);
  bytes[0] |= 0x80 >> (size - 1);
  return bytes;
}

// BODY: byte arrays and elements, in arrays nested as deep as they come.
function element(id, ...body) {
  const parts = body.flat(Infinity);
  const length = parts.reduce((sum, part) => sum + part.byteLength, 0);
  return [unsigned(id), lengthBytes(length), ...parts];
}

const text = value => new TextEncoder().encode(value);

function float(value) {
  const bytes = new Uint8Array(8);
  new DataView(bytes.buffer).setFloat64(0, value);
  return bytes;
}

// One video track; a cluster starts at each key frame, and before a
// frame's time from its cluster's would pass a block's signed 16 bits.
function webmFile({id, width, height, blocks}, duration) {
  const clusters = [];
  let cluster = null;
  for (const block of blocks) {
    if (!cluster || block.key || block.time - cluster.time > 32767) {
      cluster = {time: block.time, key: block.key, children: [element(0xE7, unsigned(block.time))]};
      clusters.push(cluster);
    }
    const offset = block.time - cluster.time;
    // Track 1, the time from the cluster's, the key frame flag.
    const head = Uint8Array.of(0x81, offset >> 8, offset & 0xFF, block.key ? 0x80 : 0);
    cluster.children.push(element(0xA3, head, block.data));
  }
  const header = element(0x1A45DFA3, element(0x4286, unsigned(1)), element(0x42F7, unsigned(1)),
    element(0x42F2, unsigned(4)), element(0x42F3, unsigned(8)), element(0x4282, text('webm')),
    element(0x4287, unsigned(4)), element(0x4285, unsigned(2)));
  // Times in milliseconds (1,000,000 ns).
  const info = element(0x1549A966, element(0x2AD7B1, unsigned(1000000)), element(0x4489, float(duration)),
    element(0x4D80, text('Veltrix')), element(0x5741, text('Veltrix')));
  const video = element(0xE0, element(0xB0, unsigned(width)), element(0xBA, unsigned(height)));
  const track = element(0xAE, element(0xD7, unsigned(1)), element(0x73C5, unsigned(1)), element(0x83, unsigned(1)),
    element(0x86, text(id)), video);
  const tracks = element(0x1654AE6B, track);
  const clusterElements = clusters.map(c => element(0x1F43B675, c.children));
  // A player finds the length and where to seek without reading the whole
  // file: a seek head first names where the info, the tracks and the cues
  // lie, the cues where each cluster starting on a key frame does. Positions
  // count from the segment's body; the seek head's are 8 bytes, so its size
  // is known before them.
  const size = parts => parts.reduce((sum, part) => sum + part.byteLength, 0);
  const seek = (id, position) => element(0x4DBB, element(0x53AB, unsigned(id)), element(0x53AC, number(position, 8)));
  const seekHead = at => element(0x114D9B74, seek(0x1549A966, at.info), seek(0x1654AE6B, at.tracks),
    seek(0x1C53BB6B, at.cues));
  const at = {info: size(seekHead({info: 0, tracks: 0, cues: 0}))};
  at.tracks = at.info + size(info);
  let position = at.tracks + size(tracks);
  const cuePoints = [];
  clusters.forEach((cluster, i) => {
    if (cluster.key)
      cuePoints.push(element(0xBB, element(0xB3, unsigned(cluster.time)),
        element(0xB7, element(0xF7, unsigned(1)), element(0xF1, unsigned(position)))));
    position += size(clusterElements[i]);
  });
  at.cues = position;
  const segment = element(0x18538067, seekHead(at), info, tracks, clusterElements, element(0x1C53BB6B, cuePoints));
  return new Blob(header.concat(segment), {type: 'video/webm'});
}

// A press before the browser has said what it can encode waits for that
// answer, in the order pressed.
function toggle() {
  if (codec === undefined)
    codecKnown.then(toggle);
  else if (recording)
    stop();
  else
    start();
}

keyGuard(event => {
  if (event.key !== 'F9')
    return false;
  toggle();
  return true;
});
button.addEventListener('click', toggle);
