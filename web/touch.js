// The page on a touch screen (a coarse pointer that cannot hover: a phone or
// a tablet). The program names the buttons in its picture instead of keys
// (the page tells it at start-up), and a screenshot becomes a PNG offered to the
// system's share sheet, where the user can save it, or else downloaded.
import {offerDownload} from './downloads.js';

export const touchScreen = window.matchMedia('(pointer: coarse) and (hover: none)').matches;

// The pixels of the 24-bit BMP the program writes (rows bottom up, each
// padded to 4 bytes) as ImageData, or null when the file is not such a BMP.
function bmpPixels(bytes) {
  if (bytes.length < 54 || bytes[0] !== 0x42 || bytes[1] !== 0x4D)
    return null;
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const offset = view.getUint32(10, true);
  const width = view.getInt32(18, true);
  const height = view.getInt32(22, true);
  const stride = (width * 3 + 3) & ~3;
  if (view.getUint16(28, true) !== 24 || width < 1 || height < 1 || width > 4096 || height > 4096 ||
      offset + stride * height > bytes.length)
    return null;
  const image = new ImageData(width, height);
  for (let y = 0; y < height; y++) {
    const row = offset + (height - 1 - y) * stride;
    for (let x = 0; x < width; x++) {
      const at = 4 * (y * width + x);
      image.data[at] = bytes[row + 3 * x + 2];
      image.data[at + 1] = bytes[row + 3 * x + 1];
      image.data[at + 2] = bytes[row + 3 * x];
      image.data[at + 3] = 255;
    }
  }
  return image;
}

// The screenshot NAME.bmp as NAME.png: shared where the browser can share
// files, else saved as a download; listed under Downloads either way.
export async function offerPicture(name, bmp) {
  const image = bmpPixels(bmp);
  if (!image) {
    offerDownload(name, bmp, 'image/bmp');
    return;
  }
  const canvas = new OffscreenCanvas(image.width, image.height);
  canvas.getContext('2d').putImageData(image, 0, 0);
  const png = await canvas.convertToBlob({type: 'image/png'});
  const file = new File([png], name.replace(/\.bmp$/, '.png'), {type: 'image/png'});
  let shared = false;
  if (navigator.canShare && navigator.canShare({files: [file]})) {
    try {
      await navigator.share({files: [file], title: file.name});
      shared = true;
    } catch (error) {
      // The user closed the share sheet: nothing more to do. Without the
      // permission (the tap too long ago) the download below stands in.
      shared = error.name === 'AbortError';
    }
  }
  offerDownload(file.name, png, 'image/png', !shared);
}
