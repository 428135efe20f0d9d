// The page's debugger: the engine's own debug session, compiled into the
// module, driven with the Debug Adapter Protocol's messages. Requests go
// into a queue the session reads while the run is suspended (Module.page's
// debugWait/debugTake); its responses and events come back through
// debugPost. Breakpoints (with their conditions), stepping, stepping back,
// the variables and the call stack are the session's; the page shows them.
/* global Module */
import { dialog } from './dialogs.js';

const $ = (id) => document.getElementById(id);

// --- the channel ------------------------------------------------------------------
const queue = [];   // requests the session has not taken yet, as JSON text
let waiter = null;  // ends the session's current wait
let session = null; // the session under way

// Installs the channel's functions on the page object the module calls.
export function installChannel(page) {
  page.debugWait = (ms, wakeUp) => {
    const ready = () => {
      if (page.stop || !session) return -2;
      return queue.length ? lengthOfUtf8(queue[0]) : null;
    };
    const now = ready();
    if (now !== null || ms === 0) return wakeUp(now === null ? -1 : now);
    const timer = ms > 0 ? setTimeout(() => done(), ms) : 0;
    const done = () => {
      clearTimeout(timer);
      if (page.wake === done) page.wake = null;
      waiter = null;
      const r = ready();
      wakeUp(r === null ? -1 : r);
    };
    waiter = done;
    page.wake = done;  // the page's Stop and input end the wait too
  };
  page.debugTake = () => queue.shift() || '';
  page.debugPost = (json) => { if (session) session.receive(JSON.parse(json)); };
}

const lengthOfUtf8 = (text) => new TextEncoder().encode(text).length;

class Session {
  constructor(ui) {
    this.ui = ui;
    this.seq = 1;
    this.pending = new Map();
    this.paused = false;
    this.ended = false;
  }
  request(command, args = {}) {
    const seq = this.seq++;
    const answer = new Promise((resolve) => this.pending.set(seq, resolve));
    queue.push(JSON.stringify({ seq, type: 'request', command, arguments: args }));
    // The session wakes once this script's own work is done: waking it
    // runs it at once, and this may be called while it runs.
    queueMicrotask(() => { if (waiter) waiter(); });
    return answer;
  }
  receive(msg) {
    if (msg.type === 'response') {
      const resolve = this.pending.get(msg.request_seq);
      this.pending.delete(msg.request_seq);
      if (resolve) resolve(msg);
    } else if (msg.type === 'event') {
      this.ui.event(this, msg.event, msg.body || {});
    }
  }
}

// --- the user interface --------------------------------------------------------------
// `editor()` -> the page's editor (editor.js), `run(options)` starts a run
// as Run does with runner.run's options added, `status(text)`.
export function setUpDebugger({ editor, run, status }) {
  const bar = $('debug-bar'), panel = $('debug-panel');
  const buttons = {
    continue: $('dbg-continue'), pause: $('dbg-pause'), next: $('dbg-next'), stepIn: $('dbg-in'),
    stepOut: $('dbg-out'), stepBack: $('dbg-back'),
  };
  let frames = [], frameShown = 0;

  const showControls = () => {
    const s = session && !session.ended ? session : null;
    bar.hidden = !s;
    panel.hidden = !s;
    buttons.pause.hidden = !!(s && s.paused);
    buttons.continue.hidden = !(s && s.paused);
    for (const k of ['next', 'stepIn', 'stepOut']) buttons[k].disabled = !(s && s.paused);
    buttons.stepBack.disabled = !(s && s.paused);
  };

  const ui = {
    event(s, name, body) {
      if (s !== session) return;
      if (name === 'stopped') stopped(s, body.reason);
      else if (name === 'continued') resumed(s);
      else if (name === 'output' && body.category === 'console') status(body.output.trim());
      else if (name === 'terminated') s.request('disconnect');
    },
  };

  async function stopped(s, reason) {
    s.paused = true;
    showControls();
    const trace = await s.request('stackTrace', { threadId: 1 });
    if (s !== session || !s.paused) return;
    frames = trace.success ? trace.body.stackFrames : [];
    showFrames();
    await showFrame(0);
    pausedBy = reason === 'breakpoint' ? 'a breakpoint' : reason;
    showPausedStatus();
  }

  // Where the run stands, by the line it has in the editor's text now.
  let pausedBy = '';
  function showPausedStatus() {
    const line = frames.length ? editor().lineNow(frames[0].line) : 0;
    status(`Paused at line ${line} (${pausedBy}). F5 continues, F10 steps over, F11 steps in.`);
  }

  function resumed(s) {
    s.paused = false;
    editor().showRunLine(0);
    showControls();
    status('Running under the debugger\u2026');
  }

  // Resumes the run with `command` (continue, next, stepIn, stepOut, stepBack).
  async function resume(command) {
    const s = session;
    if (!s || !s.paused) return;
    resumed(s);
    const r = await s.request(command, { threadId: 1 });
    if (!r.success) {
      s.paused = true;
      showControls();
      status(r.message || command + ' failed');
    }
  }

  // The call stack, its lines where they stand in the editor's text now
  // (the run's own lines, mapped through the edits made since it began).
  function showFrames() {
    const list = $('dbg-stack');
    list.replaceChildren(...frames.map((f, i) => {
      const li = document.createElement('li');
      const b = document.createElement('button');
      // (A stop where the run waits for messages stands on no line.)
      b.textContent = f.line ? `${f.name}, line ${editor().lineNow(f.line)}` : f.name;
      b.setAttribute('aria-current', i === frameShown ? 'true' : 'false');
      b.addEventListener('click', () => showFrame(i));
      li.append(b);
      return li;
    }));
  }

  async function showFrame(i) {
    frameShown = i;
    const f = frames[i];
    editor().showRunLine(f ? f.line : 0);
    for (const [k, b] of [...$('dbg-stack').querySelectorAll('button')].entries()) b.setAttribute('aria-current', k === i ? 'true' : 'false');
    const s = session;
    const scopes = f ? await s.request('scopes', { frameId: f.id }) : null;
    if (s !== session) return;
    // The first scope's variables stand under the panel's own heading
    // (Variables); the other scopes are listed after them, closed.
    const [first, ...others] = scopes && scopes.success ? scopes.body.scopes : [];
    const list = document.createElement('ul');
    if (first) fillList(s, list, first.variablesReference, 0, null);
    $('dbg-variables').replaceChildren(list,
      ...others.map((sc) => expandable(s, sc.name, '', sc.variablesReference, 0)));
  }

  // A variable or scope whose parts are listed when it is opened; arrays
  // come in pages of PAGE elements.
  const PAGE = 100;
  function expandable(s, name, value, ref, indexed, page = null) {
    const d = document.createElement('details');
    const sum = document.createElement('summary');
    sum.textContent = value ? `${name} = ${value}` : name;
    d.append(sum);
    let filled = false;
    d.addEventListener('toggle', () => {
      if (!d.open || filled) return;
      filled = true;
      const list = document.createElement('ul');
      d.append(list);
      fillList(s, list, ref, indexed, page);
    });
    return d;
  }
  async function fillList(s, list, ref, indexed, page) {
    if (indexed > PAGE) {
      for (let start = 0; start < indexed; start += PAGE) {
        const end = Math.min(indexed, start + PAGE) - 1;
        list.append(item(expandable(s, `[${start}..${end}]`, '', ref, 0, { start, count: end - start + 1 })));
      }
      return;
    }
    const r = await s.request('variables', { variablesReference: ref, ...(page || {}) });
    if (!r.success) return;
    for (const v of r.body.variables) {
      list.append(item(v.variablesReference
        ? expandable(s, v.name, v.value, v.variablesReference, v.indexedVariables || 0)
        : leaf(v)));
    }
  }
  const item = (node) => { const li = document.createElement('li'); li.append(node); return li; };
  const leaf = (v) => {
    const span = document.createElement('span');
    span.className = 'dbg-value';
    span.tabIndex = 0;
    span.textContent = `${v.name} = ${v.value}`;
    if (v.type) span.title = v.type;
    return span;
  };

  // The breakpoint dialog: a condition in the language's own syntax and a
  // hit count.
  async function askCondition(line, { condition, hitCondition }) {
    const field = (label, value, placeholder) => {
      const l = document.createElement('label');
      l.className = 'row';
      const input = document.createElement('input');
      input.type = 'text';
      input.value = value;
      input.placeholder = placeholder;
      // Enter sets, as the dialog's first button.
      input.addEventListener('keydown', (e) => {
        if (e.key !== 'Enter') return;
        e.preventDefault();
        document.querySelector('#dialog-layer .buttons button').click();
      });
      l.append(label + ' ', input);
      return [l, input];
    };
    const [condRow, cond] = field('Stop when', condition, 'e.g. x > 10 (empty: always)');
    const [hitRow, hits] = field('Hit count', hitCondition, 'e.g. 3, >= 3 or % 2 (empty: every hit)');
    const note = document.createElement('p');
    note.textContent = `Line ${line} stops the run only when the condition holds (the language's own condition ` +
      'syntax) and at the hits counted.';
    const answer = await dialog('Breakpoint at line ' + line, [note, condRow, hitRow], [{ label: 'Set' }, { label: 'Cancel' }]);
    return answer === 'Set' ? { condition: cond.value.trim(), hitCondition: hits.value.trim() } : null;
  }

  // The breakpoints as setBreakpoints takes them.
  const breakpointArgs = () => ({
    source: { path: '/run/script.tsl' },
    breakpoints: editor().breakpoints().map((b) => ({ line: b.line,
      ...(b.condition ? { condition: b.condition } : {}), ...(b.hitCondition ? { hitCondition: b.hitCondition } : {}) })),
  });

  function sendBreakpoints() {
    if (!session || session.ended) return;
    session.request('setBreakpoints', breakpointArgs());
  }

  // Starts a debugged run of the editor's script; with `events` text, a run
  // played from those events. Either can step back: the session records
  // what a live run takes from the page and plays it again.
  let latest = null;  // the session started last
  function start({ events = null, where = '' } = {}) {
    const played = events != null;
    const s = new Session(ui);
    // Breakpoints set while it runs are told by the lines of the text it runs.
    latest = s;
    editor().runStarted();
    const entry = ({ boxLog, printLog, findingLog, quiet, cwd, page }) => {
      session = s;
      queue.length = 0;
      s.request('initialize', { adapterID: 'tessel', linesStartAt1: true, columnsStartAt1: true });
      s.request('launch', { program: '/run/script.tsl', headless: played, cwd,
        ...(played ? { events: '/run/events' } : {}) });
      s.request('setBreakpoints', breakpointArgs());
      s.request('configurationDone');
      showControls();
      status('Running under the debugger\u2026');
      return Module.ccall('tessel_debug', 'number', ['string', 'string', 'string', 'number'],
        [boxLog, printLog, findingLog, quiet ? 1 : 0], { async: true })
        .then((r) => (page.stop ? 3 : r))
        .finally(() => {
          s.ended = true;
          if (session === s) session = null;
          if (latest === s) editor().runEnded();
          queue.length = 0;
          editor().showRunLine(0);
          $('dbg-stack').replaceChildren();
          $('dbg-variables').replaceChildren();
          showControls();
        });
    };
    return run({ events, where, entry });
  }

  buttons.continue.addEventListener('click', () => resume('continue'));
  buttons.next.addEventListener('click', () => resume('next'));
  buttons.stepIn.addEventListener('click', () => resume('stepIn'));
  buttons.stepOut.addEventListener('click', () => resume('stepOut'));
  buttons.stepBack.addEventListener('click', () => resume('stepBack'));
  buttons.pause.addEventListener('click', () => { if (session && !session.paused) session.request('pause', { threadId: 1 }); });
  $('debug').addEventListener('click', () => start());

  // The editors' keys: F5 starts or continues, F6 pauses, F10 steps over,
  // F11 in, Shift+F11 out, Ctrl+F10 back.
  document.addEventListener('keydown', (e) => {
    const active = session && !session.ended;
    let act = null;
    if (e.key === 'F5' && !e.shiftKey && !e.ctrlKey) act = active ? () => resume('continue') : () => start();
    else if (!active) return;
    else if (e.key === 'F6') act = () => buttons.pause.click();
    else if (e.key === 'F10') act = () => resume(e.ctrlKey ? 'stepBack' : 'next');
    else if (e.key === 'F11') act = () => resume(e.shiftKey ? 'stepOut' : 'stepIn');
    if (!act) return;
    e.preventDefault();
    e.stopPropagation();
    act();
  }, true);

  showControls();
  return {
    // The editor's gutter handlers (see debug-gutter.js).
    gutter: {
      changed: () => sendBreakpoints(), askCondition,
      edited: () => {
        if (!session || !session.paused) return;
        showFrames();
        showPausedStatus();
      },
    },
    start,
    active: () => !!(session && !session.ended),
    paused: () => !!(session && session.paused),
  };
}
