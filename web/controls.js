// Controls without a keyboard: buttons for the program's keys, a move pad
// whose buttons repeat while held as a held key does, and dragging on the
// picture (a mouse button held, or one finger) to look around, the wheel and
// a two-finger pinch to zoom (PgUp, PgDn). Each posts
// the message of its key or the motion of the mouse, so the frames are the
// ones those keys and that motion give. A click on the picture without a drag
// still locks the pointer for mouse look.
import {figuresShown, isReady, isRunning, look, on, options, postKey} from './page.js';

const canvas = document.getElementById('canvas');
const runButton = document.getElementById('run');
const filteringButton = document.getElementById('filtering');

// A held key repeats after half a second, then thirty times a second;
// window.veltrixOptions.keyRepeat ([delay, interval] in milliseconds) sets
// other times (the browser tests keep a click from ever repeating).
const [repeatDelay, repeatInterval] = options.keyRepeat || [500, 33];

// The program's two switches: as each frame shows them, whatever turned them
// (a key, a button, R, a load), and in between as the keys posted since
// turn them.
export const flags = {autoIterate: 0, filtering: 1};

function showFlags() {
  runButton.textContent = flags.autoIterate ? 'Pause' : 'Run';
  runButton.setAttribute('aria-pressed', String(!!flags.autoIterate));
  filteringButton.setAttribute('aria-pressed', String(!!flags.filtering));
}

on('ready', () => {
  flags.autoIterate = 0;
  flags.filtering = 1;
  showFlags();
});
on('key', name => {
  if (name === 'Delete')
    flags.autoIterate ^= 1;
  else if (name === 'End')
    flags.filtering ^= 1;
  showFlags();
});
on('shown', () => {
  const {switches} = figuresShown();
  if (switches < 0)
    return;
  flags.autoIterate = switches & 1;
  flags.filtering = (switches >> 1) & 1;
  showFlags();
});
// Nothing runs once the program has ended.
on('ended', () => {
  flags.autoIterate = 0;
  showFlags();
});

// Buttons with data-hold repeat while the pointer holds them; the others
// post their key once per click. A button worked from the keyboard (Enter,
// Space: a click without a pointer) posts once.
for (const button of document.querySelectorAll('button[data-key]')) {
  const key = button.dataset.key;
  if (!('hold' in button.dataset)) {
    button.addEventListener('click', () => postKey(key));
    continue;
  }
  let timer = 0;
  const stop = () => {
    clearTimeout(timer);
    clearInterval(timer);
    timer = 0;
    button.classList.remove('held');
  };
  button.addEventListener('pointerdown', event => {
    if (event.button !== 0 || timer)
      return;
    event.preventDefault();
    button.setPointerCapture(event.pointerId);
    button.classList.add('held');
    postKey(key);
    timer = setTimeout(() => {
      timer = setInterval(() => {
        if (isReady())
          postKey(key);
        else
          stop();
      }, repeatInterval);
    }, repeatDelay);
  });
  for (const end of ['pointerup', 'pointercancel', 'lostpointercapture'])
    button.addEventListener(end, stop);
  button.addEventListener('click', event => {
    if (event.detail === 0)
      postKey(key);
  });
  button.addEventListener('contextmenu', event => event.preventDefault());
  on('ended', stop);
}

// Dragging: one pointer at a time, its motion turned into frame pixels
// (the canvas may be shown larger or smaller than 640 x 480). What goes to
// the program is the whole drag so far, rounded, less what went before, so
// no part of a pixel is lost along the way.
let drag = null;
let dragged = false; // the last press moved: its click locks nothing

// Two fingers pinch: each time their distance grows by a quarter the camera
// comes closer (PgDn), each time it shrinks by a fifth it backs away (PgUp),
// the shares the program moves by. A second finger ends the first one's drag.
const fingers = new Map(); // pointerId -> {x, y}
let pinch = 0; // the distance the last zoom step was measured from; 0: no pinch

const spread = () => {
  const [a, b] = [...fingers.values()];
  return Math.hypot(a.x - b.x, a.y - b.y);
};

canvas.addEventListener('pointerdown', event => {
  if (event.pointerType !== 'touch')
    return;
  fingers.set(event.pointerId, {x: event.clientX, y: event.clientY});
  if (fingers.size === 2) {
    drag = null;
    pinch = spread() || 1;
  }
});

canvas.addEventListener('pointermove', event => {
  if (!fingers.has(event.pointerId))
    return;
  fingers.set(event.pointerId, {x: event.clientX, y: event.clientY});
  if (fingers.size !== 2 || !pinch)
    return;
  const distance = spread();
  while (distance >= pinch * 1.25 && postKey('PageDown'))
    pinch *= 1.25;
  while (distance <= pinch * 0.8 && postKey('PageUp'))
    pinch *= 0.8;
});

for (const end of ['pointerup', 'pointercancel']) {
  canvas.addEventListener(end, event => {
    fingers.delete(event.pointerId);
    if (fingers.size < 2)
      pinch = 0;
  });
}

// The wheel zooms: a notch (100 pixels of scrolling, three lines) away from
// the point looked at is PgUp, towards it PgDn. Smaller steps, a touchpad's,
// add up.
let wheelSum = 0;
canvas.addEventListener('wheel', event => {
  if (!isReady())
    return;
  event.preventDefault();
  const perUnit = [1, 100 / 3, 800][event.deltaMode] || 1;
  wheelSum += event.deltaY * perUnit;
  for (; wheelSum >= 100; wheelSum -= 100)
    postKey('PageUp');
  for (; wheelSum <= -100; wheelSum += 100)
    postKey('PageDown');
}, {passive: false});

canvas.addEventListener('pointerdown', event => {
  if (drag || fingers.size > 1 || document.pointerLockElement === canvas || (event.pointerType === 'mouse' && event.button !== 0))
    return;
  drag = {id: event.pointerId, startX: event.clientX, startY: event.clientY, sentX: 0, sentY: 0};
  dragged = false;
  canvas.setPointerCapture(event.pointerId);
  canvas.focus();
  event.preventDefault();
});

canvas.addEventListener('pointermove', event => {
  if (!drag || event.pointerId !== drag.id || fingers.size > 1 || document.pointerLockElement === canvas)
    return;
  const scale = canvas.width / canvas.getBoundingClientRect().width;
  const moveX = event.clientX - drag.startX;
  const moveY = event.clientY - drag.startY;
  if (Math.abs(moveX) + Math.abs(moveY) > 3)
    dragged = true;
  const x = Math.round(moveX * scale);
  const y = Math.round(moveY * scale);
  look(x - drag.sentX, y - drag.sentY);
  drag.sentX = x;
  drag.sentY = y;
});

for (const end of ['pointerup', 'pointercancel']) {
  canvas.addEventListener(end, event => {
    if (drag && event.pointerId === drag.id)
      drag = null;
  });
}

// Mouse look with the pointer locked needs a click on the picture first;
// only a click may ask for the lock.
canvas.addEventListener('click', event => {
  if (!dragged && event.pointerType !== 'touch' && isRunning() && document.pointerLockElement !== canvas)
    canvas.requestPointerLock();
});
