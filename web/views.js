// Views: camera presets, each a replay script (the lines of veltrix-replay:
// tick, key NAME [N], mouse DX DY) played from the start camera, so that a
// preset's frames are the desktop's for that script. The program puts the
// camera back where the world shown was first seen from (viewStart) and the
// script is played from there: only the camera moves, the run goes on.
//
// Every start opens on life: the page presses F, so the first picture is the
// world framed, and says what to do first; the start camera stays one
// preset away.
import {isReady, look, on, postKey, say, tick, viewStart} from './page.js';
import {touchScreen} from './touch.js';

const menu = document.getElementById('view');

// Fit and Follow are live: played from wherever the camera is (F frames the
// live cells, T keeps them framed until a look or a move), they never start
// the program again.
export const views = {
  start: {label: 'Start view', script: ''},
  board: {label: 'Whole board', script: 'mouse 0 -260\ntick\nkey down 195'},
  low: {label: 'Low view', script: 'mouse 0 -420\ntick\nkey down 60'},
  fit: {label: 'Fit', script: 'key f', live: true},
  follow: {label: 'Follow', script: 'key t', live: true},
};

const keyNames = {esc: 'Escape', end: 'End', home: 'Home', left: 'ArrowLeft', up: 'ArrowUp', right: 'ArrowRight',
  down: 'ArrowDown', ins: 'Insert', del: 'Delete', f12: 'F12', pgup: 'PageUp', pgdn: 'PageDown', f: 'f', t: 't',
  '+': '+', '-': '-', 'kp+': '+', 'kp-': '-', p: 'p', r: 'r', back: 'Backspace'};

// The view the camera shows: a preset's name, or null once anything else
// (a move key, mouse motion, a drag) has moved it.
let current = 'start';
let playing = false; // the page's own moves do not count as the user's

export const currentView = () => current;

function showCurrent() {
  menu.value = current || '';
}

const hint = touchScreen
  ? 'Tap Run to set it going, drag the picture to look around, or pick one of the Patterns.'
  : 'Press Run (Del) to set it going, drag the picture to look around, or pick one of the Patterns.';

on('ready', () => {
  current = 'start';
  postKey('f');
  say(hint);
});
// The program's F frames, T turns following on or off, and every move ends
// following.
on('key', name => {
  if (playing)
    return;
  if (name === 'f' || name === 'F')
    current = 'fit';
  else if (name === 't' || name === 'T')
    current = current === 'follow' ? null : 'follow';
  else if (name.startsWith('Arrow') || name.startsWith('Page'))
    current = null;
  else
    return;
  showCurrent();
});
// A pattern framed as it loads shows the Fit view (following goes on).
on('loaded', () => {
  if (current !== 'follow') {
    current = 'fit';
    showCurrent();
  }
});
on('look', () => {
  if (!playing) {
    current = null;
    showCurrent();
  }
});

// The program's queue holds 64 messages; a preset's long run of keys waits
// for it to take the ones before, as a held key's repeats do.
async function press(name) {
  while (!postKey(name)) {
    if (!isReady())
      return;
    await new Promise(resolve => setTimeout(resolve, 0));
  }
}

async function play(script) {
  playing = true;
  try {
    for (const line of script.split('\n')) {
      const [kind, a, b] = line.trim().split(/\s+/);
      if (kind === 'tick') {
        for (let i = 0; i < Number(a || 1); i++)
          await tick();
      } else if (kind === 'key') {
        for (let i = 0; i < Number(b || 1); i++)
          await press(keyNames[a]);
      } else if (kind === 'mouse') {
        look(Number(a), Number(b));
      }
    }
  } finally {
    playing = false;
  }
}

// Shows view NAME; resolves to 0 when there is no such view, else to 1
// once its script has been played.
export async function showView(name) {
  const view = Object.prototype.hasOwnProperty.call(views, name) ? views[name] : null;
  if (!view)
    return 0;
  if (current === name && name !== 'fit')
    return 1;
  if (!view.live)
    viewStart();
  await play(view.script);
  current = name;
  showCurrent();
  return 1;
}

for (const [name, view] of Object.entries(views)) {
  const option = document.createElement('option');
  option.value = name;
  option.textContent = view.label;
  menu.appendChild(option);
}
menu.addEventListener('change', () => {
  if (menu.value && isReady())
    showView(menu.value);
  else
    showCurrent();
});
