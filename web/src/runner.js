// The interpreter's side of the page: Module.page, which the browser backend
// calls (the canvas, message boxes, input, yielding), and runs of scripts
// in the module's file system with their box and PRINT logs.
import { bytesToText, latin1ToBytes } from './cp1252.js';
import { EVENT } from './page-events.js';

/* global Module, FS */

const canvas = document.getElementById('canvas');
const boxes = document.getElementById('boxes');
let ctx = null;

// Set by the page: hooks(box) when a box opens (after its text is known),
// waiting() when the main program is over, focusCanvas(), boxToCanvas(e, c).
export const hooks = { box() {}, waiting() {}, focusCanvas() {}, boxPoint: null };

export const page = {
  input: [],   // canvas and box input not yet taken by the run
  box: null,   // the message box on screen: {caption, text}, or null
  stop: false, // the run is asked to end
  wake: null,  // ends the run's current wait early
  openCanvas(width, height) {
    canvas.width = width;
    canvas.height = height;
    ctx = canvas.getContext('2d');
  },
  // `rgba`: the pixels' bytes as an ImageData holds them.
  paint(rgba, width, height) {
    if (!ctx || canvas.width !== width || canvas.height !== height) page.openCanvas(width, height);
    ctx.putImageData(new ImageData(rgba, width, height), 0, 0);
  },
  showBox(caption, pixels, width, height) {
    showDialog(caption, pixels, width, height);
  },
  hideBox() {
    page.box = null;
    // Taken away a moment later: a script that shows box after box keeps
    // the dialog (and the focus in it) instead of flickering.
    clearTimeout(hideTimer);
    hideTimer = setTimeout(() => {
      const hadFocus = boxes.contains(document.activeElement);
      boxes.classList.remove('open');
      if (hadFocus) hooks.focusCanvas();
    }, 40);
  },
  yieldTo(wakeUp) {
    // A message to ourselves runs after the tasks already waiting (input,
    // painting) without the clamping of timers.
    channel.port1.onmessage = () => wakeUp();
    channel.port2.postMessage(0);
  },
  waitFor(ms, wakeUp) {
    // Input that came before the wait began ends it at once.
    if (page.input.length || page.stop) {
      page.yieldTo(wakeUp);
      return;
    }
    const timer = setTimeout(done, ms);
    page.wake = done;
    function done() {
      clearTimeout(timer);
      page.wake = null;
      wakeUp();
    }
  },
  waiting() {
    hooks.waiting();
  },
  push(event) {
    page.input.push(event);
    if (page.wake) page.wake();
  },
};
const channel = new MessageChannel();
let hideTimer = 0;

// 0x??RRGGBB pixels into an ImageData's R, G, B, A bytes.
function toImage(pixels, img) {
  const dst = new Uint32Array(img.data.buffer);
  for (let i = 0; i < dst.length; ++i) {
    const v = pixels[i];
    dst[i] = 0xFF000000 | ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >>> 16) & 0xFF);
  }
}

// --- logs ---------------------------------------------------------------------
// The logs escape every byte above 0x7E: they are ASCII, and \u00XX stands
// for byte XX of the script's text.
function parseLogLine(line) {
  const r = JSON.parse(line);
  for (const k of ['caption', 'text']) if (k in r) r[k] = bytesToText(latin1ToBytes(r[k]));
  return r;
}

function readText(path) {
  try { return new TextDecoder('latin1').decode(FS.readFile(path)); } catch (e) { return ''; }
}

export function readJsonLines(path) {
  return readText(path).split('\n').filter((l) => l).map(parseLogLine);
}

// Reads a log as it grows: each call returns the records written since the
// last, reading only the bytes that are new.
class LogTail {
  constructor(path) {
    this.path = path;
    this.offset = 0;
    this.partial = '';
  }
  take(parse = parseLogLine) {
    let stream;
    try { stream = FS.open(this.path, 'r'); } catch (e) { return []; }
    try {
      const size = stream.node.usedBytes ?? FS.stat(this.path).size;
      if (size <= this.offset) return [];
      const buf = new Uint8Array(size - this.offset);
      FS.read(stream, buf, 0, buf.length, this.offset);
      this.offset = size;
      const lines = (this.partial + new TextDecoder('latin1').decode(buf)).split('\n');
      this.partial = lines.pop();
      return lines.filter((l) => l).map(parse);
    } finally {
      FS.close(stream);
    }
  }
}

// --- message boxes --------------------------------------------------------------
// The interpreter paints the box (text and OK button) as on the desktop; the
// dialog shows those pixels under a title bar and hands the person's clicks
// and keys back to it.
let boxTail = null;
let virtualKey = () => 0;
export function setVirtualKey(fn) { virtualKey = fn; }
const newBoxes = [];  // boxes of the log not yet handed to hooks.box

// The dialog's elements, made once: a run may show thousands of boxes.
let dialogParts = null;
function dialogElements() {
  if (dialogParts) return dialogParts;
  const box = document.createElement('div');
  box.className = 'box';
  box.setAttribute('role', 'alertdialog');
  box.setAttribute('aria-modal', 'true');
  const h = document.createElement('h2');
  const title = document.createElement('span');
  const close = document.createElement('button');
  close.className = 'close';
  close.title = 'Close';
  close.setAttribute('aria-label', 'Close the message');
  close.textContent = '\u00d7';
  close.addEventListener('click', () => page.push({ kind: EVENT.BoxClose }));
  h.append(title, close);
  const c = document.createElement('canvas');
  c.tabIndex = 0;
  const at = (e) => {
    const r = c.getBoundingClientRect();
    return [Math.floor((e.clientX - r.left) * c.width / r.width), Math.floor((e.clientY - r.top) * c.height / r.height)];
  };
  c.addEventListener('mousedown', (e) => {
    if (e.button !== 0) return;
    e.preventDefault();
    c.focus();
    const [x, y] = at(e);
    page.push({ kind: EVENT.BoxButton, a: x, b: y, c: 1 });
  });
  c.addEventListener('mouseup', (e) => {
    if (e.button !== 0) return;
    const [x, y] = at(e);
    page.push({ kind: EVENT.BoxButton, a: x, b: y, c: 0 });
  });
  c.addEventListener('keydown', (e) => {
    const vk = virtualKey(e);
    if (vk) page.push({ kind: EVENT.BoxKey, a: vk });
    e.preventDefault();
  });
  box.append(h, c);
  boxes.appendChild(box);
  dialogParts = { box, title, canvas: c, context: c.getContext('2d'), image: null };
  return dialogParts;
}

function showDialog(caption, pixels, width, height) {
  const d = dialogElements();
  if (!page.box || page.box.caption !== caption || d.canvas.width !== width || d.canvas.height !== height) {
    d.title.textContent = caption;
    if (d.canvas.width !== width || d.canvas.height !== height) {
      d.canvas.width = width;
      d.canvas.height = height;
      d.image = null;
    }
    clearTimeout(hideTimer);
    boxes.classList.add('open');
    takeBoxes();
    const last = newBoxes.length ? newBoxes[newBoxes.length - 1] : { text: '' };
    page.box = { caption, text: last.text };
    d.box.setAttribute('aria-label', caption + ': ' + page.box.text);
    d.canvas.setAttribute('aria-label', page.box.text + ' (Enter for OK)');
    flushBoxes();
    if (document.activeElement !== d.canvas) d.canvas.focus({ preventScroll: true });
  }
  if (!d.image) d.image = d.context.createImageData(width, height);
  toImage(pixels, d.image);
  d.context.putImageData(d.image, 0, 0);
}

function takeBoxes() {
  if (boxTail) newBoxes.push(...boxTail.take());
}
function flushBoxes() {
  const list = newBoxes.splice(0);
  for (const b of list) hooks.box({ ...b, line: lineOfBox(b) });
}

// The lexing phase's count report, the one box that is no diagnostic: its
// caption is the module's.
let countCaption = null;
export function isCountReport(b) {
  if (countCaption === null) countCaption = Module.ccall('tessel_count_caption', 'string', [], []);
  return b.caption === countCaption;
}

// --- where boxes come from ---------------------------------------------------------
// A run in the page logs each diagnostic as a finding with its place, in the
// order of their boxes: the line a box concerns comes from there.
let findingTail = null;
const findingsSeen = [];
function lineOfBox(b) {
  if (isCountReport(b) || !findingTail) return 0;
  for (const f of findingTail.take(JSON.parse)) findingsSeen.push(f);
  const f = findingsSeen.shift();
  return f ? f.line : 0;
}

// Anything else the run writes to stderr is for the console.
export function takeStderr(text) {
  if (!/^ {4}/.test(text)) console.warn(text);
}

// --- runs ---------------------------------------------------------------------------
const SCRIPT = '/run/script.tsl';
let running = null;  // the run in progress: a promise of its exit status
let active = false;  // a run has begun (its first steps run before `running` is set)
export const isRunning = () => active;

export async function stopRun() {
  if (!running) return;
  page.stop = true;
  if (page.wake) page.wake();
  await running.catch(() => {});
  page.hideBox();
}

// Asks the run to end as a closed window ends it (its exit status kept).
export function closeWindow() {
  page.push({ kind: EVENT.Close });
}

// Makes the folder `path` (absolute) and those above it.
export function makeFolders(path) {
  let dir = '';
  for (const part of path.split('/').filter((p) => p)) {
    dir += '/' + part;
    try { FS.mkdir(dir); } catch (e) { /* there already */ }
  }
}

// Scripts run in /files, where the files dropped onto the page and those
// the bundled examples ship are kept, so LOADIMG finds them by name.
export const FILES = '/files';
export function writeFile(name, bytes) {
  const full = FILES + '/' + name;
  makeFolders(full.slice(0, full.lastIndexOf('/')));
  FS.writeFile(full, bytes);
}

// What the front end says of `bytes`: {count: the token-count text,
// eventBlocks: how many messages it handles}.
export function frontEnd(bytes) {
  makeFolders('/run');
  FS.writeFile('/run/front.tsl', bytes);
  Module.ccall('tessel_diagnostics', 'number', ['string', 'string'], ['/run/front.tsl', '/run/front.jsonl']);
  const summary = readJsonLines('/run/front.jsonl')[0] || { count: '', eventBlocks: 0 };
  return { count: summary.count, eventBlocks: summary.eventBlocks };
}

// Runs script bytes; with events text, as a scripted (headless-like) run;
// `quiet` leaves out the token-count box; with `prints`, the run's PRINTs
// are logged (the result's printLog; a person's run has no use for it, and
// a script that prints in a loop would pay for every line). A run in
// progress is stopped first; runs start in the order asked for. `where` (tests) names the
// folder under /files the script runs in. `started(front)` is called as the
// run begins, with what the front end says of the script.
let queue = Promise.resolve();
// Whether runs that do not say log their PRINTs (the tests' hook).
export const printing = { always: false };
// Runs asked for from now on wait for `promise` too.
export function runAfter(promise) {
  queue = queue.then(() => promise);
}
// `entry` (the debugger, debugger.js) starts the run in place of a plain run.
export function run(bytes, { events = null, where = '', quiet = false, prints = printing.always, started = () => {}, entry = null } = {}) {
  stopRun();
  const next = queue.then(() => runNow(bytes, events, where, quiet, prints, started, entry));
  queue = next.catch(() => {});
  return next;
}

async function runNow(bytes, events, where, quiet, prints, started, entry) {
  makeFolders('/run');
  const folder = FILES + (where ? '/' + where : '');
  makeFolders(folder);
  FS.chdir(folder);
  FS.writeFile(SCRIPT, bytes);
  FS.writeFile('/run/events', events == null ? '' : latin1ToBytes(events));
  for (const f of ['/run/boxes.jsonl', '/run/prints.jsonl', '/run/findings.jsonl']) try { FS.unlink(f); } catch (e) { }
  page.input = [];
  page.stop = false;
  page.hideBox();
  newBoxes.length = 0;
  findingsSeen.length = 0;
  boxTail = new LogTail('/run/boxes.jsonl');
  findingTail = new LogTail('/run/findings.jsonl');
  started(frontEnd(bytes));
  const t0 = performance.now();
  active = true;
  running = new Promise((resolve) => resolve(entry ? entry({ boxLog: '/run/boxes.jsonl', printLog: prints ? '/run/prints.jsonl' : '',
    findingLog: '/run/findings.jsonl', quiet, cwd: folder, page }) : Module.ccall('tessel_run_located', 'number',
    ['string', 'string', 'string', 'string', 'string', 'number', 'number'],
    [SCRIPT, '/run/boxes.jsonl', prints ? '/run/prints.jsonl' : '', '/run/findings.jsonl', '/run/events',
      events == null ? 0 : 1, quiet ? 1 : 0],
    { async: true })));
  let status;
  try {
    status = await running;
  } catch (e) {
    // The browser ended the run (its call stack ran out, say).
    status = -1;
    console.error('tessel: the run failed: ' + e);
  }
  running = null;
  active = false;
  takeBoxes();
  flushBoxes();
  return { status, ms: performance.now() - t0,
    boxLog: readText('/run/boxes.jsonl'), printLog: readText('/run/prints.jsonl') };
}
