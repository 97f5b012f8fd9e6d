// Drawing cells: the Draw button (E) turns drawing on and off, and while it
// is on a press on the picture (a mouse button, a finger or a pen) is the
// program's left button at that frame pixel, its motion a drag that paints.
// These listeners sit on the window in the capture phase, so while drawing
// the picture's looking, pinching and pointer lock never see the press.
import {figuresShown, on, pointer} from './page.js';

const canvas = document.getElementById('canvas');
const button = document.getElementById('draw');

// Drawing as far as the page has seen E pressed; each start turns it off.
let drawing = false;
let press = null; // {id, x, y}: the pointer held on the picture and where it was last posted

const MOUSE_MOVE = 0x0200, BUTTON_DOWN = 0x0201, BUTTON_UP = 0x0202;

function show() {
  button.setAttribute('aria-pressed', String(drawing));
}

on('ready', () => {
  drawing = false;
  press = null;
  show();
});
on('key', name => {
  if (name === 'e' || name === 'E') {
    drawing = !drawing;
    press = null;
    show();
  }
});
// The program's own word, once it has taken the keys posted.
on('shown', () => {
  const {switches} = figuresShown();
  if (switches < 0 || !!(switches & 4) === drawing)
    return;
  drawing = !drawing;
  press = null;
  show();
});

// The pointer in frame pixels (the canvas may be shown at another size),
// rounded down.
function framePoint(event) {
  const box = canvas.getBoundingClientRect();
  return [Math.floor((event.clientX - box.left) * canvas.width / box.width),
    Math.floor((event.clientY - box.top) * canvas.height / box.height)];
}

function post(message, [x, y]) {
  pointer(message, x, y);
}

const mine = event => drawing && event.target === canvas;

window.addEventListener('pointerdown', event => {
  if (!mine(event))
    return;
  event.stopPropagation();
  event.preventDefault();
  if (press || (event.pointerType === 'mouse' && event.button !== 0))
    return;
  const point = framePoint(event);
  press = {id: event.pointerId, point};
  canvas.setPointerCapture(event.pointerId);
  canvas.focus();
  post(BUTTON_DOWN, point);
}, true);

window.addEventListener('pointermove', event => {
  if (!mine(event))
    return;
  event.stopPropagation();
  if (!press || event.pointerId !== press.id)
    return;
  const point = framePoint(event);
  if (point[0] !== press.point[0] || point[1] !== press.point[1]) {
    press.point = point;
    post(MOUSE_MOVE, point);
  }
}, true);

for (const end of ['pointerup', 'pointercancel']) {
  window.addEventListener(end, event => {
    if (!mine(event))
      return;
    event.stopPropagation();
    if (!press || event.pointerId !== press.id)
      return;
    post(BUTTON_UP, end === 'pointerup' ? framePoint(event) : press.point);
    press = null;
  }, true);
}

// A click would ask for the pointer lock.
window.addEventListener('click', event => {
  if (mine(event))
    event.stopPropagation();
}, true);
