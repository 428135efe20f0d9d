// Packs the web edition into one page: the module (tessel.wasm and its
// loader), the fonts, the bundled examples and the help, compressed, with
// the page's script (bundled from web/src with the editor library) and its
// style. Beside the page it writes what a web host needs to offer it as an
// app that works offline: a manifest, a service worker and an icon; and the
// test edition of the page, tessel-test.html, the same page with the hooks
// the browser suite and the web benchmarks drive it with (web/src/test-hooks.js),
// which is not to be published.
//   node web/build.mjs MODULE_DIR FONT_DIR OUT_DIR
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import * as esbuild from 'esbuild';
import { marked } from 'marked';

const [moduleDir, fontDir, outDir] = process.argv.slice(2);
const here = path.dirname(new URL(import.meta.url).pathname);
const root = path.join(here, '..');
const read = (p) => fs.readFileSync(path.join(root, p));
const gz = (bytes) => zlib.gzipSync(bytes, { level: 9 });
const b64 = (bytes) => Buffer.from(bytes).toString('base64');

// --- the words of the language, from the editors' grammar ----------------------
// The grammar's keyword patterns are tested against the interpreter's own
// keyword list, so the page colours exactly those words.
function grammarWords() {
  const grammar = JSON.parse(read('editors/vscode/syntaxes/tessel.tmLanguage.json'));
  const words = (match) => match.replace(/^\(\?i\)\(\?:/, '').replace(/\)\(\?!.*$/, '').split('|');
  const kinds = {
    'keyword.control.tessel': 'control',
    'storage.type.tessel': 'storage',
    'keyword.other.statement.tessel': 'statement',
    'support.function.numeric.tessel': 'numeric',
    'support.function.string.tessel': 'string',
  };
  const out = {};
  for (const p of grammar.repository.keywords.patterns) {
    if (!kinds[p.name]) throw new Error('the grammar has keywords of an unknown kind: ' + p.name);
    out[kinds[p.name]] = words(p.match);
  }
  const messages = /\[ \\t\]\+\(([A-Z|]+)\)/.exec(grammar.repository['event-block'].patterns[0].match);
  out.messages = messages[1].split('|');
  if (Object.values(out).flat().length !== 64 + 7) throw new Error('the grammar does not list 64 keywords and 7 messages');
  return out;
}

// --- the page's input kinds, from the browser backend's header ----------------------
// One definition: `PageEventKind` in src/platform/browser/page.h.
function pageEventKinds() {
  const header = read('src/platform/browser/page.h').toString('utf8');
  const body = /enum PageEventKind\b[^{]*\{([^}]*)\}/.exec(header);
  const out = {};
  for (const m of (body ? body[1] : '').matchAll(/\bkPage(\w+)\s*=\s*(\d+)/g)) out[m[1]] = Number(m[2]);
  for (const k of ['Move', 'ButtonDown', 'ButtonUp', 'KeyDown', 'KeyUp', 'Text', 'BoxButton', 'BoxKey', 'BoxClose', 'Close'])
    if (!(k in out)) throw new Error('page.h names no input kind kPage' + k);
  return out;
}

// --- the examples ---------------------------------------------------------------
// name -> {script (base64), description (the first sentence of the leading
// comment), files: the images its LOADIMG lines name, shipped beside it}.
function examples() {
  const dir = path.join(root, 'examples');
  const out = {};
  for (const file of fs.readdirSync(dir).filter((f) => f.endsWith('.tsl')).sort()) {
    const bytes = fs.readFileSync(path.join(dir, file));
    const text = bytes.toString('latin1');
    const comment = [];
    for (const line of text.split(/\r?\n/)) {
      const m = /^'\s?(.*)$/.exec(line);
      if (!m || !m[1].trim()) break;
      comment.push(m[1].trim());
    }
    const joined = comment.join(' ');
    const sentence = /^(.*?[.!?])(\s|$)/.exec(joined);
    const files = {};
    for (const m of text.matchAll(/^\s*LOADIMG\b[^\r\n]*?"([^"/\r\n]+)"/gim)) {
      const p = path.join(dir, m[1]);
      if (fs.existsSync(p)) files[m[1]] = b64(fs.readFileSync(p));
    }
    out[file.replace(/\.tsl$/, '')] = { script: b64(bytes), description: sentence ? sentence[1] : joined, files };
  }
  return out;
}

// --- the help -------------------------------------------------------------------------
// The guide and the reference, in sections (one per second-level heading)
// that the panel's search shows or hides; pictures and links to other
// files left out.
function help() {
  const parts = [];
  for (const [file, title] of [['docs/guide.md', 'Guide'], ['docs/reference.md', 'Reference']]) {
    const md = read(file).toString('utf8')
      .replace(/!\[[^\]]*\]\([^)]*\)/g, '')
      .replace(/\[([^\]]+)\]\((?!#)[^)]*\)/g, '$1');
    const html = marked.parse(md);
    const chunks = html.split(/(?=<h2[ >])/);
    parts.push(`<h1>${title}</h1>`);
    for (const c of chunks) parts.push(`<section>${c}</section>`);
  }
  return parts.join('\n');
}

// --- the fonts ---------------------------------------------------------------------------
// One blob: for each font, its name and size on a line each, then its bytes.
function fonts() {
  const chunks = [];
  for (const name of fs.readdirSync(fontDir).filter((f) => f.endsWith('.ttf')).sort()) {
    const bytes = fs.readFileSync(path.join(fontDir, name));
    chunks.push(Buffer.from(`${name}\n${bytes.length}\n`), bytes);
  }
  if (chunks.length !== 12) throw new Error('expected 6 fonts in ' + fontDir);
  return Buffer.concat(chunks);
}

// --- the page -----------------------------------------------------------------------------
// The page's script, and the editor's apart (an embed never runs it).
const bundle = async (entry) => (await esbuild.build({
  entryPoints: [path.join(here, 'src', entry)],
  bundle: true,
  minify: true,
  format: 'iife',
  target: ['chrome100', 'firefox100', 'safari16'],
  define: { TESSEL_WORDS: JSON.stringify(grammarWords()), TESSEL_PAGE_EVENTS: JSON.stringify(pageEventKinds()) },
  write: false,
  legalComments: 'none',
})).outputFiles[0].text;
const pageJs = await bundle('main.js');
const testPageJs = await bundle('test-hooks.js');
const editorJs = await bundle('editor.js');
const moduleJs = fs.readFileSync(path.join(moduleDir, 'tessel.js'), 'utf8');
const wasm = fs.readFileSync(path.join(moduleDir, 'tessel.wasm'));
const icon = fs.readFileSync(path.join(here, 'icon.svg'), 'utf8');

const data = (id, bytes) => `<script type="application/octet-stream" id="${id}">${b64(gz(bytes))}</script>`;
const bootJs = await bundle('boot.js');
// The module and the fonts first, in the page's head, so that their worker
// starts at once; the loader next, before the page's script; what only the
// editor needs after it.
const earlyBlobs = [
  data('wasm-data', wasm),
  data('font-data', fonts()),
  `<script>${bootJs}</script>`,
].join('\n');
const blobs = [
  `<script type="text/plain" id="module-js">\n${moduleJs.replace(/<\/script/gi, '<\\/script')}\n</script>`,
].join('\n');
const laterBlobs = [
  data('editor-data', Buffer.from(editorJs)),
  data('examples-data', Buffer.from(JSON.stringify(examples()))),
  data('help-data', Buffer.from(help())),
].join('\n');

// Filled in by plain replacement (the inserted texts may hold "$").
const fill = (text, values) => text.replace(/%([A-Z_]+)%/g, (m, k) => (k in values ? values[k] : m));
const shell = fs.readFileSync(path.join(here, 'shell.html'), 'utf8');
const pageWith = (js) => fill(shell, {
  CSS: fs.readFileSync(path.join(here, 'page.css'), 'utf8'),
  ICON: encodeURIComponent(icon),
  EARLY_DATA: earlyBlobs,
  DATA: blobs,
  LATER_DATA: laterBlobs,
  // A script element ends at the first "</script": none may stand inside.
  PAGE_JS: js.replace(/<\/script/gi, '<\\/script'),
});
const html = pageWith(pageJs);

fs.mkdirSync(outDir, { recursive: true });
fs.writeFileSync(path.join(outDir, 'tessel.html'), html);
fs.writeFileSync(path.join(outDir, 'tessel-test.html'), pageWith(testPageJs));
fs.writeFileSync(path.join(outDir, 'icon.svg'), icon);
fs.writeFileSync(path.join(outDir, 'manifest.webmanifest'), JSON.stringify({
  name: 'tessel',
  short_name: 'tessel',
  description: 'Write, run and share tessel scripts in the browser',
  display: 'standalone',
  background_color: '#eceef2',
  theme_color: '#1c2030',
  icons: [{ src: 'icon.svg', sizes: 'any', type: 'image/svg+xml', purpose: 'any' }],
}, null, 2) + '\n');
fs.copyFileSync(path.join(here, 'sw.js'), path.join(outDir, 'sw.js'));
console.log(`built ${path.join(outDir, 'tessel.html')} (${html.length} bytes; module ${wasm.length} bytes, ` +
  `page script ${pageJs.length} bytes, editor ${editorJs.length} bytes) and its test edition, tessel-test.html`);
