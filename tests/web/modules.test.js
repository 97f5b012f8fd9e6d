// The page's modules (web/*.js) as a graph of their imports: a module that
// imports, however indirectly, one that imports it would run before its own
// imports are ready, so the graph must have no cycle.
'use strict';

const {test} = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const {root} = require('./harness.js');

const web = path.join(root, 'web');

function importsOf(file) {
  const text = fs.readFileSync(path.join(web, file), 'utf8');
  return [...text.matchAll(/^\s*import\s+(?:[^'"]*?\s+from\s+)?['"]\.\/([^'"]+)['"]/gm)].map(m => m[1]);
}

// A cycle as "a.js -> b.js -> a.js", or '' when there is none.
function cycle(graph) {
  const state = new Map(); // file -> 'open' while on the path, 'done' after
  const trail = [];
  const visit = file => {
    if (state.get(file) === 'done')
      return '';
    if (state.get(file) === 'open')
      return [...trail.slice(trail.indexOf(file)), file].join(' -> ');
    state.set(file, 'open');
    trail.push(file);
    for (const next of graph.get(file) || []) {
      const found = visit(next);
      if (found)
        return found;
    }
    trail.pop();
    state.set(file, 'done');
    return '';
  };
  for (const file of graph.keys()) {
    const found = visit(file);
    if (found)
      return found;
  }
  return '';
}

test('the page\'s modules import one another without a cycle, and only modules that are there', () => {
  const files = fs.readdirSync(web).filter(name => name.endsWith('.js'));
  const graph = new Map(files.map(file => [file, importsOf(file)]));
  assert.ok(graph.get('main.js').includes('page.js'), 'the imports were read');
  for (const [file, imports] of graph)
    for (const imported of imports)
      assert.ok(graph.has(imported), `${file} imports ${imported}, which is not in web/`);
  assert.strictEqual(cycle(graph), '');
  // The reader finds a cycle where there is one.
  assert.strictEqual(cycle(new Map([['a.js', ['b.js']], ['b.js', ['c.js']], ['c.js', ['b.js']]])),
    'b.js -> c.js -> b.js');
});
