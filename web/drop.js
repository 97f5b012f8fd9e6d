// Dropping a pattern file on the page: the file is written into the in-memory
// folder /drop under its own name, and the program is handed its path through
// the exported function webDropFile(path): between two frames the program
// converts it and starts the board again on it, or leaves the board running
// and shows the converter's message on the canvas and in Engine.log.
'use strict';

(function () {
  const page = window.veltrixPage;

  document.addEventListener('dragover', event => {
    event.preventDefault();
    document.body.classList.add('dragging');
  });
  document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));

  document.addEventListener('drop', async event => {
    event.preventDefault();
    document.body.classList.remove('dragging');
    const file = event.dataTransfer.files[0];
    if (!file || !window.Module || !Module.FS)
      return;
    if (typeof Module._webDropFile !== 'function') {
      page.say('This build cannot load dropped patterns.', true);
      return;
    }
    const FS = Module.FS;
    const path = '/drop/' + file.name.replace(/[\/\\]/g, '_');
    if (!FS.analyzePath('/drop').exists)
      FS.mkdir('/drop');
    FS.writeFile(path, new Uint8Array(await file.arrayBuffer()));
    if (!Module.ccall('webDropFile', 'number', ['string'], [path]))
      page.say('The program is busy with the last dropped file; drop this one again in a moment.', true);
  });
})();
