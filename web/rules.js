// The rule choice: the board shown starts again from its first generation
// (the cells the program exports as its Life.ini) under the rule chosen, the
// cells where they lie.
// They go as any pattern does, as a dropped run-length file naming the rule,
// so the program's own converter judges the rule. The 64 x 64 board becomes
// a 64 x 64 plane of that rule, dead beyond its edges as the board is; a
// universe keeps its grid.
import {boardSource, dropOutcome, loadPattern} from './drop.js';
import {exportWorld, figuresShown, on, readFile as programFile, say} from './page.js';

const menu = document.getElementById('rule');
const other = menu.options[0];

// What a rule may hold: B/S digits, Hensel's letters, MAP strings, a grid
// suffix. Nothing that could end the run-length file's header line.
const ruleText = /^[A-Za-z0-9\/+:,*-]{1,400}$/;

const readFile = name => programFile('/export/' + name, 'utf8') || '';

const namesUniverse = text => /^\s*(B|b|MAP)/.test(text);

// The rule running now, without its grid: the last one loaded or, when the
// frames have named one since, theirs.
let loadedRule = null;
let shownRule = null;

export function currentRule() {
  return (loadedRule || figuresShown().rule || 'B3/S23').split(':')[0];
}

function showRule() {
  const rule = currentRule();
  const listed = [...menu.options].some(option => option.value && option.value === rule);
  menu.value = listed ? rule : '';
  other.textContent = listed ? 'Rule…' : `Rule ${rule}`;
}
on('ready', showRule);
on('loaded', rule => {
  loadedRule = rule;
  showRule();
});
on('shown', rule => {
  if (rule === shownRule)
    return;
  shownRule = rule;
  loadedRule = null;
  showRule();
});

// The live cells of the exported Life.ini's layer 0 (on the board, those on
// it), as [x, y] pairs.
function lifeCells(onBoard) {
  const numbers = readFile('Life.ini').split(/\s+/).filter(Boolean);
  const count = Number(numbers[0]) || 0;
  const cells = [];
  for (let i = 0; i < count && 3 * i + 3 < numbers.length; i++) {
    const [x, y, z] = numbers.slice(3 * i + 1, 3 * i + 4).map(Number);
    if (![x, y, z].every(Number.isInteger))
      break;
    if (z === 0 && (!onBoard || (x >= 0 && x < 64 && y >= 0 && y < 64)))
      cells.push([x, y]);
  }
  return cells;
}

// Run-length text of the cells, its box's top-left cell placed by a #CXRLE
// line, lines of at most 70 characters.
function runLength(cells, rule) {
  cells.sort((a, b) => a[1] - b[1] || a[0] - b[0]);
  const left = cells.reduce((least, c) => Math.min(least, c[0]), Infinity);
  const right = cells.reduce((most, c) => Math.max(most, c[0]), -Infinity);
  const top = cells[0][1];
  const bottom = cells[cells.length - 1][1];
  const run = (n, tag) => (n > 1 ? n : '') + tag;
  let body = '';
  let row = top;
  let x = left;
  for (let i = 0; i < cells.length;) {
    const [cx, cy] = cells[i];
    if (cy > row) {
      body += run(cy - row, '$');
      row = cy;
      x = left;
    }
    let end = i + 1;
    while (end < cells.length && cells[end][1] === cy && cells[end][0] === cx + (end - i))
      end++;
    body += (cx > x ? run(cx - x, 'b') : '') + run(end - i, 'o');
    x = cx + (end - i);
    i = end;
  }
  return `#CXRLE Pos=${left},${top}\nx = ${right - left + 1}, y = ${bottom - top + 1}, rule = ${rule}\n` +
    (body + '!').match(/.{1,70}/g).join('\n') + '\n';
}

// The cells of the exported Life.ini as run-length text under RULE, on the
// grid its Rules.ini names unless RULE names one (the board a 64 x 64 plane);
// null when no cell lives.
export function worldText(rule) {
  const rules = readFile('Rules.ini');
  const universe = namesUniverse(rules);
  const grid = universe ? (rules.trim().split(/\s/)[0].match(/:.*$/) || [''])[0] : ':P64,64';
  const cells = lifeCells(!universe).map(([x, y]) => (universe ? [x, y] : [x - 32, y - 32]));
  return cells.length ? runLength(cells, rule.includes(':') ? rule : rule + grid) : null;
}

// Runs the board shown from its first generation under RULE. Resolves to
// true once the program has taken it.
export async function applyRule(rule) {
  if (!ruleText.test(rule)) {
    say(`"${rule}" is not a rule.`, true);
    return false;
  }
  const text = (await exportWorld(true)) ? worldText(rule) : null;
  if (!text) {
    say('The board has no live cells to run under another rule.', true);
    return false;
  }
  const source = {...(boardSource() || {}), rule};
  if (!loadPattern('board.rle', new TextEncoder().encode(text), source, `The board under ${rule}`))
    return false;
  return dropOutcome();
}

menu.addEventListener('change', async () => {
  if (!(await applyRule(menu.value)))
    showRule();
});
