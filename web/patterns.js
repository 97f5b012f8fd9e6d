// The picker of classic patterns: each is a run-length encoded file in
// patterns/ beside the page, fetched and handed to the program as a drop.
import {loadPattern, unpacked} from './drop.js';
import {say} from './page.js';

const menu = document.getElementById('pattern');

menu.addEventListener('change', async () => {
  const file = menu.value;
  if (!file)
    return;
  try {
    const response = await fetch(file, {credentials: 'same-origin'});
    if (!response.ok)
      throw new Error(`the server answered ${response.status}`);
    const {bytes, error} = await unpacked(new Uint8Array(await response.arrayBuffer()));
    if (error)
      throw new Error(error);
    loadPattern(file.slice(file.lastIndexOf('/') + 1), bytes, {file}, true);
  } catch (error) {
    say(`${file}: ${error.message}`, true);
    menu.value = '';
  }
});
