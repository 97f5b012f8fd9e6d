// Recording on the page: F9 or the Record button starts and stops it. The
// browser's own encoder (MediaRecorder, WebM) takes the canvas as it is
// shown; the finished file joins the downloads, named as the screenshots are
// ("Recording 0.webm", "Recording 1.webm", ...). The program never sees F9.
import {offerDownload} from './downloads.js';
import {keyGuard, say} from './page.js';

const canvas = document.getElementById('canvas');
const button = document.getElementById('record');
// The encoded chunks are held in memory until the end: past this they stop.
const maxBytes = 256 * 1024 * 1024;
let recorder = null;
let recorded = 0;

function videoType() {
  if (typeof MediaRecorder === 'undefined' || !canvas.captureStream)
    return '';
  return ['video/webm;codecs=vp9', 'video/webm;codecs=vp8', 'video/webm'].find(t => MediaRecorder.isTypeSupported(t))
    || '';
}

function start() {
  const type = videoType();
  if (!type) {
    say('This browser cannot record the picture.', true);
    return;
  }
  // The program presents a frame every 20 ms.
  const stream = canvas.captureStream(50);
  const chunks = [];
  let bytes = 0;
  let full = false;
  const current = new MediaRecorder(stream, {mimeType: type});
  current.addEventListener('dataavailable', event => {
    if (!event.data.size)
      return;
    chunks.push(event.data);
    bytes += event.data.size;
    if (bytes > maxBytes && current.state === 'recording') {
      full = true;
      stop();
    }
  });
  current.addEventListener('stop', () => {
    for (const track of stream.getTracks())
      track.stop();
    const name = `Recording${recorded.toString(16).padStart(2, ' ')}.webm`;
    recorded++;
    offerDownload(name, new Blob(chunks, {type: 'video/webm'}), 'video/webm');
    say(full ? `${name} stopped at its size limit of 256 MiB.` : `Saved ${name}.`, full);
  });
  // A chunk a second, so the size limit is seen while recording.
  current.start(1000);
  recorder = current;
  button.setAttribute('aria-pressed', 'true');
  say('Recording: F9 or Record stops.');
}

function stop() {
  recorder.stop();
  recorder = null;
  button.setAttribute('aria-pressed', 'false');
}

function toggle() {
  if (recorder)
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
