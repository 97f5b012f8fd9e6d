// The state drawing gives on a world of more than two states: a menu beside
// the Draw button, shown only on such a world, that follows the program's
// word (C cycles it) and picks a state for it; and the figures' word for what
// the live-cell count counts there, every state but 0.
import {figuresShown, on, pickDrawState} from './page.js';

const menu = document.getElementById('state');
const unit = document.getElementById('population-unit');
let offered = 0; // the world's states the menu has options for
let picked = 0;  // the state chosen here and not yet shown by a frame; 0 for none

function show() {
  const packed = figuresShown().states;
  const states = packed & 0xffff;
  const drawn = packed >>> 16;
  if (states !== offered) {
    offered = states;
    picked = 0;
    const options = [];
    for (let s = 1; s < states; s++)
      options.push(new Option(`Draw state ${s}`, String(s)));
    menu.replaceChildren(...options);
    menu.hidden = states <= 2;
    unit.textContent = states > 2 ? `live cells (states 1 to ${states - 1})` : 'live cells';
  }
  if (picked === drawn)
    picked = 0;
  if (states > 2)
    menu.value = String(picked || drawn);
}

on('shown', show);
// C, or a new world, turns the state from the program's side.
on('key', name => {
  if (name === 'c' || name === 'C')
    picked = 0;
});
on('loaded', () => {
  picked = 0;
});
menu.addEventListener('change', () => {
  picked = Number(menu.value);
  pickDrawState(picked);
});
