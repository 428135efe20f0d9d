// The test edition of the page (tessel-test.html): the page itself, and the
// hooks the browser suite and the web benchmarks drive it with
// (window.tesselTest). Only the test edition's bundle starts here; the
// shipped page (tessel.html) carries none of this.
import { fromBase64Url, toBase64Url } from './cp1252.js';
import * as app from './main.js';
import * as runner from './runner.js';
import * as store from './store.js';

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
  const canvas = document.getElementById('canvas');
  const want = cc.getImageData(0, 0, c.width, c.height).data;
  const got = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
  if (c.width !== canvas.width || c.height !== canvas.height) return { differing: -1, size: [img.width, img.height] };
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
  ready: app.ready,
  page: runner.page,
  // Runs a script in the folder `where` of /files, with `files` (path
  // under /files -> base64url bytes) written there first, as a scripted
  // run when `events` is text; its PRINTs logged unless `prints` is false,
  // its count box left out when `quiet`.
  run: (base64, events, where, files, prints = true, quiet = false) => {
    for (const [name, b] of Object.entries(files || {})) runner.writeFile(name, fromBase64Url(b));
    return runner.run(fromBase64Url(base64), { events, where, quiet, prints });
  },
  // Runs started as a person starts them log their PRINTs too.
  logPrints: (on) => { runner.printing.always = on; },
  stop: app.stopRun,
  running: runner.isRunning,
  compareCanvas,
  setScript: (base64) => app.openDoc(app.editor.doc().doc || store.exampleDoc('demo'), fromBase64Url(base64)),
  scriptBase64: () => toBase64Url(app.scriptBytes()),
  text: () => app.editor.text(),
  doc: () => app.editor.doc().doc,
  view: () => app.editor.view,
  // The link the share dialog shows.
  lastLink: () => document.querySelector('#dialog-layer input[aria-label="Link to the script"]').value,
  takeFiles: app.takeFiles,
  // The debugger: start({events, where}) starts a debugged run of the
  // editor's script; setBreakpoint(line, condition, hits) sets one as the
  // gutter does.
  debug: {
    start: (options) => app.debuggerUi.start(options),
    setBreakpoint: (line, condition, hits) => app.editor.setBreakpoint(line, condition, hits),
    paused: () => app.debuggerUi.paused(),
  },
  // The message box on screen ({caption, text}) or null.
  box: () => runner.page.box,
  toBase64Url,
};
