// The help overlay: opened by the "?" button or the "?" key, closed by Esc or
// a click anywhere on it. Esc closes only the overlay: the program, which
// Esc would end, never sees that key.
import {keyGuard} from './page.js';

const help = document.getElementById('help');
const canvas = document.getElementById('canvas');

function open() {
  if (document.pointerLockElement)
    document.exitPointerLock();
  help.hidden = false;
  help.focus();
}

function close() {
  help.hidden = true;
  canvas.focus();
}

keyGuard(event => {
  if (!help.hidden && event.key === 'Escape') {
    close();
    return true;
  }
  if (event.key === '?' && !/^(INPUT|SELECT|TEXTAREA)$/.test(event.target.tagName || '')) {
    if (help.hidden)
      open();
    else
      close();
    return true;
  }
  return false;
});
help.addEventListener('click', close);
document.getElementById('help-open').addEventListener('click', open);
