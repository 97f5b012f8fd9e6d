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

// Fetches a classic beside the page and hands it to the program as a drop.
// Resolves to whether it loaded; a fault is said in the status line. AFTER
// runs once the drop is handed over, before its outcome.
export async function loadClassic(file, after = () => {}) {
  try {
    const response = await fetch(file, {credentials: 'same-origin'});
    if (!response.ok)
      throw new Error(`the server answered ${response.status}`);
    const {bytes, error} = await unpacked(new Uint8Array(await response.arrayBuffer()));
    if (error)
      throw new Error(error);
    const taken = loadPattern(file.slice(file.lastIndexOf('/') + 1), bytes, {file});
    after();
    return taken ? await dropOutcome() : false;
  } catch (error) {
    say(`${file}: ${error.message}`, true);
    return false;
  }
}

// The menu stays on the newest choice, not the one now loading: the next
// arrow moves on from there. A file that never reached the program leaves
// the menu on the newest choice too, or on none.
async function load(file) {
  let handed = false;
  await loadClassic(file, () => {
    handed = true;
    if (wanted)
      menu.value = wanted;
  });
  if (!handed)
    menu.value = wanted;
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
