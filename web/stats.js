// The run's figures beside the picture: the generation and the live cells of
// the frame last shown, and a graph of the live cells over the run, read from
// the program whenever it has shown a new frame. A generation lower than the
// last one seen (a pattern loaded, the start put back, a step back) cuts the
// graph back to it. They change with the picture, in the same task, so
// both are painted together.
import {figuresShown, on} from './page.js';

const generationText = document.getElementById('generation');
const populationText = document.getElementById('population');
const graph = document.getElementById('graph');
const pen = graph.getContext('2d');

// At most `room` points [generation, live cells], one every `spacing`
// generations; a full graph keeps every other point and doubles the spacing,
// so a long run costs no more than a short one.
const room = 256;
let points = [];
let spacing = 1;
let framesSeen = -1;

function add(generation, population) {
  while (points.length && points[points.length - 1][0] > generation)
    points.pop();
  if (!points.length) {
    spacing = 1;
  } else {
    const last = points[points.length - 1];
    if (last[0] === generation) {
      last[1] = population;
      return;
    }
    if (generation - last[0] < spacing)
      return;
  }
  points.push([generation, population]);
  if (points.length > room) {
    points = points.filter((point, i) => i % 2 === 0 || i === points.length - 1);
    spacing *= 2;
  }
}

function draw() {
  pen.clearRect(0, 0, graph.width, graph.height);
  if (points.length < 2)
    return;
  const first = points[0][0];
  const span = points[points.length - 1][0] - first || 1;
  // From the fewest live cells to the most: a change of a few cells in
  // thousands still shows.
  const most = points.reduce((most, point) => Math.max(most, point[1]), 0);
  const fewest = points.reduce((fewest, point) => Math.min(fewest, point[1]), most);
  const range = most - fewest || 1;
  pen.beginPath();
  for (const [generation, population] of points) {
    const x = ((generation - first) / span) * (graph.width - 1);
    const y = graph.height - 1 - ((population - fewest) / range) * (graph.height - 2);
    pen.lineTo(x + 0.5, y + 0.5);
  }
  pen.strokeStyle = '#8ac';
  pen.stroke();
}

// The figures of the frame last shown: {generation, population, points}.
export function figures() {
  const {generation, population} = figuresShown();
  return {generation, population, points: points.map(p => [...p])};
}

on('shown', () => {
  const frames = figuresShown().frames;
  if (frames === framesSeen)
    return;
  framesSeen = frames;
  const {generation, population} = figures();
  generationText.textContent = generation;
  populationText.textContent = population.toLocaleString('en');
  add(generation, population);
  draw();
});
