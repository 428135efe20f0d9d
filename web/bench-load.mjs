// Times how soon a page shows its first picture: an embed link of a small
// drawing script, from navigation to the first frame on the canvas, and the
// editor page, from navigation to ready; at full speed and with the CPU
// throttled 4x through the DevTools protocol. Beside the time, the page's
// main thread's busy time until then (less sensitive to a busy machine).
// Pages given together are measured in turns, so that a busy machine slows
// each alike.
//   node web/bench-load.mjs PAGE.html [PAGE.html...]   (test editions: tessel-test.html)
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import puppeteer from 'puppeteer-core';

const pages = process.argv.slice(2);
const rounds = Number(process.env.RUNS || 5);
const script = Buffer.from('WCOLOR 30, 60, 90\r\nFCOLOR 255, 255, 255\r\nPRINT 10, 10, "hello"\r\n' +
  'CIRCLE 400, 300, 100\r\nSWAP\r\n', 'latin1').toString('base64url');

// Records when the main canvas is first painted.
function watchFirstPaint() {
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (...args) {
    if (this.canvas.id === 'canvas' && window.firstPaint === undefined) window.firstPaint = performance.now();
    return put.apply(this, args);
  };
}

async function timeOnce(browser, file, rate, embed) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1366, height: 768, deviceScaleFactor: 1 });
  const cdp = await page.createCDPSession();
  await cdp.send('Emulation.setCPUThrottlingRate', { rate });
  await cdp.send('Performance.enable');
  await page.evaluateOnNewDocument(watchFirstPaint);
  const url = 'file://' + path.resolve(file) + (embed ? '?embed#code=' + script : '');
  await page.goto(url, { waitUntil: 'load', timeout: 120000 });
  let ms;
  if (embed) {
    await page.waitForFunction(() => window.firstPaint !== undefined, { timeout: 120000, polling: 'raf' });
    ms = await page.evaluate(() => window.firstPaint);
  } else {
    ms = await page.evaluate(() => tesselTest.ready.then(() => performance.now()));
  }
  const { metrics } = await cdp.send('Performance.getMetrics');
  const busy = metrics.find((m) => m.name === 'TaskDuration').value * 1000;
  await page.close();
  return { ms, busy };
}

const stats = (xs) => {
  const s = [...xs].sort((a, b) => a - b);
  return { median: s[Math.floor(s.length / 2)], min: s[0], max: s[s.length - 1] };
};

const browser = await puppeteer.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true, args: ['--no-sandbox', '--disable-gpu', '--allow-file-access-from-files'] });
const results = new Map();
for (let r = 0; r < rounds; ++r) {
  for (const rate of [1, 4]) {
    for (const embed of [true, false]) {
      for (const file of pages) {
        const key = `${file}|${rate}|${embed}`;
        if (!results.has(key)) results.set(key, []);
        results.get(key).push(await timeOnce(browser, file, rate, embed));
      }
    }
  }
}
await browser.close();

for (const file of pages) {
  const bytes = fs.readFileSync(file);
  console.log(`${file}: ${bytes.length} bytes, ${zlib.gzipSync(bytes, { level: 9 }).length} gzipped`);
  for (const rate of [1, 4]) {
    for (const embed of [true, false]) {
      const r = results.get(`${file}|${rate}|${embed}`);
      const s = stats(r.map((x) => x.ms)), b = stats(r.map((x) => x.busy));
      console.log(`  ${embed ? 'embed, first picture' : 'editor page, ready '} CPU ${rate}x: ` +
        `median ${s.median.toFixed(0)} ms (${s.min.toFixed(0)} to ${s.max.toFixed(0)}), main thread busy ` +
        `${b.median.toFixed(0)} ms (${b.min.toFixed(0)} to ${b.max.toFixed(0)}); ${rounds} runs`);
    }
  }
}
