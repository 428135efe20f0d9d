// Times the benchmark workloads in the web edition (Chromium, headless)
// against the headless build: wall time of each run, best of a few, the two
// taking turns run by run so that a busy spell of the machine falls on both.
// The page's runs are unattended (an empty events file) as the headless
// build's are; a person's run in the page (no events file, the window's
// clock and input) is timed too, to the main program's end.
//   node web/bench.mjs PAGE.html TESSEL WORKLOAD.tsl...   (PAGE: the test edition, tessel-test.html)
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const [pagePath, tessel, ...workloads] = process.argv.slice(2);
const runs = Number(process.env.RUNS || 3);

function nativeMs(script) {
  const t = process.hrtime.bigint();
  spawnSync(path.resolve(tessel), ['--headless', path.basename(script)], { cwd: path.dirname(script) });
  return Number(process.hrtime.bigint() - t) / 1e6;
}

const browser = await puppeteer.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true, args: ['--no-sandbox', '--disable-gpu', '--allow-file-access-from-files'] });
const page = await browser.newPage();
await page.goto('file://' + path.resolve(pagePath));
await page.evaluate(() => tesselTest.ready);
// A person's run, from its start to the main program's end (where the run
// would wait for the window's events; the test stops it there).
function windowMs(bytes) {
  return page.evaluate(async (s) => {
    const pg = tesselTest.page, waiting = pg.waiting;
    let ended = 0;
    pg.waiting = () => {
      ended = performance.now();
      waiting.call(pg);
      setTimeout(tesselTest.stop, 0);
    };
    const t0 = performance.now();
    try {
      await tesselTest.run(s, null, '', {}, false, true);
    } finally {
      pg.waiting = waiting;
    }
    return ended ? ended - t0 : NaN;
  }, bytes);
}

console.log('workload          web ms   native ms   ratio   window ms');
for (const w of workloads) {
  const bytes = fs.readFileSync(w).toString('base64url');
  let best = Infinity, n = Infinity, person = Infinity;
  for (let i = 0; i < runs; ++i) {
    best = Math.min(best, await page.evaluate((s) => tesselTest.run(s, '', '', {}, false).then((r) => r.ms), bytes));
    n = Math.min(n, nativeMs(w));
    person = Math.min(person, await windowMs(bytes));
  }
  console.log(`${path.basename(w).padEnd(16)} ${best.toFixed(0).padStart(7)} ${n.toFixed(0).padStart(11)} ${(best / n).toFixed(2).padStart(7)} ${person.toFixed(0).padStart(11)}`);
}
await browser.close();
