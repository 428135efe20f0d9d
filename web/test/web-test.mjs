// Runs scripts in the web edition inside headless Chromium and compares what
// they show (boxes, the PRINT log, the canvas) with the headless build's run
// of the same script and events; then checks the page's own behaviour: an
// endless loop can be stopped, boxes wait for OK, input boxes take typing,
// share links keep every byte, and an embed link's screenshot matches.
//   node web-test.mjs PAGE.html TESSEL CASE_FOLDER...
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const [pagePath, tessel, ...folders] = process.argv.slice(2);
const pageUrl = 'file://' + path.resolve(pagePath);
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'tessel-web-'));
const here = path.dirname(new URL(import.meta.url).pathname);

let passed = 0, failed = 0;
function report(name, problems) {
  if (problems.length === 0) {
    ++passed;
    console.log('ok   ' + name);
  } else {
    ++failed;
    console.log('FAIL ' + name + '\n       ' + problems.join('\n       '));
  }
}
const base64url = (bytes) => Buffer.from(bytes).toString('base64url');
const dataUrl = (png) => 'data:image/png;base64,' + fs.readFileSync(png).toString('base64');

// --- the headless build ------------------------------------------------------
function runNative(script, events) {
  const dir = fs.mkdtempSync(path.join(scratch, 'native-'));
  const files = { boxes: path.join(dir, 'boxes'), prints: path.join(dir, 'prints'),
    shot: path.join(dir, 'shot.png') };
  const args = ['--headless', '--box-log', files.boxes, '--print-log', files.prints,
    '--screenshot', files.shot];
  if (events) args.push('--events', path.resolve(events));
  args.push(path.basename(script));
  const r = spawnSync(path.resolve(tessel), args, { cwd: path.dirname(script), timeout: 60000 });
  const read = (f) => (fs.existsSync(f) ? fs.readFileSync(f, 'latin1') : '');
  return { status: r.status, boxLog: read(files.boxes), printLog: read(files.prints),
    shot: fs.existsSync(files.shot) ? files.shot : null };
}

// --- the cases: scripts with their events -----------------------------------
function casesIn(folder) {
  const out = [];
  for (const entry of fs.readdirSync(folder, { withFileTypes: true })) {
    const p = path.join(folder, entry.name);
    if (entry.isDirectory()) out.push(...casesIn(p));
    else if (entry.name.endsWith('.tsl')) out.push(p);
  }
  return out.sort();
}
// Cases known to end otherwise in the page, with the reason. They run and
// are shown, but do not fail the suite while they differ.
const KNOWN = {};
// Cases the page cannot run as the headless build does: command-line modes.
function skipReason(script) {
  if (fs.existsSync(script.replace(/\.tsl$/, '.args'))) return 'runs with command-line options';
  return null;
}

// The files a script names in its string literals (images it loads), as
// paths under the working folder, with their bytes.
function filesNamedBy(script) {
  const files = {};
  const text = fs.readFileSync(script, 'latin1');
  for (const m of text.matchAll(/"([^"\r\n]+)"/g)) {
    const p = path.resolve(path.dirname(script), m[1]);
    if (!fs.existsSync(p) || !fs.statSync(p).isFile()) continue;
    const rel = path.relative(process.cwd(), p);
    if (!rel.startsWith('..')) files[rel] = base64url(fs.readFileSync(p));
  }
  return files;
}

async function compareRun(page, script) {
  const events = script.replace(/\.tsl$/, '.events');
  const hasEvents = fs.existsSync(events);
  const native = runNative(script, hasEvents ? events : null);
  const web = await page.evaluate((s, e, where, files, limit) => {
    const stop = setTimeout(() => tesselTest.stop(), limit);
    return tesselTest.run(s, e, where, files).then((r) => {
      clearTimeout(stop);
      return { status: r.status, boxLog: r.boxLog, printLog: r.printLog };
    });
  }, base64url(fs.readFileSync(script)), hasEvents ? fs.readFileSync(events, 'latin1') : '',
  path.relative(process.cwd(), path.dirname(script)), filesNamedBy(script), 30000);
  const problems = [];
  if (web.status === 3) problems.push('still running after 30 s: stopped');
  if (web.status !== native.status) problems.push(`exit status ${web.status}, headless ${native.status}`);
  if (web.boxLog !== native.boxLog)
    problems.push('boxes differ:\n' + web.boxLog + '--- headless:\n' + native.boxLog);
  if (web.printLog !== native.printLog)
    problems.push('PRINT logs differ:\n' + web.printLog + '--- headless:\n' + native.printLog);
  if (native.shot) {
    const d = await page.evaluate((u) => tesselTest.compareCanvas(u), dataUrl(native.shot));
    if (d.differing !== 0) problems.push('canvas differs in ' + d.differing + ' pixels: ' + JSON.stringify(d.first));
  } else {
    problems.push('the headless run wrote no screenshot');
  }
  return problems;
}

// --- the page's own behaviour -----------------------------------------------
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

async function openPage(browser, url = pageUrl) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1700, height: 900, deviceScaleFactor: 1 });
  page.on('pageerror', (e) => console.log('page error: ' + e.message));
  await page.goto(url);
  await page.evaluate(() => tesselTest.ready);
  return page;
}

async function waitFor(page, fn, ms, arg) {
  const end = Date.now() + ms;
  while (Date.now() < end) {
    if (await page.evaluate(fn, arg)) return true;
    await sleep(25);
  }
  return false;
}

// Starts a script as a person would: into the editor, then Run.
async function startInteractive(page, bytes) {
  await page.evaluate((s) => tesselTest.setScript(s), base64url(bytes));
  await page.click('#run');
  await waitFor(page, () => tesselTest.running(), 2000);
}

// Waits for a box with this caption; false when none opens.
async function boxOpens(page, caption, ms = 3000) {
  return waitFor(page, (c) => tesselTest.box() !== null && tesselTest.box().caption === c, ms, caption);
}

// Confirms the open box with a click on its OK button (centred at the
// bottom of the box's pixels); false when none opens.
async function confirmBox(page, caption) {
  if (!(await boxOpens(page, caption))) return false;
  const r = await (await page.$('#boxes canvas')).boundingBox();
  await page.mouse.click(r.x + r.width / 2, r.y + r.height - 25);
  return waitFor(page, (c) => tesselTest.box() === null || tesselTest.box().caption !== c, 2000, caption);
}

async function answers(page, ms) {
  const start = Date.now();
  const ok = await Promise.race([page.evaluate(() => 1 + 1), sleep(ms).then(() => 0)]);
  return ok === 2 ? Date.now() - start : -1;
}

async function endlessLoopStops(browser) {
  const page = await openPage(browser);
  const problems = [];
  await startInteractive(page, fs.readFileSync(path.join(here, 'endless.tsl')));
  if (!(await confirmBox(page, 'Kiv'))) problems.push('no count report box');
  await sleep(500);
  const t = await answers(page, 1000);
  if (t < 0 || t > 200) problems.push('the page took ' + t + ' ms to answer while the loop ran');
  if (!(await page.evaluate(() => tesselTest.running()))) problems.push('the loop was not running');
  const stopAt = Date.now();
  await page.click('#stop');
  if (!(await waitFor(page, () => !tesselTest.running(), 1500))) problems.push('Stop did not end the run');
  else if (Date.now() - stopAt > 1000) problems.push('stopping took ' + (Date.now() - stopAt) + ' ms');
  await page.close();
  return problems;
}

async function boxWaitsForOk(browser) {
  const page = await openPage(browser);
  const problems = [];
  const script = "' A box, then the window turns green.\r\nPTR h\r\nVAR n\r\n" +
    'INPUTBOX h, 10, 10, 100, 20, "x"\r\nSETTEXT h, n\r\nWCOLOR 0, 255, 0\r\n';
  await startInteractive(page, Buffer.from(script, 'latin1'));
  if (!(await confirmBox(page, 'Kiv'))) problems.push('no count report box');
  if (!(await boxOpens(page, 'Type Error!'))) problems.push('the Type Error! box did not open');
  await sleep(300);
  const green = () => {
    const d = document.getElementById('canvas').getContext('2d').getImageData(400, 300, 1, 1).data;
    return d[0] === 0 && d[1] === 255 && d[2] === 0;
  };
  if (await page.evaluate(green)) problems.push('the script went on before OK');
  if (await answers(page, 500) < 0) problems.push('the page froze while the box was open');
  await page.focus('#boxes canvas');
  await page.keyboard.press('Enter');
  if (!(await waitFor(page, green, 2000))) problems.push('the script did not go on after OK');
  await page.evaluate(() => tesselTest.stop());
  await page.close();
  return problems;
}

// The nesting limit's box opens from 1000 calls deep in an expression: the
// run is suspended (and resumed after OK) with all of them on its stack.
async function deepBoxWaitsForOk(browser) {
  const page = await openPage(browser);
  const problems = [];
  const deep = (n) => '('.repeat(n) + '1' + ')'.repeat(n);
  const script = 'VAR x\r\nx = ' + deep(999) + '\r\nPRINT 0, 0, x\r\nx = ' + deep(1001) + '\r\n';
  await startInteractive(page, Buffer.from(script, 'latin1'));
  if (!(await confirmBox(page, 'Kiv'))) problems.push('no count report box');
  if (!(await boxOpens(page, 'ERROR'))) problems.push('the nesting box did not open');
  else if (!(await confirmBox(page, 'ERROR'))) problems.push('the nesting box could not be confirmed');
  await sleep(200);
  const r = await page.evaluate(async () => {
    const alive = tesselTest.running();
    await tesselTest.stop();
    return { alive, prints: new TextDecoder('latin1').decode(FS.readFile('/run/prints.jsonl')) };
  });
  if (!r.alive) problems.push('the run ended instead of waiting for messages after the abort');
  if (r.prints !== '{"x":0,"y":0,"text":"1"}\n') problems.push('PRINT log ' + JSON.stringify(r.prints));
  await page.close();
  return problems;
}

async function inputBoxTakesTyping(browser) {
  const page = await openPage(browser);
  const problems = [];
  const script = "PTR h\r\nSTR s\r\nINPUTBOX h, 100, 100, 200, 24, \"\"\r\n" +
    'WINMSG WMCOMMAND\r\nGETTEXT h, s\r\nPRINT 10, 10, s\r\nENDWM\r\n';
  await startInteractive(page, Buffer.from(script, 'latin1'));
  if (!(await confirmBox(page, 'Kiv'))) problems.push('no count report box');
  const box = await (await page.$('#canvas')).boundingBox();
  await page.mouse.click(box.x + 150, box.y + 112);
  await page.keyboard.type('hi!');
  await page.keyboard.press('Enter');
  await sleep(400);
  const r = await page.evaluate(async () => {
    await tesselTest.stop();
    return new TextDecoder('latin1').decode(FS.readFile('/run/prints.jsonl'));
  });
  const want = '{"x":10,"y":10,"text":"hi!"}\n';
  if (r !== want) problems.push('PRINT log ' + JSON.stringify(r) + ', wanted ' + JSON.stringify(want));
  await page.close();
  return problems;
}

async function shareLinkKeepsBytes(browser) {
  const page = await openPage(browser);
  const bytes = Buffer.alloc(256 + 4);
  for (let i = 0; i < 256; ++i) bytes[i] = i;
  bytes.write('\r\n\n\r', 256, 'latin1');
  await page.evaluate((s) => tesselTest.setScript(s), base64url(bytes));
  await page.click('#share');
  const link = await page.evaluate(() => location.href);
  await page.close();
  const problems = [];
  if (!link.includes('#code=' + base64url(bytes))) problems.push('the link does not carry the bytes: ' + link);
  const again = await openPage(browser, link);
  const back = Buffer.from(await again.evaluate(() => tesselTest.scriptBase64()), 'base64url');
  if (!back.equals(bytes)) problems.push('the script came back as ' + back.toString('hex'));
  // An edited script is shared as Windows-1252 bytes.
  await again.evaluate(() => {
    const c = document.getElementById('code');
    c.value = 'PRINT 1, 1, "\u20ac\u00e9"\n';
    c.dispatchEvent(new Event('input'));
  });
  const edited = Buffer.from(await again.evaluate(() => tesselTest.scriptBase64()), 'base64url');
  if (edited.toString('hex') !== Buffer.from('PRINT 1, 1, "\x80\xe9"\n', 'latin1').toString('hex'))
    problems.push('an edited script became ' + edited.toString('hex'));
  await again.close();
  return problems;
}

// Image files dropped onto the page are what LOADIMG reads by name.
async function droppedFilesLoad(browser) {
  const dir = fs.mkdtempSync(path.join(scratch, 'drop-'));
  const images = { 'photo.png': 'tests/fixtures/images/v.png', 'icon.bmp': 'tests/fixtures/images/v8.bmp' };
  for (const [name, from] of Object.entries(images)) fs.copyFileSync(from, path.join(dir, name));
  const script = path.join(dir, 'drop.tsl');
  fs.writeFileSync(script, 'PTR p, q\r\nLOADIMG p, "photo.png", 0, 0, 0, 16\r\n' +
    'LOADIMG q, "icon.bmp", 0, 40, 30, 16\r\nSHOWIMG p, 10, 10, 8, 4\r\n' +
    'SHOWIMG q, 30, 10, 40, 30\r\nPRINT 0, 60, p\r\nPRINT 0, 80, q\r\nSWAP\r\n');
  const native = runNative(script, null);
  const page = await openPage(browser);
  const problems = [];
  const files = Object.keys(images).map((name) => [name, base64url(fs.readFileSync(path.join(dir, name)))]);
  await page.evaluate((list) => {
    const dt = new DataTransfer();
    for (const [name, b] of list) {
      const s = atob(b.replace(/-/g, '+').replace(/_/g, '/'));
      dt.items.add(new File([Uint8Array.from(s, (c) => c.charCodeAt(0))], name));
    }
    document.getElementById('canvas').dispatchEvent(
      new DragEvent('drop', { dataTransfer: dt, bubbles: true, cancelable: true }));
  }, files);
  if (!(await waitFor(page, () => document.getElementById('status').textContent.includes('icon.bmp'), 2000)))
    problems.push('the page did not take the dropped files');
  const web = await page.evaluate((s) => tesselTest.run(s, '').then((r) => r.printLog),
    base64url(fs.readFileSync(script)));
  if (web !== native.printLog || web.includes('"text":"0"') || !web)
    problems.push('PRINT log ' + JSON.stringify(web) + ', headless ' + JSON.stringify(native.printLog));
  const d = await page.evaluate((u) => tesselTest.compareCanvas(u), dataUrl(native.shot));
  if (d.differing !== 0) problems.push('canvas differs in ' + d.differing + ' pixels: ' + JSON.stringify(d.first));
  await page.close();
  return problems;
}

// Served by a plain static web server, the page runs as it does from disk.
async function servedPageRuns(browser) {
  const html = fs.readFileSync(pagePath);
  const server = http.createServer((req, res) => {
    if (req.url.split('?')[0] !== '/tessel.html') return res.writeHead(404).end();
    res.writeHead(200, { 'Content-Type': 'text/html' }).end(html);
  });
  await new Promise((r) => server.listen(0, '127.0.0.1', r));
  const problems = [];
  try {
    const page = await openPage(browser, `http://127.0.0.1:${server.address().port}/tessel.html`);
    const r = await page.evaluate((s) => tesselTest.run(s, ''), base64url('PRINT 1, 2, "served"\r\n'));
    if (r.printLog !== '{"x":1,"y":2,"text":"served"}\n') problems.push('PRINT log ' + JSON.stringify(r.printLog));
    await page.close();
  } finally {
    server.close();
  }
  return problems;
}

async function embedScreenshotMatches(browser) {
  const script = path.join(here, 'embed.tsl');
  const native = runNative(script, null);
  // A script that fails shows a box and draws nothing in either: no test.
  if (native.boxLog.split('\n').filter((l) => l && !l.includes('"caption":"Kiv"')).length > 0)
    return ['embed.tsl shows a box: ' + native.boxLog];
  const shot = path.join(scratch, 'embed.png');
  const link = pageUrl + '?embed#code=' + base64url(fs.readFileSync(script));
  execFileSync(chromium, ['--headless=new', '--no-sandbox', '--disable-gpu', '--hide-scrollbars',
    '--force-device-scale-factor=1', '--allow-file-access-from-files', '--window-size=800,600',
    '--virtual-time-budget=5000', '--screenshot=' + shot, link], { stdio: 'ignore', timeout: 60000 });
  const page = await browser.newPage();
  await page.goto('about:blank');
  const d = await page.evaluate(async (a, b) => {
    const load = async (u) => {
      const img = new Image();
      img.src = u;
      await img.decode();
      const c = document.createElement('canvas');
      c.width = img.width;
      c.height = img.height;
      c.getContext('2d').drawImage(img, 0, 0);
      return c.getContext('2d').getImageData(0, 0, c.width, c.height);
    };
    const x = await load(a), y = await load(b);
    if (x.width !== y.width || x.height !== y.height) return 'sizes ' + x.width + 'x' + x.height + ' and ' + y.width + 'x' + y.height;
    let n = 0;
    for (let i = 0; i < x.data.length; ++i) if (x.data[i] !== y.data[i]) ++n;
    return n;
  }, dataUrl(shot), dataUrl(native.shot));
  await page.close();
  return d === 0 ? [] : ['the embed screenshot differs from the headless one: ' + d];
}

// --- main --------------------------------------------------------------------
const browser = await puppeteer.launch({
  executablePath: chromium,
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--force-device-scale-factor=1',
    '--allow-file-access-from-files', '--disable-background-timer-throttling',
    '--disable-renderer-backgrounding'],
});
try {
  const page = await openPage(browser);
  for (const folder of folders) {
    for (const script of casesIn(folder)) {
      const name = path.relative(process.cwd(), script);
      const why = skipReason(script);
      if (why) {
        console.log('skip ' + name + ' (' + why + ')');
        continue;
      }
      const problems = await compareRun(page, script).catch((e) => ['the page failed: ' + e.message]);
      const known = KNOWN[path.basename(script)];
      if (known && problems.length > 0) console.log('known ' + name + ' (' + known + ')\n       ' + problems.join('\n       '));
      else report(name, problems);
    }
  }
  await page.close();
  report('an endless loop leaves the page answering and stops', await endlessLoopStops(browser));
  report('a box waits for OK without freezing the page', await boxWaitsForOk(browser));
  report('a box from the nesting limit waits for OK and the run goes on', await deepBoxWaitsForOk(browser));
  report('typing into an input box and Enter run the command block', await inputBoxTakesTyping(browser));
  report('a share link keeps the script byte for byte', await shareLinkKeepsBytes(browser));
  report('dropped image files are what LOADIMG loads', await droppedFilesLoad(browser));
  report('the page runs served over HTTP', await servedPageRuns(browser));
  report('an embed link looks as the headless run', await embedScreenshotMatches(browser));
} finally {
  await browser.close();
  fs.rmSync(scratch, { recursive: true, force: true });
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
