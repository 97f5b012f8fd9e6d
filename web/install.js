// The page as an app: its manifest is linked from index.html, and its
// service worker (sw.js) keeps the files for use offline and makes the page
// cross-origin isolated from the next load on, where the server does not.
// window.veltrixOptions.serviceWorker false leaves it out (the browser tests
// do, but for the test of the worker itself).
import {options} from './page.js';

if ('serviceWorker' in navigator && options.serviceWorker !== false) {
  navigator.serviceWorker.register('sw.js')
    .catch(error => console.warn('The page cannot be kept for use offline: ' + error.message));
}
