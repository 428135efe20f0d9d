// Runs scripts in the web edition inside headless Chromium and compares what
// they show (boxes, the PRINT log, the canvas) with the headless build's run
// of the same script and events; then checks the page's own behaviour
// (page-test.mjs).
//   node web-test.mjs PAGE.html TESSEL CASE_FOLDER...
// PAGE is the test edition of the page (tessel-test.html), which carries the
// hooks the tests drive it with; the shipped page, tessel.html beside it, is
// checked to carry none.
import fs from 'node:fs';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import { base64url, counts, ctx, dataUrl, openPage, report, runNative, setUp } from './harness.mjs';
import { pageTests } from './page-test.mjs';

const [pagePath, tessel, ...folders] = process.argv.slice(2);
setUp(pagePath, tessel);
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';

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


// --- main --------------------------------------------------------------------
const browser = await puppeteer.launch({
  executablePath: chromium,
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--force-device-scale-factor=1',
    '--allow-file-access-from-files', '--disable-background-timer-throttling',
    '--disable-renderer-backgrounding'],
});
try {
  if (!process.env.PAGE_ONLY) {
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
    await page.done();
  }
  await pageTests(browser);
} finally {
  await browser.close();
  fs.rmSync(ctx.scratch, { recursive: true, force: true });
}
console.log(`${counts.passed} passed, ${counts.failed} failed`);
process.exit(counts.failed === 0 ? 0 : 1);
