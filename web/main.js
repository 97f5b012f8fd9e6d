// The page's one entry. Its modules run in the order of these imports, each
// after the ones it imports: the page around the program first, the
// picture's size, then bringing a pattern, the controls, the views, the
// picker, the figures, the rules, going far, the link, the help, recording, drawing, its
// menu of states and the app's service worker. Then the page's API, window.veltrixPage, for the
// browser tests and for whatever script a page embedding Veltrix adds; then
// the program.
import * as page from './page.js';
import './fit.js';
import {touchScreen} from './touch.js';
import * as drop from './drop.js';
import * as controls from './controls.js';
import * as views from './views.js';
import './patterns.js';
import * as stats from './stats.js';
import * as rules from './rules.js';
import * as going from './going.js';
import * as link from './link.js';
import './help.js';
import './record.js';
import './draw.js';
import './states_menu.js';
import './install.js';

window.veltrixPage = Object.freeze({
  threads: () => page.threads,
  touchScreen,
  say: page.say,
  isRunning: page.isRunning,
  isReady: page.isReady,
  whenSettled: page.whenSettled,
  on: page.on,
  afterReady: page.afterReady,
  holdStart: page.holdStart,
  keyGuard: page.keyGuard,
  postKey: page.postKey,
  look: page.look,
  tick: page.tick,
  readFile: page.readFile,
  exportWorld: page.exportWorld,
  framesShown: () => page.figuresShown().frames,
  restart: page.restart,
  loadPattern: drop.loadPattern,
  board: drop.boardSource,
  flags: controls.flags,
  views: views.views,
  showView: views.showView,
  currentView: views.currentView,
  boardLink: link.boardLink,
  figures: stats.figures,
  applyRule: rules.applyRule,
  currentRule: rules.currentRule,
  goTo: going.goToGeneration,
  far: going.farState,
});

page.loadProgram();
