// What the web edition's tests share: the page and the headless build they
// compare, the report, and ways to drive the page in Chromium.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

export const here = path.dirname(new URL(import.meta.url).pathname);
export const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
export const base64url = (bytes) => Buffer.from(bytes).toString('base64url');
export const dataUrl = (png) => 'data:image/png;base64,' + fs.readFileSync(png).toString('base64');
export const latin1 = (text) => Buffer.from(text, 'latin1');

export const ctx = {
  viewport: null,  // the viewport pages open at, unless a test names one
  pagePath: '',  // the test edition of the page
  pageUrl: '',
  shippedPath: '',  // the page as shipped, tessel.html beside it
  shippedUrl: '',
  tessel: '',
  scratch: fs.mkdtempSync(path.join(os.tmpdir(), 'tessel-web-')),
};
export function setUp(pagePath, tessel) {
  ctx.pagePath = pagePath;
  ctx.pageUrl = 'file://' + path.resolve(pagePath);
  ctx.shippedPath = path.join(path.dirname(pagePath), 'tessel.html');
  ctx.shippedUrl = 'file://' + path.resolve(ctx.shippedPath);
  ctx.tessel = tessel;
}

export const counts = { passed: 0, failed: 0 };
export function report(name, problems) {
  if (problems.length === 0) {
    ++counts.passed;
    console.log('ok   ' + name);
  } else {
    ++counts.failed;
    console.log('FAIL ' + name + '\n       ' + problems.join('\n       '));
  }
}

// Runs a check that returns its problems; a check that throws fails.
export async function check(name, fn) {
  let problems;
  try {
    problems = await fn();
  } catch (e) {
    problems = ['the check failed: ' + (e.stack || e.message)];
  }
  report(name, problems);
}

// --- the headless build ------------------------------------------------------
export function runNative(script, events) {
  const dir = fs.mkdtempSync(path.join(ctx.scratch, 'native-'));
  const files = { boxes: path.join(dir, 'boxes'), prints: path.join(dir, 'prints'),
    shot: path.join(dir, 'shot.png') };
  const args = ['--headless', '--box-log', files.boxes, '--print-log', files.prints,
    '--screenshot', files.shot];
  if (events) args.push('--events', path.resolve(events));
  args.push(path.basename(script));
  const r = spawnSync(path.resolve(ctx.tessel), args, { cwd: path.dirname(script), timeout: 60000 });
  const read = (f) => (fs.existsSync(f) ? fs.readFileSync(f, 'latin1') : '');
  return { status: r.status, boxLog: read(files.boxes), printLog: read(files.prints),
    shot: fs.existsSync(files.shot) ? files.shot : null };
}

// --- the page ----------------------------------------------------------------
export const VIEWPORTS = [{ width: 1366, height: 768 }, { width: 1024, height: 600 }];

// A page in a browser context of its own (nothing kept from other tests),
// unless `context` is given.
export async function openPage(browser, { url = ctx.pageUrl, viewport = ctx.viewport || VIEWPORTS[0], context = null } = {}) {
  const c = context || await browser.createBrowserContext();
  const page = await c.newPage();
  await page.setViewport({ ...viewport, deviceScaleFactor: 1 });
  page.errors = [];
  page.on('pageerror', (e) => { page.errors.push(e.message); console.log('page error: ' + e.message); });
  page.on('dialog', (d) => { console.log('unexpected browser dialog: ' + d.message()); d.dismiss(); });
  await page.goto(url);
  await page.evaluate(() => tesselTest.ready.then(() => tesselTest.logPrints(true)));
  page.done = async () => { await page.close(); if (!context) await c.close(); };
  return page;
}

export async function waitFor(page, fn, ms, arg) {
  const end = Date.now() + ms;
  while (Date.now() < end) {
    if (await page.evaluate(fn, arg)) return true;
    await sleep(25);
  }
  return false;
}

// Starts a script as a person would: into the editor, then Run.
export async function startInteractive(page, bytes) {
  await page.evaluate((s) => tesselTest.setScript(s), base64url(bytes));
  await page.click('#run');
  await waitFor(page, () => tesselTest.running(), 2000);
}

// Waits for a box with this caption; false when none opens.
export async function boxOpens(page, caption, ms = 3000) {
  return waitFor(page, (c) => tesselTest.box() !== null && tesselTest.box().caption === c, ms, caption);
}

// Confirms the open box with a click on its OK button (centred at the
// bottom of the box's pixels); false when none opens.
export async function confirmBox(page, caption) {
  if (!(await boxOpens(page, caption))) return false;
  const r = await (await page.$('#boxes canvas')).boundingBox();
  await page.mouse.click(r.x + r.width / 2, r.y + r.height - 25);
  return waitFor(page, (c) => tesselTest.box() === null || tesselTest.box().caption !== c, 2000, caption);
}

// The page's own dialog (not a script's box): its title and text, or null.
export async function pageDialog(page, ms = 3000) {
  if (!(await waitFor(page, () => !document.getElementById('dialog-layer').hidden, ms))) return null;
  return page.evaluate(() => ({
    title: document.querySelector('#dialog-layer h2').textContent,
    text: document.querySelector('#dialog-layer .dialog').innerText,
    buttons: [...document.querySelectorAll('#dialog-layer .buttons button')].map((b) => b.textContent),
  }));
}

export async function clickDialogButton(page, label) {
  await page.evaluate((l) => [...document.querySelectorAll('#dialog-layer .buttons button')]
    .find((b) => b.textContent === l).click(), label);
}

// Milliseconds the page takes to answer, or -1 when it does not within `ms`.
export async function answers(page, ms) {
  const start = Date.now();
  const ok = await Promise.race([page.evaluate(() => 1 + 1), sleep(ms).then(() => 0)]);
  return ok === 2 ? Date.now() - start : -1;
}

// Whether a box (a DOMRect-like object) lies wholly inside the viewport.
export function inView(box, viewport) {
  return box && box.x >= 0 && box.y >= 0 && box.x + box.width <= viewport.width + 0.5 &&
    box.y + box.height <= viewport.height + 0.5;
}
