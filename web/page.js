// The page: the editor, the canvas the interpreter draws into, message boxes
// as modal dialogs, the diagnostics list, share links, and the test hooks.
// Module.page is what the interpreter's browser backend calls.
(function () {
  'use strict';

  const embed = new URLSearchParams(location.search).has('embed');
  const $ = (id) => document.getElementById(id);
  const canvas = $('canvas'), code = $('code'), gutter = $('gutter');
  let ctx = null, image = null;

  // --- Windows-1252 text: scripts are bytes, the editor holds text ---------
  const HIGH = [0x20AC, 0x81, 0x201A, 0x192, 0x201E, 0x2026, 0x2020, 0x2021, 0x2C6, 0x2030,
    0x160, 0x2039, 0x152, 0x8D, 0x17D, 0x8F, 0x90, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x2DC, 0x2122, 0x161, 0x203A, 0x153, 0x9D, 0x17E, 0x178];
  const BYTE_OF = new Map(HIGH.map((cp, i) => [cp, 0x80 + i]));

  function bytesToText(bytes) {
    let s = '';
    for (const b of bytes) s += String.fromCharCode(b >= 0x80 && b < 0xA0 ? HIGH[b - 0x80] : b);
    return s;
  }
  function textToBytes(text) {
    const out = new Uint8Array(text.length);
    for (let i = 0; i < text.length; ++i) {
      const c = text.charCodeAt(i);
      out[i] = BYTE_OF.has(c) ? BYTE_OF.get(c) : (c < 0x100 && (c < 0x80 || c >= 0xA0) ? c : 0x3F);
    }
    return out;
  }
  function hexToBytes(hex) {
    const out = new Uint8Array(hex.length / 2);
    for (let i = 0; i < out.length; ++i) out[i] = parseInt(hex.substr(i * 2, 2), 16);
    return out;
  }
  function toBase64Url(bytes) {
    let s = '';
    for (const b of bytes) s += String.fromCharCode(b);
    return btoa(s).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
  }
  function fromBase64Url(text) {
    const s = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
    return Uint8Array.from(s, (c) => c.charCodeAt(0));
  }

  // --- the editor -----------------------------------------------------------
  // The bytes last loaded, kept while the editor still shows them, so that
  // running or sharing an unchanged script uses them exactly (line ends too).
  let loaded = { bytes: new Uint8Array(0), text: '' };

  function setScript(bytes) {
    const text = bytesToText(bytes);
    code.value = text;
    loaded = { bytes, text: code.value };
    updateGutter();
  }
  function scriptBytes() {
    return code.value === loaded.text ? loaded.bytes : textToBytes(code.value);
  }
  function updateGutter() {
    const lines = code.value.split('\n').length;
    let s = '';
    for (let i = 1; i <= lines; ++i) s += i + '\n';
    gutter.textContent = s;
    gutter.scrollTop = code.scrollTop;
  }
  function jumpToLine(line) {
    const lines = code.value.split('\n');
    let start = 0;
    for (let i = 0; i < line - 1 && i < lines.length; ++i) start += lines[i].length + 1;
    const end = start + (lines[line - 1] || '').length;
    code.focus();
    code.setSelectionRange(start, end);
    code.scrollTop = Math.max(0, (line - 5) * 18);
  }

  // --- the interpreter's side -----------------------------------------------
  const page = {
    input: [],        // canvas and box input not yet taken by the run
    box: null,        // the message box on screen: {caption, text}, or null
    stop: false,      // the run is asked to end
    wake: null,       // ends the run's current wait early
    openCanvas(width, height) {
      canvas.width = width;
      canvas.height = height;
      ctx = canvas.getContext('2d');
      image = ctx.createImageData(width, height);
    },
    paint(pixels, width, height) {
      if (!ctx || image.width !== width || image.height !== height) page.openCanvas(width, height);
      toImage(pixels, image);
      ctx.putImageData(image, 0, 0);
    },
    showBox(caption, pixels, width, height) {
      showDialog(caption, pixels, width, height);
    },
    hideBox() {
      page.box = null;
      $('boxes').replaceChildren();
      $('boxes').classList.remove('open');
      if (!embed) canvas.focus();
    },
    yieldTo(wakeUp) {
      // A message to ourselves runs after the tasks already waiting (input,
      // painting) without the clamping of timers.
      channel.port1.onmessage = () => wakeUp();
      channel.port2.postMessage(0);
    },
    waitFor(ms, wakeUp) {
      const timer = setTimeout(done, ms);
      page.wake = done;
      function done() {
        clearTimeout(timer);
        page.wake = null;
        wakeUp();
      }
    },
    push(event) {
      page.input.push(event);
      if (page.wake) page.wake();
    },
  };
  const channel = new MessageChannel();
  Module.page = page;

  // 0x??RRGGBB pixels into an ImageData's R, G, B, A bytes.
  function toImage(pixels, img) {
    const dst = new Uint32Array(img.data.buffer);
    for (let i = 0; i < dst.length; ++i) {
      const v = pixels[i];
      dst[i] = 0xFF000000 | ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >>> 16) & 0xFF);
    }
  }

  // --- message boxes --------------------------------------------------------
  // The interpreter paints the box (text and OK button) as on the desktop;
  // the dialog shows those pixels under a title bar and hands the person's
  // clicks and keys back to it.
  function showDialog(caption, pixels, width, height) {
    let box = $('boxes').firstChild;
    if (!page.box || page.box.caption !== caption || box.querySelector('canvas').width !== width ||
        box.querySelector('canvas').height !== height) {
      box = document.createElement('div');
      box.className = 'box';
      box.setAttribute('role', 'alertdialog');
      box.setAttribute('aria-modal', 'true');
      const h = document.createElement('h2');
      h.textContent = caption;
      const close = document.createElement('button');
      close.className = 'close';
      close.title = 'Close';
      close.textContent = '\u00d7';
      close.addEventListener('click', () => page.push({ kind: 10 }));
      h.appendChild(close);
      const c = document.createElement('canvas');
      c.width = width;
      c.height = height;
      c.tabIndex = 0;
      const at = (e) => {
        const r = c.getBoundingClientRect();
        return [Math.floor(e.clientX - r.left), Math.floor(e.clientY - r.top)];
      };
      c.addEventListener('mousedown', (e) => {
        if (e.button !== 0) return;
        e.preventDefault();
        c.focus();
        const [x, y] = at(e);
        page.push({ kind: 8, a: x, b: y, c: 1 });
      });
      c.addEventListener('mouseup', (e) => {
        if (e.button !== 0) return;
        const [x, y] = at(e);
        page.push({ kind: 8, a: x, b: y, c: 0 });
      });
      c.addEventListener('keydown', (e) => {
        const vk = virtualKey(e);
        if (vk) page.push({ kind: 9, a: vk });
        e.preventDefault();
      });
      box.append(h, c);
      $('boxes').replaceChildren(box);
      $('boxes').classList.add('open');
      page.box = { caption, text: lastBoxText() };
      box.setAttribute('aria-label', caption + ': ' + page.box.text);
      c.focus();
    }
    const c = box.querySelector('canvas');
    const cc = c.getContext('2d');
    const img = cc.createImageData(width, height);
    toImage(pixels, img);
    cc.putImageData(img, 0, 0);
    showDiagnostics();
  }
  // The text of the newest box: the box log has it by the time it is shown.
  function lastBoxText() {
    const boxes = readJsonLines('/run/boxes.jsonl');
    return boxes.length ? boxes[boxes.length - 1].text : '';
  }

  // --- diagnostics ----------------------------------------------------------
  // The run's boxes, from its box log, with links to the lines they name.
  let frontLines = [];  // lines of the front end's diagnostics, in order
  let shown = 0;        // boxes of the log listed so far
  function showDiagnostics() {
    const boxes = readJsonLines('/run/boxes.jsonl');
    for (; shown < boxes.length; ++shown) addDiagnostic(boxes[shown].caption, boxes[shown].text);
  }
  function addDiagnostic(caption, text) {
    if (caption === 'Kiv') return;  // the count report is no diagnostic
    const li = document.createElement('li');
    const m = /-Line: (\d+)/.exec(text);
    const front = frontLines.find((d) => d.caption === caption && d.text === text && !d.used);
    if (front) front.used = true;
    const line = m ? Number(m[1]) : (front ? front.line : 0);
    if (line > 0) {
      const a = document.createElement('a');
      a.textContent = 'line ' + line;
      a.addEventListener('click', () => jumpToLine(line));
      li.append(a, ' ');
    }
    li.append(caption + ': ' + text);
    $('diagnostics').appendChild(li);
  }
  function readFrontDiagnostics() {
    Module.ccall('tessel_diagnostics', 'number', ['string', 'string'],
      ['/run/script.tsl', '/run/front.jsonl']);
    frontLines = readJsonLines('/run/front.jsonl').map((d) => ({
      caption: d.caption, text: d.text, line: d.line, used: false }));
  }

  // --- running --------------------------------------------------------------
  let running = null;  // the run in progress: a promise of its exit status

  function readJsonLines(path) {
    let data;
    try { data = FS.readFile(path); } catch (e) { return []; }
    // The logs escape every byte above 0x7E: they are ASCII, and \u00XX
    // stands for byte XX of the script's text.
    return new TextDecoder('latin1').decode(data).split('\n').filter((l) => l).map((l) => {
      const r = JSON.parse(l);
      for (const k of ['caption', 'text']) if (k in r) r[k] = bytesToText(textToLatin1(r[k]));
      return r;
    });
  }
  function readText(path) {
    try { return new TextDecoder('latin1').decode(FS.readFile(path)); } catch (e) { return ''; }
  }
  function textToLatin1(s) { return Uint8Array.from(s, (c) => c.charCodeAt(0) & 0xFF); }

  async function stopRun() {
    if (!running) return;
    page.stop = true;
    if (page.wake) page.wake();
    await running.catch(() => {});
    page.hideBox();
  }

  // --- files ----------------------------------------------------------------
  // Scripts run in /files, where the files dropped onto the page and those
  // the bundled examples ship are kept, so LOADIMG finds them by name.
  const FILES = '/files';
  // Makes the folder `path` (absolute) and those above it.
  function makeFolders(path) {
    let dir = '';
    for (const part of path.split('/').filter((p) => p)) {
      dir += '/' + part;
      try { FS.mkdir(dir); } catch (e) { /* there already */ }
    }
  }
  function writeFile(name, bytes) {
    const full = FILES + '/' + name;
    makeFolders(full.slice(0, full.lastIndexOf('/')));
    FS.writeFile(full, bytes);
  }
  function dropFiles(list) {
    let script = null;
    const names = [];
    return Promise.all(Array.from(list, async (f) => {
      const bytes = new Uint8Array(await f.arrayBuffer());
      if (/\.tsl$/i.test(f.name)) script = bytes;
      else { writeFile(f.name, bytes); names.push(f.name); }
    })).then(() => {
      if (script) setScript(script);
      if (names.length) $('status').textContent = 'files for LOADIMG: ' + names.join(', ');
    });
  }
  document.addEventListener('dragover', (e) => { e.preventDefault(); });
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    if (e.dataTransfer && e.dataTransfer.files.length) dropFiles(e.dataTransfer.files);
  });

  // Runs script bytes; with events text, as a scripted (headless-like) run.
  // A run in progress is stopped first; runs start in the order asked for.
  // `where` (tests) names the folder under /files the script runs in.
  let queue = Promise.resolve();
  function run(bytes, events, where) {
    stopRun();
    const next = queue.then(() => runNow(bytes, events, where || ''));
    queue = next.catch(() => {});
    return next;
  }
  async function runNow(bytes, events, where) {
    try { FS.mkdir('/run'); } catch (e) { /* there already */ }
    const folder = FILES + (where ? '/' + where : '');
    makeFolders(folder);
    FS.chdir(folder);
    FS.writeFile('/run/script.tsl', bytes);
    FS.writeFile('/run/events', events == null ? '' : textToLatin1(events));
    for (const f of ['/run/boxes.jsonl', '/run/prints.jsonl']) try { FS.unlink(f); } catch (e) { }
    page.input = [];
    page.stop = false;
    page.hideBox();
    shown = 0;
    $('diagnostics').replaceChildren();
    readFrontDiagnostics();
    $('stop').disabled = false;
    $('status').textContent = 'running';
    const started = performance.now();
    running = new Promise((resolve) => resolve(Module.ccall('tessel_run', 'number',
      ['string', 'string', 'string', 'string', 'number', 'number'],
      ['/run/script.tsl', '/run/boxes.jsonl', '/run/prints.jsonl', '/run/events', events == null ? 0 : 1,
        embed ? 1 : 0],
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
    showDiagnostics();
    const ms = performance.now() - started;
    $('stop').disabled = true;
    $('status').textContent = (status === 3 ? 'stopped' : status < 0 ? 'failed' : 'ended, status ' + status) +
      ' after ' + (ms / 1000).toFixed(2) + ' s';
    return { status, ms, boxes: readJsonLines('/run/boxes.jsonl'),
      prints: readJsonLines('/run/prints.jsonl'),
      boxLog: readText('/run/boxes.jsonl'), printLog: readText('/run/prints.jsonl') };
  }

  // --- canvas input ---------------------------------------------------------
  const KEYS = {
    Backspace: 8, Tab: 9, Enter: 13, NumpadEnter: 13, ShiftLeft: 16, ShiftRight: 16,
    ControlLeft: 17, ControlRight: 17, AltLeft: 18, AltRight: 18, Pause: 19, CapsLock: 20,
    Escape: 27, Space: 32, PageUp: 33, PageDown: 34, End: 35, Home: 36, ArrowLeft: 37,
    ArrowUp: 38, ArrowRight: 39, ArrowDown: 40, PrintScreen: 44, Insert: 45, Delete: 46,
    MetaLeft: 91, MetaRight: 92, ContextMenu: 93, Numpad0: 96, NumpadMultiply: 106,
    NumpadAdd: 107, NumpadSubtract: 109, NumpadDecimal: 110, NumpadDivide: 111,
    NumLock: 144, ScrollLock: 145, Semicolon: 186, Equal: 187, Comma: 188, Minus: 189,
    Period: 190, Slash: 191, Backquote: 192, BracketLeft: 219, Backslash: 220,
    BracketRight: 221, Quote: 222,
  };
  // The virtual-key code of a key, as the desktop build reports it: letters
  // by the character they type, everything else by the key's place.
  function virtualKey(e) {
    if (e.key.length === 1 && /[a-z]/i.test(e.key)) return e.key.toUpperCase().charCodeAt(0);
    let m;
    if ((m = /^Key([A-Z])$/.exec(e.code))) return m[1].charCodeAt(0);
    if ((m = /^Digit(\d)$/.exec(e.code))) return 48 + Number(m[1]);
    if ((m = /^F(\d+)$/.exec(e.code)) && Number(m[1]) <= 12) return 111 + Number(m[1]);
    if ((m = /^Numpad([1-9])$/.exec(e.code))) return 96 + Number(m[1]);
    return KEYS[e.code] || 0;
  }
  function position(e) {
    const r = canvas.getBoundingClientRect();
    return [Math.floor(e.clientX - r.left), Math.floor(e.clientY - r.top)];
  }
  let buttonsDown = 0;
  canvas.addEventListener('mousemove', (e) => {
    const [x, y] = position(e);
    page.push({ kind: 1, a: x, b: y });
  });
  canvas.addEventListener('mousedown', (e) => {
    if (e.button !== 0 && e.button !== 2) return;
    canvas.focus();
    e.preventDefault();
    buttonsDown |= 1 << e.button;
    const [x, y] = position(e);
    page.push({ kind: 2, a: x, b: y, c: e.button === 2 ? 1 : 0 });
  });
  window.addEventListener('mouseup', (e) => {
    if (!(buttonsDown & (1 << e.button))) return;
    buttonsDown &= ~(1 << e.button);
    const [x, y] = position(e);
    page.push({ kind: 3, a: x, b: y, c: e.button === 2 ? 1 : 0 });
  });
  canvas.addEventListener('contextmenu', (e) => e.preventDefault());
  canvas.addEventListener('keydown', (e) => {
    if (e.ctrlKey && e.key === 'Enter') return;
    const vk = virtualKey(e);
    if (vk) page.push({ kind: 4, a: vk });
    if (e.key.length === 1 && !e.ctrlKey && !e.metaKey) page.push({ kind: 6, text: e.key });
    if (vk || e.key.length === 1) e.preventDefault();
  });
  canvas.addEventListener('keyup', (e) => {
    const vk = virtualKey(e);
    if (vk) page.push({ kind: 5, a: vk });
    if (vk) e.preventDefault();
  });

  // --- the page's controls --------------------------------------------------
  function shareLink(bytes) {
    return location.href.split('#')[0] + '#code=' + toBase64Url(bytes);
  }
  function fragmentScript() {
    const m = /^#code=([A-Za-z0-9_-]*)$/.exec(location.hash);
    return m ? fromBase64Url(m[1]) : null;
  }
  const names = Object.keys(tesselExamples);
  for (const name of names) {
    const o = document.createElement('option');
    o.value = o.textContent = name;
    $('examples').appendChild(o);
  }
  $('examples').addEventListener('change', () => {
    const ex = tesselExamples[$('examples').value];
    if (ex) setScript(hexToBytes(ex.script));
  });
  $('run').addEventListener('click', () => { run(scriptBytes(), null); canvas.focus(); });
  $('stop').addEventListener('click', () => stopRun());
  $('share').addEventListener('click', () => {
    const link = shareLink(scriptBytes());
    history.replaceState(null, '', link);
    if (navigator.clipboard) navigator.clipboard.writeText(link).catch(() => {});
    $('status').textContent = 'link in the address bar';
  });
  code.addEventListener('input', updateGutter);
  code.addEventListener('scroll', () => { gutter.scrollTop = code.scrollTop; });
  code.addEventListener('keydown', (e) => {
    if (e.ctrlKey && e.key === 'Enter') { e.preventDefault(); $('run').click(); }
    if (e.key === 'Tab') { e.preventDefault(); document.execCommand('insertText', false, '\t'); }
  });

  if (embed) document.body.classList.add('embed');
  const ready = new Promise((resolve) => { Module.onRuntimeInitialized = resolve; });
  ready.then(() => {
    for (const name of names)
      for (const [file, hex] of Object.entries(tesselExamples[name].files)) writeFile(file, hexToBytes(hex));
    const fromLink = fragmentScript();
    if (fromLink) setScript(fromLink);
    else if (names.includes('demo')) setScript(hexToBytes(tesselExamples.demo.script));
    if (embed && fromLink) run(fromLink, null);
  });

  // --- test hooks -----------------------------------------------------------
  // Compares the canvas with a PNG (a data: URL), pixel for pixel.
  async function compareCanvas(pngUrl) {
    const img = new Image();
    img.src = pngUrl;
    await img.decode();
    const c = document.createElement('canvas');
    c.width = img.width;
    c.height = img.height;
    const cc = c.getContext('2d');
    cc.drawImage(img, 0, 0);
    const want = cc.getImageData(0, 0, c.width, c.height).data;
    const got = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    if (c.width !== canvas.width || c.height !== canvas.height)
      return { differing: -1, size: [img.width, img.height] };
    let differing = 0, first = null;
    for (let i = 0; i < want.length; i += 4) {
      if (want[i] !== got[i] || want[i + 1] !== got[i + 1] || want[i + 2] !== got[i + 2]) {
        if (!first) first = { x: (i / 4) % c.width, y: Math.floor(i / 4 / c.width),
          want: [want[i], want[i + 1], want[i + 2]], got: [got[i], got[i + 1], got[i + 2]] };
        ++differing;
      }
    }
    return { differing, first };
  }
  window.tesselTest = {
    ready,
    page,
    // Runs a script in the folder `where` of /files, with `files` (path
    // under /files -> base64url bytes) written there first.
    run: (base64, events, where, files) => {
      for (const [name, b] of Object.entries(files || {})) writeFile(name, fromBase64Url(b));
      return run(fromBase64Url(base64), events, where);
    },
    stop: stopRun,
    running: () => running !== null,
    compareCanvas,
    setScript: (base64) => setScript(fromBase64Url(base64)),
    scriptBase64: () => toBase64Url(scriptBytes()),
    shareLink: () => shareLink(scriptBytes()),
    // The message box on screen ({caption, text}) or null.
    box: () => page.box,
    toBase64Url,
  };
})();
