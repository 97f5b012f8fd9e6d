// The downloads list under the picture: every file the page offers (a
// screenshot, a recording, the span chart) joins it, newest first. Its own
// module so that the page and the modules it starts (touch.js, record.js)
// offer files without importing each other.
const downloads = document.getElementById('downloads');

// Offers bytes (or a Blob) as a file in the downloads list, and saves it
// unless SAVE is false.
export function offerDownload(name, bytes, type, save = true) {
  const url = URL.createObjectURL(new Blob([bytes], {type}));
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  link.textContent = name;
  const item = document.createElement('li');
  item.appendChild(link);
  downloads.prepend(item);
  if (save)
    link.click();
}
