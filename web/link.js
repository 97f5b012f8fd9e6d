// The link: index.html?pattern=TEXT (the percent-encoded bytes of a pattern
// file) or ?file=NAME (a pattern file served beside the page, fetched from
// the page's own origin), with &rule=RULE for the rule it runs under, &run=1
// to start auto-iteration, &view=NAME for a camera view and &gen=N for the
// generation to go to. Once start-up is done the pattern goes in as a drop
// (framed, as every pattern opens), then the rule, the view, the generation,
// then Del. "Copy link" makes the link of the board shown.
import {flags} from './controls.js';
import {boardSource, dropOutcome, loadPattern, unpacked} from './drop.js';
import {goToGeneration} from './going.js';
import {afterReady, exportWorld, figuresShown, holdStart, isReady, postKey, say} from './page.js';
import {applyRule, currentRule, worldText} from './rules.js';
import {currentView, showView} from './views.js';

const field = document.getElementById('link');

// Kept as they are in a link: letters, digits and a few marks that mean
// nothing in a query; everything else is percent-encoded byte by byte. The
// last character is always a letter, a digit or an escape, because chat
// programs leave a link's trailing marks ("!", ".") out of it.
const plain = /[A-Za-z0-9\-_.~$,:@\/=]/;

function percentEncode(bytes) {
  let text = '';
  for (let i = 0; i < bytes.length; i++) {
    const c = String.fromCharCode(bytes[i]);
    const last = i === bytes.length - 1;
    if (bytes[i] < 128 && plain.test(c) && !(last && !/[A-Za-z0-9]/.test(c)))
      text += c;
    else
      text += '%' + bytes[i].toString(16).toUpperCase().padStart(2, '0');
  }
  return text;
}

// The bytes a percent-encoded value stands for, or null when a '%' is not
// followed by two hexadecimal digits. '+' is a plus, as in any URL outside
// a form's query.
function percentDecode(text) {
  const encoder = new TextEncoder();
  const out = [];
  for (const part of text.split(/(%[0-9A-Fa-f]{2})/)) {
    if (/^%[0-9A-Fa-f]{2}$/.test(part)) {
      out.push(parseInt(part.slice(1), 16));
    } else {
      if (part.includes('%'))
        return null;
      out.push(...encoder.encode(part));
    }
  }
  return new Uint8Array(out);
}

function parameters(search) {
  const found = {};
  for (const part of search.replace(/^\?/, '').split('&')) {
    if (!part)
      continue;
    const eq = part.indexOf('=');
    found[eq < 0 ? part : part.slice(0, eq)] = eq < 0 ? '' : part.slice(eq + 1);
  }
  return found;
}

// A file beside the page: a relative path of plain names, no "..", no
// scheme or host, so the fetch stays on the page's own origin.
function fileUrl(name) {
  if (!/^[A-Za-z0-9][A-Za-z0-9._-]*(\/[A-Za-z0-9][A-Za-z0-9._-]*)*$/.test(name))
    return null;
  const url = new URL(name, location.href);
  return url.origin === location.origin ? url : null;
}

// Fetches a pattern file served beside the page; resolves to its bytes or
// to {error}.
async function fetchPattern(name) {
  const url = fileUrl(name);
  if (!url)
    return {error: `${name}: not a file beside the page`};
  try {
    const response = await fetch(url, {credentials: 'same-origin'});
    if (!response.ok)
      return {error: `${name}: the server answered ${response.status} ${response.statusText}`.trim()};
    const {bytes, error} = await unpacked(new Uint8Array(await response.arrayBuffer()));
    return error ? {error: `${name}: ${error}`} : {bytes};
  } catch (error) {
    return {error: `${name}: ${error.message}`};
  }
}

// What the address asks for, read once when the page opens. A pattern
// file is fetched while the program loads; the program starts after it.
const asked = parameters(location.search);
let linkPattern = null; // {name, bytes, source} or {error}
if ('pattern' in asked) {
  const name = 'link';
  const encoded = percentDecode(asked.pattern);
  if (encoded) {
    holdStart(unpacked(encoded).then(({bytes, error}) => {
      linkPattern = error ? {error: `The link's pattern is ${error}`}
        : {name, bytes, source: {pattern: bytes}, label: 'The link\'s pattern'};
    }));
  } else {
    linkPattern = {error: 'The link\'s pattern is not percent-encoded text (a "%" without two hexadecimal digits).'};
  }
} else if ('file' in asked) {
  const name = percentDecode(asked.file);
  const text = name ? new TextDecoder().decode(name) : '';
  const fetched = fetchPattern(text).then(result => {
    linkPattern = result.error ? result : {name: text.slice(text.lastIndexOf('/') + 1), bytes: result.bytes,
      source: {file: text}};
  });
  holdStart(fetched);
}

// A pattern is framed as it loads, which makes that its start camera; a
// preset the link names is then played from there, once it has loaded.
afterReady(async () => {
  const text = name => new TextDecoder().decode(percentDecode(asked[name]) || new Uint8Array());
  const view = 'view' in asked ? text('view') : null;
  let taken = true;
  if (linkPattern && linkPattern.error)
    say(linkPattern.error, true);
  else if (linkPattern)
    taken = loadPattern(linkPattern.name, linkPattern.bytes, linkPattern.source, linkPattern.label);
  const loaded = taken && (!linkPattern || (await dropOutcome()));
  // The rule runs the pattern's cells from their generation 0.
  if ('rule' in asked && loaded)
    await applyRule(text('rule'));
  if (view !== null) {
    if (!(await showView(view)))
      say(`The link asks for the view "${view}", which the page does not have.`, true);
  }
  // The generation counts from the link's pattern, under its rule: a
  // pattern that did not load has none to go to.
  if ('gen' in asked && loaded) {
    const generation = /^[0-9]{1,16}$/.test(asked.gen) ? Number(asked.gen) : NaN;
    if (Number.isSafeInteger(generation))
      await goToGeneration(generation);
    else
      say(`The link asks for generation "${text('gen')}", which is no whole number the page can go to.`, true);
  }
  if (asked.run === '1')
    postKey('Delete');
});

// The link of the board shown: its pattern (none for the bundled one), the
// rule chosen for it, the view preset while the camera stays on it (every
// link opens framed: Fit goes without saying), the generation shown when
// past 0, and auto-iteration when on. Cells drawn on the board make it a
// pattern of its own: the program exports the world shown, and the link
// carries its cells and rule, which open at generation 0.
export async function boardLink() {
  const parts = [];
  const board = boardSource();
  const drawn = isReady() && figuresShown().drawn && (await exportWorld()) ? worldText(currentRule(), true) : null;
  if (drawn)
    parts.push('pattern=' + percentEncode(new TextEncoder().encode(drawn)));
  else if (board && board.file)
    parts.push('file=' + percentEncode(new TextEncoder().encode(board.file)));
  else if (board && board.pattern)
    parts.push('pattern=' + percentEncode(board.pattern));
  if (board && board.rule && !drawn)
    parts.push('rule=' + percentEncode(new TextEncoder().encode(board.rule)));
  const view = currentView();
  if (view && view !== 'fit')
    parts.push('view=' + view);
  const {generation} = figuresShown();
  if (!drawn && generation > 0)
    parts.push('gen=' + generation);
  if (flags.autoIterate)
    parts.push('run=1');
  return location.origin + location.pathname + (parts.length ? '?' + parts.join('&') : '');
}

document.getElementById('copy').addEventListener('click', async () => {
  const link = await boardLink();
  field.value = link;
  field.hidden = false;
  const size = link.length > 8192 ? ` (${Math.round(link.length / 1024)} KB: some servers refuse links ` +
    'this long; a file served beside the page makes a short one)' : '';
  try {
    await navigator.clipboard.writeText(link);
    say('Link copied' + size + '.');
  } catch (error) {
    // Outside a secure context (a page served over plain HTTP to another
    // machine) the clipboard API is missing; the selection can still be copied.
    field.select();
    const copied = document.execCommand && document.execCommand('copy');
    say((copied ? 'Link copied' : 'Copy the link from the field below') + size + '.');
  }
});
