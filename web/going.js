// Going far: a field for the generation to go to (as G, its digits and Enter
// take the world there, over as many ticks as the work needs), Stop while the
// world is on its way (as Esc stops it in the program), and the engine button
// (H), which names the engine the world is on. What shows follows the
// program's frames, whatever asked for it: the field, G typed on the picture,
// a link's gen=N.
import {isLoading} from './drop.js';
import {cancelLoad, figuresShown, goTo, isReady, on, say} from './page.js';

const field = document.getElementById('go-to');
const goButton = document.getElementById('go');
const stopButton = document.getElementById('go-stop');
const engineButton = document.getElementById('engine');

// The program's state as its last frame showed it.
const state = {going: 0, hashlife: 0};

export const farState = () => ({...state});

function showState() {
  stopButton.hidden = !state.going;
  engineButton.textContent = state.hashlife ? 'Hashlife' : 'Tile engine';
  engineButton.setAttribute('aria-pressed', String(!!state.hashlife));
}

// The generation typed, or null with the reason said: only whole numbers
// of decimal digits the page can hand over exactly (at most 2^53 - 1).
function typedGeneration() {
  const text = field.value.trim().replace(/[,_ ]/g, '');
  const generation = /^[0-9]+$/.test(text) ? Number(text) : NaN;
  const ok = Number.isSafeInteger(generation);
  field.classList.toggle('wrong', !ok);
  if (!ok)
    say(text ? `"${field.value.trim()}" is no generation the page can go to: a whole number up to ` +
      `${Number.MAX_SAFE_INTEGER.toLocaleString('en')}.` : 'Type the generation to go to first.', true);
  return ok ? generation : null;
}

// The generation asked for from the page and the frame count after which
// the frames show the program going there (or where it ended); null once
// they have.
let asked = null;

// Goes to GENERATION; resolves to 1 once the program has it, 0 (said why)
// when it cannot take it.
export async function goToGeneration(generation) {
  const after = await goTo(generation);
  if (after < 0) {
    if (!Number.isSafeInteger(generation) || generation < 0)
      say(`No generation the page can go to: ${generation}.`, true);
    else if (!isReady())
      say('Veltrix is not running: start it again first.', true);
    else
      say('The program has too much to take just now: try again in a moment.', true);
    return 0;
  }
  asked = {generation, after};
  say(`Going to generation ${generation.toLocaleString('en')}…`);
  return 1;
}

function goToTyped() {
  const generation = typedGeneration();
  if (generation !== null)
    goToGeneration(generation);
}

goButton.addEventListener('click', goToTyped);
field.addEventListener('keydown', event => {
  if (event.key === 'Enter') {
    event.preventDefault();
    goToTyped();
  }
});
field.addEventListener('input', () => field.classList.remove('wrong'));
stopButton.addEventListener('click', cancelLoad);

// Esc stops the going, or closes G's question, as in the program (which
// itself never sees Esc on the page). The help and a load's Stop take it
// first; a load too quick to show Stop is let be.
window.addEventListener('keydown', event => {
  if (event.key === 'Escape' && !event.defaultPrevented && isReady() && !isLoading())
    cancelLoad();
});

on('ready', () => {
  state.going = 0;
  state.hashlife = 0;
  showState();
});
// Where the going ended: the generation asked for, or short of it (Stop, or
// the reason the picture shows).
function arrived(generation) {
  const target = asked ? asked.generation : null;
  asked = null;
  if (target === null || generation === target)
    say(`At generation ${generation.toLocaleString('en')}.`);
  else
    say(`Stopped at generation ${generation.toLocaleString('en')} (the picture says why).`);
}

on('shown', () => {
  const {switches, frames, generation} = figuresShown();
  if (switches < 0 || (asked && frames <= asked.after))
    return;
  const going = (switches >> 4) & 1;
  if (!going && (state.going || asked) && !isLoading())
    arrived(generation);
  state.going = going;
  state.hashlife = (switches >> 5) & 1;
  showState();
});
on('ended', () => {
  asked = null;
  state.going = 0;
  showState();
});
