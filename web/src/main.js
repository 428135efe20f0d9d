// The page: the module's start, the documents in the editor (projects,
// examples, shared scripts, kept in the browser as they are typed), runs
// and their status, problems, sharing, files and the layout. What the test
// edition's hooks reach (test-hooks.js) is exported; the shipped page, whose
// bundle starts here, has no use for the exports and keeps none of them.
import { bytesToText, fromBase64, textToBytes, toBase64Url } from './cp1252.js';
import { dialog, message, paragraph, shareDialog } from './dialogs.js';
import { closeHelp, openHelp, setUpHelp } from './help.js';
import { gunzip, makeLink, readFragment } from './links.js';
import * as runner from './runner.js';
import { installChannel, setUpDebugger } from './debugger.js';
import { startChecker } from './lint-worker.js';
import { canvasPng, fitFrame, listen, virtualKey } from './screen.js';
import * as store from './store.js';

/* global Module, FS */

const $ = (id) => document.getElementById(id);
const embed = new URLSearchParams(location.search).has('embed');
if (embed) document.body.classList.add('embed');

// The largest script the page takes, as the desktop.
const MAX_SCRIPT_BYTES = 64 * 1024 * 1024;
// Above this size the check does not run as you type (it runs on Run).
const LINT_AS_YOU_TYPE_CHARS = 512 * 1024;

// --- the module ------------------------------------------------------------------
// The WebAssembly module and the fonts are kept gzipped in the page; they are
// unpacked (by the browser) while the module compiles (boot.js starts that).
const blob = (id) => fromBase64(document.getElementById(id).textContent.trim()).then(gunzip);
// The module's loader, kept as text for the checker's worker too.
const loaderText = $('module-js').textContent;
const wasmModule = window.tesselBoot.then((b) => b.module);  // see boot.js
const fontFiles = window.tesselBoot.then((b) => new Uint8Array(b.fonts)).then((bytes) => {
  // The fonts' blob: for each, a name line and a size line, then the bytes.
  const files = [];
  let at = 0;
  const text = (n) => new TextDecoder().decode(bytes.subarray(at, at + n));
  while (at < bytes.length) {
    const head = text(Math.min(200, bytes.length - at)).split('\n');
    const name = head[0], size = Number(head[1]);
    at += name.length + head[1].length + 2;
    files.push([name, bytes.subarray(at, at + size)]);
    at += size;
  }
  return files;
});

window.Module = {
  noInitialRun: true,
  instantiateWasm(imports, done) {
    wasmModule.then((m) => WebAssembly.instantiate(m, imports).then((instance) => done(instance, m)));
    return {};
  },
  preRun: [() => {
    Module.addRunDependency('fonts');
    fontFiles.then((files) => {
      FS.mkdir('/fonts');
      for (const [name, bytes] of files) FS.writeFile('/fonts/' + name, bytes);
      Module.removeRunDependency('fonts');
    });
  }],
  print: (s) => console.log(s),
  printErr: (s) => runner.takeStderr(s),
};
const moduleReady = new Promise((resolve) => { Module.onRuntimeInitialized = resolve; });
Module.page = runner.page;
installChannel(runner.page);  // the debugger's messages (debugger.js)
const loader = document.createElement('script');
loader.textContent = loaderText;
document.body.appendChild(loader);
const check = embed ? null : wasmModule.then((m) => startChecker(loaderText, m));
const examplesReady = embed ? Promise.resolve({}) : new Promise((resolve) => {
  const unpack = () => resolve(blob('examples-data').then((b) => JSON.parse(new TextDecoder().decode(b))));
  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', unpack);
  else unpack();
});

// --- status and announcements -----------------------------------------------------
const status = (text) => { $('status').textContent = text; };
const announce = (text) => {
  $('announce').textContent = '';
  setTimeout(() => { $('announce').textContent = text; }, 50);
};

// --- the editor and its documents ---------------------------------------------------
let examples = {};
// The bytes a document was opened with, while the editor shows them
// unchanged, so that running, sharing or saving uses them exactly.
let exact = null;  // {doc, bytes, text}
let saveTimer = 0, savePending = false, keptInBrowser = true;

// The editor's script (CodeMirror and what the page adds to it) is kept
// compressed and run only where an editor is shown: an embed starts without it.
async function editorLibrary() {
  const s = document.createElement('script');
  s.textContent = new TextDecoder().decode(await blob('editor-data'));
  document.body.appendChild(s);
  return window.tesselEditor;
}
let editor = null, findingsToDiagnostics = null, debuggerUi = null;
async function makeEditor() {
  const library = await editorLibrary();
  findingsToDiagnostics = library.findingsToDiagnostics;
  debuggerUi = setUpDebugger({ editor: () => editor, run: (options) => startRun(undefined, options), status });
  editor = library.createEditor($('editor'), {
  run: () => startRun(),
  stop: () => stopRun(),
  leave: () => $('run').focus(),
  changed: (state, userEdit) => {
    if (userEdit) exact = null;
    scheduleSave();
    if (!userEdit) documentShown();
  },
  findings: (view) => lintFindings(view),
  ask: async (question, text, line, character) => (await check).ask(question, text, line, character),
  debug: debuggerUi.gutter,
  });
}

const eolOf = (bytes) => (bytesToText(bytes.subarray(0, 1 << 20)).includes('\r\n') ? '\r\n' : '\n');
const withEol = (text, eol) => (eol === '\n' ? text : text.split('\n').join(eol));

// The script's bytes as the editor shows them now.
function scriptBytes() {
  const text = editor.text();
  const { doc, eol } = editor.doc();
  if (exact && exact.doc === doc && exact.text === text) return exact.bytes;
  return textToBytes(withEol(text, eol));
}

// The original text of a document that has one (an example, a shared link).
function originalOf(doc) {
  const kind = store.docKind(doc), key = store.docKey(doc);
  if (kind === 'e' && examples[key]) return examples[key].bytes;
  if (kind === 'l' && linkOriginals.has(key)) return linkOriginals.get(key);
  return null;
}
const linkOriginals = new Map();

// Shows document `doc`: the text the browser keeps for it, else its
// original bytes. `bytes` given: shows those instead.
function openDoc(doc, bytes) {
  let text, eol;
  const kept = bytes ? null : store.loadDoc(doc);
  if (kept) {
    ({ text, eol } = kept);
    exact = null;
  } else {
    bytes = bytes || originalOf(doc) || new Uint8Array(0);
    text = bytesToText(bytes);
    eol = eolOf(bytes);
  }
  // CodeMirror keeps line ends as "\n": what it shows is compared without "\r".
  const shown = text.replace(/\r\n?/g, '\n');
  editor.show(doc, shown, eol);
  if (bytes) exact = { doc, bytes, text: editor.text() };
}

// Whether the editor holds work that opening something else would put
// away: a project with text, or an example or link the person changed.
function holdsWork() {
  const { doc } = editor.doc();
  if (!doc) return false;
  const text = editor.text();
  if (store.docKind(doc) === 'p') return text.trim() !== '';
  const original = originalOf(doc);
  return original !== null && text !== bytesToText(original).replace(/\r\n?/g, '\n');
}

function docTitle(doc) {
  const kind = store.docKind(doc), key = store.docKey(doc);
  if (kind === 'p') return `project "${store.projectName(key) || key}"`;
  if (kind === 'e') return `example "${key}"`;
  return 'the shared script';
}

// Asks before the editor's work is put away for `what`; true to go on.
async function mayReplace(what) {
  if (!holdsWork()) return true;
  const { doc } = editor.doc();
  const answer = await dialog('Open ' + what + '?', [paragraph(
    `The editor shows your work on ${docTitle(doc)}. It stays kept in this browser: pick it again ` +
    'from the list, or press Ctrl+Z right after the switch to bring it back.')],
  [{ label: 'Open' }, { label: 'Cancel' }]);
  return answer === 'Open';
}

// Keeps the text in the browser a moment after typing stops.
function scheduleSave() {
  savePending = true;
  clearTimeout(saveTimer);
  saveTimer = setTimeout(saveNow, 500);
}

function saveNow() {
  clearTimeout(saveTimer);
  if (!savePending || !editor) return;
  savePending = false;
  const { doc, eol } = editor.doc();
  if (!doc) return;
  const text = editor.text();
  const original = originalOf(doc);
  let ok = true;
  if (original !== null && text === bytesToText(original).replace(/\r\n?/g, '\n')) store.forgetDoc(doc);
  else ok = store.saveDoc(doc, text, eol);
  store.setCurrentDoc(doc);
  if (ok !== keptInBrowser) {
    keptInBrowser = ok;
    if (!ok) status('This browser does not keep this script (too large, or storage is off): use File › Save to a file.');
  }
}

// After the editor switched document (or an undo switched it back).
function documentShown() {
  const { doc } = editor.doc();
  if (!doc) return;
  store.setCurrentDoc(doc);
  fillDocumentList();
  const kind = store.docKind(doc);
  $('rename').disabled = $('delete').disabled = kind !== 'p';
  $('revert').disabled = kind === 'p';
  document.title = (kind === 'p' ? store.projectName(store.docKey(doc)) : store.docKey(doc)) + ' - tessel';
}

function fillDocumentList() {
  const select = $('document');
  const { doc } = editor.doc();
  const groups = [];
  const option = (value, label, title) => {
    const o = document.createElement('option');
    o.value = value;
    o.textContent = label;
    if (title) o.title = title;
    return o;
  };
  const projects = document.createElement('optgroup');
  projects.label = 'My projects';
  for (const p of store.listProjects()) projects.appendChild(option(store.projectDoc(p.id), p.name));
  projects.appendChild(option('new', '+ New project'));
  groups.push(projects);
  if (doc && store.docKind(doc) === 'l') {
    const link = document.createElement('optgroup');
    link.label = 'Opened from a link';
    link.appendChild(option(doc, 'Shared script'));
    groups.push(link);
  }
  const ex = document.createElement('optgroup');
  ex.label = 'Examples';
  for (const [name, e] of Object.entries(examples)) {
    ex.appendChild(option(store.exampleDoc(name), `${name}: ${shorten(e.description, 60)}`, e.description));
  }
  groups.push(ex);
  select.replaceChildren(...groups);
  select.value = doc || '';
}

const shorten = (s, n) => (s.length <= n ? s : s.slice(0, s.lastIndexOf(' ', n - 1)) + '\u2026');

async function pickDocument(doc) {
  const current = editor.doc().doc;
  if (doc === current) return;
  if (doc === 'new') return newProject();
  const what = store.docKind(doc) === 'e' ? `the example "${store.docKey(doc)}"` : docTitle(doc);
  if (!(await mayReplace(what))) {
    $('document').value = current;
    return;
  }
  saveNow();
  openDoc(doc);
  $('editor').querySelector('.cm-content').focus();
}

async function newProject(text = '', name = store.freshName(), eol = '\r\n', bytes = null) {
  saveNow();
  const id = store.createProject(name, text, eol);
  openDoc(store.projectDoc(id), bytes || textToBytes(withEol(text, eol)));
  return id;
}

// --- running -------------------------------------------------------------------------
let countText = '', eventBlocks = 0, runFailure = null, runStarted = 0;  // runFailure: the run's first box

function problemsShown() {
  $('problems').classList.toggle('has', $('diagnostics').children.length + $('findings').children.length > 0);
}

function lineLink(line) {
  const a = document.createElement('a');
  a.textContent = 'line ' + line;
  a.href = '#';
  a.addEventListener('click', (e) => { e.preventDefault(); editor.jumpTo(line); });
  return a;
}

// A box of the run in the problems list (the count report goes to the
// status), the first of them what the status names. A run that shows box
// after box lists the first MAX_LISTED and counts the rest.
const MAX_LISTED = 100;
let boxesSeen = 0;
function addBox(b) {
  if (runner.isCountReport(b)) return;
  if (++boxesSeen > MAX_LISTED) {
    let more = $('diagnostics').querySelector('.more');
    if (!more) {
      more = document.createElement('li');
      more.className = 'more';
      $('diagnostics').appendChild(more);
    }
    more.textContent = `and ${boxesSeen - MAX_LISTED} more`;
    if (runner.isRunning()) status(boxText(b) + (runner.page.box ? ' (OK goes on)' : ''));
    return;
  }
  const li = document.createElement('li');
  if (b.line > 0 && editor) li.append(lineLink(b.line), ' ');
  li.append(b.caption + ': ' + b.text);
  $('diagnostics').appendChild(li);
  problemsShown();
  if (!runFailure) runFailure = b;
  if (runner.isRunning()) status(boxText(b) + (runner.page.box ? ' (OK goes on)' : ''));
  announce(boxText(b));
}
runner.hooks.box = addBox;

const boxText = (b) => (b.line > 0 ? 'Line ' + b.line + ': ' : '') + b.caption + ' ' + b.text.split(/\r?\n/)[0];

// Runs the editor's script (or `bytes`) as a person runs it; `extra`: more
// of runner.run's options (the debugger's).
function startRun(bytes, extra = {}) {
  const quiet = embed || !settings.countBox;
  const script = bytes || scriptBytes();
  runFailure = null;
  boxesSeen = 0;
  $('diagnostics').replaceChildren();
  problemsShown();
  setRunning(true);
  const done = runner.run(script, {
    ...extra,
    quiet,
    started: (front) => {
      countText = front.count.replace(/\r\n/g, ', ');
      eventBlocks = front.eventBlocks;
      runStarted = performance.now();
      status('Running' + (countText ? ` (${countText.toLowerCase()})` : '') + '\u2026');
    },
  });
  if (!embed) runner.hooks.focusCanvas();
  return done.then((r) => { finished(r); return r; });
}

function seconds() {
  return ((performance.now() - runStarted) / 1000).toFixed(2) + ' s';
}

function failureText() {
  const f = runFailure;
  return 'Failed' + (f.line > 0 ? ' at line ' + f.line : '') + ': ' + f.caption + ' ' + f.text.split(/\r?\n/)[0];
}

// The main program is over: a script without event blocks has nothing left
// to do and its window is closed; one with them waits for the person.
runner.hooks.waiting = () => {
  if (eventBlocks === 0) {
    runner.closeWindow();
    return;
  }
  status((runFailure ? boxText(runFailure) + '. ' : '') +
    'Running: the main program has ended; the event blocks answer clicks and keys. Stop ends the run.');
};

function finished(r) {
  setRunning(false);
  if (r.status === 3) status('Stopped after ' + seconds());
  else if (r.status === 1) status(runFailure ? failureText() : 'Failed');
  else if (r.status < 0) status('Failed: the browser ended the run');
  else status('Ended after ' + seconds() + (countText ? ` (${countText.toLowerCase()})` : '') +
    (runFailure ? '; ' + boxText(runFailure) : ''));
  announce($('status').textContent);
}

function setRunning(on) {
  $('stop').disabled = !on;
  $('embed-stop').hidden = !on;
  $('embed-run').hidden = on || !embed;
}

async function stopRun() {
  await runner.stopRun();
}

// --- check as you type ---------------------------------------------------------------
async function lintFindings(view) {
  const doc = view.state.doc;
  if (doc.length > LINT_AS_YOU_TYPE_CHARS) {
    showFindings([], 'The check runs as you type only in scripts up to 512 KB; this one is checked on Run.');
    return [];
  }
  const found = await (await check)(scriptBytes().slice());
  if (view.state.doc !== doc) return [];
  showFindings(found);
  return findingsToDiagnostics(doc, found);
}

function showFindings(found, note) {
  const list = $('findings');
  const items = found.map((f) => {
    const li = document.createElement('li');
    li.className = f.severity;
    if (f.line > 0) {
      const a = document.createElement('a');
      a.href = '#';
      a.textContent = `line ${f.line}`;
      a.addEventListener('click', (e) => { e.preventDefault(); editor.jumpTo(f.line, f.column); });
      li.append(a, ' ');
    }
    li.append(`${f.severity}: ${f.caption ? f.caption + ': ' : ''}${f.text}`);
    if (f.hint) {
      const h = document.createElement('div');
      h.className = 'hint';
      h.textContent = 'Hint: ' + f.hint;
      li.append(h);
    }
    return li;
  });
  if (note) items.push(paragraph(note, 'note'));
  const before = list.textContent;
  list.replaceChildren(...items);
  problemsShown();
  if (list.textContent !== before) {
    announce(found.length === 0 ? 'No problems found' :
      `${found.length} problem${found.length > 1 ? 's' : ''}: ` +
      found.slice(0, 3).map((f) => (f.line ? 'line ' + f.line + ', ' : '') + f.text).join('; '));
  }
}

// --- files -----------------------------------------------------------------------------
// Scripts are taken up to the desktop's limit; other files (images for
// LOADIMG) go where scripts run.
async function takeFiles(list) {
  const names = [];
  let script = null;
  for (const f of Array.from(list)) {
    if (/\.tsl$/i.test(f.name)) {
      if (f.size > MAX_SCRIPT_BYTES) {
        await message('Script too large', `Cannot open ${f.name}: it is larger than 64 MiB ` +
          `(${(f.size / 1048576).toFixed(1)} MiB), and tessel reads scripts of at most 64 MiB.`);
        continue;
      }
      script = f;
    } else {
      runner.writeFile(f.name, new Uint8Array(await f.arrayBuffer()));
      names.push(f.name);
    }
  }
  if (names.length) status('Files for LOADIMG: ' + names.join(', '));
  if (script && !embed) {
    if (!(await mayReplace(`the file ${script.name}`))) return;
    const bytes = new Uint8Array(await script.arrayBuffer());
    await newProject(bytesToText(bytes), store.freshName(script.name.replace(/\.tsl$/i, '')), eolOf(bytes), bytes);
    status(`Opened ${script.name} (${bytes.length.toLocaleString('en')} bytes) as a new project`);
  }
}

function download(blobOrBytes, name, type) {
  const url = URL.createObjectURL(blobOrBytes instanceof Blob ? blobOrBytes : new Blob([blobOrBytes], { type }));
  const a = document.createElement('a');
  a.href = url;
  a.download = name;
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

function fileName() {
  const { doc } = editor.doc();
  const base = store.docKind(doc) === 'p' ? store.projectName(store.docKey(doc)) :
    store.docKind(doc) === 'e' ? store.docKey(doc) : 'shared';
  return (base || 'script').replace(/[\\/:*?"<>|]+/g, '_') + '.tsl';
}

// --- sharing -----------------------------------------------------------------------------
async function share() {
  const base = location.href.split('#')[0].replace(/\?embed$/, '');
  const made = await makeLink(base, scriptBytes());
  if (made.error) {
    await message('Too long for a link', made.error, [{ label: 'Save to a file', run: saveFile }, { label: 'Close' }]);
    return;
  }
  let copied = false;
  try {
    await navigator.clipboard.writeText(made.link);
    copied = true;
  } catch (e) { /* the dialog offers it for copying */ }
  status(copied ? 'Link copied' : 'Link made');
  await shareDialog(made.link, copied, location.protocol === 'file:');
}

function saveFile() {
  download(scriptBytes(), fileName(), 'application/octet-stream');
  status('Saved ' + fileName() + ' to your downloads');
}

// --- layout ------------------------------------------------------------------------------
// The canvas takes what the editor leaves it (at least MIN_EDITOR pixels wide).
const MIN_EDITOR = 380;
function layout() {
  if (document.fullscreenElement === $('screen')) {
    fitFrame(window.innerWidth, window.innerHeight, Infinity);
    return;
  }
  if (embed) {
    fitFrame(window.innerWidth, window.innerHeight - $('embed-bar').offsetHeight);
    return;
  }
  const work = $('work');
  const style = getComputedStyle(work);
  const w = work.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight);
  const h = work.clientHeight - parseFloat(style.paddingTop) - parseFloat(style.paddingBottom);
  fitFrame(Math.max(160, w - MIN_EDITOR - 8), h);
}
new ResizeObserver(layout).observe(document.body);
document.addEventListener('fullscreenchange', layout);

// --- settings -------------------------------------------------------------------------------
const settings = store.loadSettings();
function applySettings() {
  $('font-size').textContent = settings.fontSize + ' px';
  $('count-box').checked = settings.countBox;
  if (editor) editor.setFontSize(settings.fontSize);
}

// --- wiring -----------------------------------------------------------------------------------
function closeMenus(except) {
  for (const d of document.querySelectorAll('details.menu')) if (d !== except) d.open = false;
}

function wire() {
  $('run').addEventListener('click', () => startRun());
  $('stop').addEventListener('click', () => stopRun());
  $('share').addEventListener('click', share);
  $('document').addEventListener('change', () => pickDocument($('document').value));
  $('new').addEventListener('click', () => newProject());
  $('open').addEventListener('click', () => $('file-input').click());
  $('file-input').addEventListener('change', () => { takeFiles($('file-input').files); $('file-input').value = ''; });
  $('save').addEventListener('click', saveFile);
  $('picture').addEventListener('click', async () => download(await canvasPng(), fileName().replace(/\.tsl$/, '.png')));
  $('rename').addEventListener('click', async () => {
    const id = store.docKey(editor.doc().doc);
    const name = prompt('New name of the project:', store.projectName(id));
    if (name && name.trim()) { store.renameProject(id, name.trim()); documentShown(); }
  });
  $('delete').addEventListener('click', async () => {
    const id = store.docKey(editor.doc().doc);
    if (!confirm(`Delete the project "${store.projectName(id)}" from this browser? This cannot be undone.`)) return;
    store.deleteProject(id);
    const left = store.listProjects();
    openDoc(left.length ? store.projectDoc(left[0].id) : store.exampleDoc('demo'));
  });
  $('revert').addEventListener('click', () => {
    const { doc } = editor.doc();
    const original = originalOf(doc);
    if (original) { store.forgetDoc(doc); editor.show(doc, bytesToText(original).replace(/\r\n?/g, '\n'), eolOf(original)); exact = { doc, bytes: original, text: editor.text() }; }
  });
  $('present').addEventListener('click', () => { $('screen').requestFullscreen().catch(() => {}); closeMenus(); });
  $('font-smaller').addEventListener('click', () => { settings.fontSize = Math.max(10, settings.fontSize - 2); store.saveSettings(settings); applySettings(); });
  $('font-larger').addEventListener('click', () => { settings.fontSize = Math.min(40, settings.fontSize + 2); store.saveSettings(settings); applySettings(); });
  $('count-box').addEventListener('change', () => { settings.countBox = $('count-box').checked; store.saveSettings(settings); });
  for (const d of document.querySelectorAll('details.menu')) {
    d.addEventListener('toggle', () => { if (d.open) closeMenus(d); });
    d.addEventListener('keydown', (e) => { if (e.key === 'Escape') { d.open = false; d.querySelector('summary').focus(); } });
    for (const b of d.querySelectorAll('.items > button')) b.addEventListener('click', () => { d.open = false; });
  }
  document.addEventListener('click', (e) => { if (!e.target.closest('details.menu')) closeMenus(); });
  document.addEventListener('keydown', (e) => {
    const mod = e.ctrlKey || e.metaKey;
    if (mod && e.key === 'Enter') { e.preventDefault(); startRun(); }
    else if (mod && e.key === '.') { e.preventDefault(); stopRun(); }
    else if (mod && (e.key === 's' || e.key === 'S')) { e.preventDefault(); saveFile(); }
    else if (e.key === 'F1') { e.preventDefault(); openHelp(); }
  });
  document.addEventListener('dragover', (e) => e.preventDefault());
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    if (e.dataTransfer && e.dataTransfer.files.length) takeFiles(e.dataTransfer.files);
  });
  window.addEventListener('beforeunload', (e) => {
    saveNow();
    if (!keptInBrowser && holdsWork()) {
      e.preventDefault();
      e.returnValue = '';
    }
  });
  window.addEventListener('pagehide', saveNow);
  setUpHelp();
  applySettings();
}

runner.setVirtualKey(virtualKey);
runner.hooks.focusCanvas = () => { if (!embed) $('canvas').focus({ preventScroll: true }); };
listen(() => (embed ? $('remix') : $('run')).focus());

// --- start ----------------------------------------------------------------------------------------
let embedScript = null;

async function start() {
  if (embed) {
    await moduleReady;
    return startEmbed(await readFragment(location.hash));
  }
  // The editor's script and the examples stand after the page's script.
  if (document.readyState === 'loading') await new Promise((r) => document.addEventListener('DOMContentLoaded', r));
  const [, list] = await Promise.all([makeEditor(), examplesReady]);
  const scripts = await Promise.all(Object.values(list).map((e) => fromBase64(e.script)));
  Object.keys(list).forEach((name, i) => {
    examples[name] = { bytes: scripts[i], description: list[name].description, files: list[name].files };
  });
  // Runs wait for the module and for the files the examples ship.
  const filesWritten = moduleReady.then(async () => {
    for (const e of Object.values(examples))
      for (const [file, b64] of Object.entries(e.files)) runner.writeFile(file, await fromBase64(b64));
  });
  runner.runAfter(filesWritten);
  const fromLink = await readFragment(location.hash);
  wire();
  if (fromLink && fromLink.bytes) {
    const key = await linkKey(location.hash);
    linkOriginals.set(key, fromLink.bytes);
    openDoc(store.linkDoc(key));
  } else {
    const current = store.currentDoc();
    const known = current && (store.docKind(current) !== 'p' || store.projectName(store.docKey(current)) !== undefined) &&
      (store.docKind(current) !== 'e' || examples[store.docKey(current)]) && store.docKind(current) !== 'l';
    openDoc(known ? current : store.exampleDoc('demo'));
  }
  layout();
  if (fromLink && fromLink.error) message('Broken link', fromLink.error);
  if (location.protocol === 'file:') $('share').title += ' (from a page on disk, links work only on this computer)';
  await filesWritten;
}

// Each link's edits are kept under a digest of the link.
async function linkKey(hash) {
  const d = new Uint8Array(await crypto.subtle.digest('SHA-256', new TextEncoder().encode(hash)));
  return toBase64Url(d.subarray(0, 9));
}

function startEmbed(fromLink) {
  $('embed-stop').addEventListener('click', () => stopRun());
  $('embed-run').addEventListener('click', () => startRun(embedScript));
  $('remix').href = location.href.replace(/\?embed(?=#|$)/, '').replace(/\?embed&/, '?');
  layout();
  if (fromLink && fromLink.bytes) {
    embedScript = fromLink.bytes;
    startRun(embedScript);
  } else {
    $('screen').prepend(paragraph(fromLink ? fromLink.error : 'This embed carries no script.', 'embed-error'));
    $('remix').textContent = 'Open the editor';
  }
}

// An embed needs nothing that stands after this script (the editor, the
// examples, the help): the page stops reading there.
if (embed) window.stop();
const ready = start();
ready.catch((e) => { status('The page could not start: ' + e.message); console.error(e); });

if ('serviceWorker' in navigator && /^https?:$/.test(location.protocol)) {
  navigator.serviceWorker.register('sw.js?page=' + encodeURIComponent(location.pathname)).catch(() => {});
}

export { ready, editor, debuggerUi, openDoc, scriptBytes, stopRun, takeFiles };
