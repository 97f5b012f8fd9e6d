// The help overlay: opened by the "?" button or the "?" key, closed by Esc or
// a click anywhere on it. Esc closes only the overlay: the program, which
// Esc would end, never sees that key. While it is open the focus stays in
// it (Tab goes round its controls); closed, it goes back where it was.
import {keyGuard} from './page.js';

const help = document.getElementById('help');
const canvas = document.getElementById('canvas');
let returnTo = null; // what had the focus when the help opened

function open() {
  if (document.pointerLockElement)
    document.exitPointerLock();
  returnTo = document.activeElement && document.activeElement !== document.body ? document.activeElement : canvas;
  help.hidden = false;
  help.focus();
}

function close() {
  help.hidden = true;
  returnTo.focus();
}

// The next of the help's controls after (or, with Shift, before) the one
// with the focus, round from the last to the first.
function cycle(backwards) {
  const stops = [...help.querySelectorAll('button, a[href], input, select, [tabindex="0"]')];
  const at = stops.indexOf(document.activeElement);
  const next = at < 0 ? (backwards ? stops.length - 1 : 0) : (at + (backwards ? -1 : 1) + stops.length) % stops.length;
  (stops[next] || help).focus();
}

keyGuard(event => {
  if (!help.hidden && event.key === 'Escape') {
    close();
    return true;
  }
  if (!help.hidden && event.key === 'Tab') {
    cycle(event.shiftKey);
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
