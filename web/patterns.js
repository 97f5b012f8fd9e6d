// The picker of classic patterns: each is a run-length encoded file in
// patterns/ beside the page, fetched and handed to the program as a drop.
// Arrowing through the closed menu chooses at every step: while one pattern
// loads the newest choice waits, and those passed over meanwhile are never
// loaded.
import {dropOutcome, isLoading, loadPattern, unpacked} from './drop.js';
import {say} from './page.js';

const menu = document.getElementById('pattern');
let wanted = ''; // the choice not yet handed over
let working = false;

async function load(file) {
  try {
    const response = await fetch(file, {credentials: 'same-origin'});
    if (!response.ok)
      throw new Error(`the server answered ${response.status}`);
    const {bytes, error} = await unpacked(new Uint8Array(await response.arrayBuffer()));
    if (error)
      throw new Error(error);
    const taken = loadPattern(file.slice(file.lastIndexOf('/') + 1), bytes, {file});
    // The menu stays on the newest choice, not the one now loading: the
    // next arrow moves on from there.
    if (wanted)
      menu.value = wanted;
    if (taken)
      await dropOutcome();
  } catch (error) {
    say(`${file}: ${error.message}`, true);
    menu.value = wanted;
  }
}

async function loadWanted() {
  working = true;
  while (wanted) {
    while (isLoading())
      await dropOutcome();
    const file = wanted;
    wanted = '';
    await load(file);
  }
  working = false;
}

menu.addEventListener('change', () => {
  wanted = menu.value;
  if (!working)
    loadWanted();
});
