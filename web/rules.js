// The rule choice: the board shown starts again from its first generation
// (the cells the program exports as its Life.ini) under the rule chosen, the
// cells where they lie.
// They go as any pattern does, as a dropped run-length file naming the rule,
// so the program's own converter judges the rule. The 64 x 64 board becomes
// a 64 x 64 plane of that rule, dead beyond its edges as the board is; a
// universe keeps its grid. The families of more states (Generations, Larger
// than Life, WireWorld, LifeHistory) offer a classic each instead: the
// pattern, which names its rule.
import {boardSource, dropOutcome, loadPattern} from './drop.js';
import {exportWorld, figuresShown, on, readFile as programFile, say} from './page.js';
import {loadClassic} from './patterns.js';

const menu = document.getElementById('rule');
const other = menu.options[0];

// What a rule may hold: B/S digits, Hensel's letters, MAP strings, Larger
// than Life's ranges, a rule file's name, a grid suffix. Nothing that could
// end the run-length file's header line.
const ruleText = /^[A-Za-z0-9\/+:,*._-]{1,400}$/;

const readFile = name => programFile('/export/' + name, 'utf8') || '';

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
// it), as [x, y, state]: "x y 0" lines a cell of state 1, "x y 0 s" lines
// (a world of more states) a cell of state s.
function lifeCells(onBoard) {
  const lines = readFile('Life.ini').split('\n');
  const count = Number(lines[0]) || 0;
  const cells = [];
  for (let i = 1; i <= count && i < lines.length; i++) {
    const [x, y, z, state = 1, ...more] = lines[i].trim().split(/\s+/).map(Number);
    if (![x, y, z, state].every(Number.isInteger) || more.length || state < 1 || state > 255)
      break;
    if (z === 0 && (!onBoard || (x >= 0 && x < 64 && y >= 0 && y < 64)))
      cells.push([x, y, state]);
  }
  return cells;
}

// A state in run-length text: "o" under a rule of two states; ".", "A" to "X"
// and "pA" to "yO" for 0 to 255 under a rule of more.
function stateTag(state, letters) {
  if (!letters)
    return state ? 'o' : 'b';
  if (!state)
    return '.';
  const prefix = state > 24 ? String.fromCharCode(111 + Math.floor((state - 1) / 24)) : '';
  return prefix + String.fromCharCode(65 + (state - 1) % 24);
}

// Run-length text of the cells, its box's top-left cell placed by a #CXRLE
// line, lines of at most 70 characters (a state's two letters never broken).
// LETTERS: each cell's state as a letter, else every cell live ("o").
function runLength(cells, rule, letters) {
  cells.sort((a, b) => a[1] - b[1] || a[0] - b[0]);
  const left = cells.reduce((least, c) => Math.min(least, c[0]), Infinity);
  const right = cells.reduce((most, c) => Math.max(most, c[0]), -Infinity);
  const top = cells[0][1];
  const bottom = cells[cells.length - 1][1];
  const run = (n, tag) => (n > 1 ? n : '') + tag;
  const tags = [];
  let row = top;
  let x = left;
  for (let i = 0; i < cells.length;) {
    const [cx, cy, state] = cells[i];
    if (cy > row) {
      tags.push(run(cy - row, '$'));
      row = cy;
      x = left;
    }
    const tag = stateTag(state, letters);
    let end = i + 1;
    while (end < cells.length && cells[end][1] === cy && cells[end][0] === cx + (end - i) &&
        stateTag(cells[end][2], letters) === tag)
      end++;
    if (cx > x)
      tags.push(run(cx - x, stateTag(0, letters)));
    tags.push(run(end - i, tag));
    x = cx + (end - i);
    i = end;
  }
  tags.push('!');
  const lines = [''];
  for (const tag of tags) {
    if (lines[lines.length - 1].length + tag.length > 70)
      lines.push('');
    lines[lines.length - 1] += tag;
  }
  return `#CXRLE Pos=${left},${top}\nx = ${right - left + 1}, y = ${bottom - top + 1}, rule = ${rule}\n` +
    lines.join('\n') + '\n';
}

// The board's Rules.ini: its four numbers. Any other names a rule.
const namesBoard = text => /^\s*\d+\s+\d+\s+\d+\s+\d+\s*$/.test(text);

// The cells of the exported Life.ini as run-length text under RULE, on the
// grid its Rules.ini names unless RULE names one (the board a 64 x 64 plane);
// null when no cell lives. With keepStates (RULE the world's own) each cell
// keeps its state, and a rule table the program could not find again (one a
// dropped file carried, which the export writes beside Life.ini as
// NAME.rule, as it stands) goes after the cells, where readers look for a
// rule a file carries; else every cell not in state 0 is live.
export function worldText(rule, keepStates = false) {
  const rules = readFile('Rules.ini');
  const board = namesBoard(rules);
  const grid = board ? ':P64,64' : (rules.trim().split(/\s/)[0].match(/:.*$/) || [''])[0];
  const cells = lifeCells(board).map(([x, y, state]) => (board ? [x - 32, y - 32, state] : [x, y, state]));
  const letters = keepStates && cells.some(c => c[2] > 1);
  if (!cells.length)
    return null;
  const table = keepStates && ruleText.test(rule) ? readFile(rule.split(':')[0] + '.rule') : '';
  const carried = table.startsWith('@RULE') ? table.replace(/\n?$/, '\n') : '';
  return runLength(cells, rule.includes(':') ? rule : rule + grid, letters) + carried;
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

// A family's classic (an option with a pattern) loads that pattern, which
// names its rule; any other option runs the board under its rule.
menu.addEventListener('change', async () => {
  const classic = menu.selectedOptions[0] && menu.selectedOptions[0].dataset.pattern;
  if (!(await (classic ? loadClassic(classic) : applyRule(menu.value))))
    showRule();
});
