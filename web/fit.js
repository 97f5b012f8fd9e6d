// The picture's size on the page. The frame is 640 x 480, always 4 : 3,
// above the controls. Scaled smoothly (the "Smooth" button pressed, as it
// starts) it fills the room the window leaves it, full screen included.
// With sharp pixels it is shown, where device pixels are large (a pixel
// ratio under 2), at a whole number of them per frame pixel when the window
// has room, else shrunk to fit; on denser screens (phones) uneven pixels do
// not show, so it fills the room there too. The choice is remembered.
// Engine.log's panel starts folded on small screens.
import {say} from './page.js';

const canvas = document.getElementById('canvas');
const app = document.getElementById('app');
const screen = document.getElementById('screen');
const controls = document.getElementById('controls');
const smooth = document.getElementById('smooth');
const stored = 'veltrix.scaling';

// Storage may be refused (a private window, a sandboxed frame): the choice
// then lasts as long as the page.
function remembered() {
  try {
    return window.localStorage.getItem(stored);
  } catch {
    return null;
  }
}

function remember(value) {
  try {
    window.localStorage.setItem(stored, value);
  } catch {
    // Kept for this page only.
  }
}

let isSmooth = remembered() !== 'sharp';

function fitCanvas() {
  const ratio = window.devicePixelRatio || 1;
  const width = screen.clientWidth * ratio;
  const height = (window.innerHeight - controls.offsetHeight) * ratio;
  let scale = Math.max(0, Math.min(width / canvas.width, height / canvas.height));
  if (!isSmooth && scale >= 1 && ratio < 2)
    scale = Math.floor(scale);
  canvas.style.width = (canvas.width * scale) / ratio + 'px';
  canvas.style.height = (canvas.height * scale) / ratio + 'px';
  canvas.style.imageRendering = isSmooth ? 'auto' : 'pixelated';
  smooth.setAttribute('aria-pressed', String(isSmooth));
}

smooth.addEventListener('click', () => {
  isSmooth = !isSmooth;
  remember(isSmooth ? 'smooth' : 'sharp');
  fitCanvas();
});
window.addEventListener('resize', fitCanvas);
document.addEventListener('fullscreenchange', fitCanvas);
new ResizeObserver(fitCanvas).observe(controls);
fitCanvas();

// Full screen takes the controls along: on a phone they are the keyboard.
document.getElementById('fullscreen').addEventListener('click', () => {
  if (document.fullscreenElement)
    document.exitFullscreen();
  else
    app.requestFullscreen().catch(error => say('Full screen refused: ' + error.message, true));
});

if (window.matchMedia('(max-width: 720px)').matches)
  document.getElementById('log-panel').open = false;
