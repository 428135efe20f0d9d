// Takes the README's picture of the page: an example run in the editor's
// page at 1366x768, a few clicks on the canvas.
//   node web/screenshot.mjs PAGE.html EXAMPLE CLICKS OUT.png   (PAGE: the test edition, tessel-test.html)
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const [pagePath, example, clicks, out] = process.argv.slice(2);
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const browser = await puppeteer.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true, args: ['--no-sandbox', '--disable-gpu', '--allow-file-access-from-files',
    '--force-device-scale-factor=1', '--hide-scrollbars'] });
const page = await browser.newPage();
await page.setViewport({ width: 1366, height: 768, deviceScaleFactor: 1 });
await page.goto('file://' + path.resolve(pagePath));
await page.evaluate(() => tesselTest.ready);
await page.select('#document', 'e:' + example);
await sleep(800);
await page.click('#run');
await sleep(800);
const c = await (await page.$('#canvas')).boundingBox();
for (let i = 0; i < Number(clicks); ++i) {
  await page.mouse.click(c.x + c.width / 2, c.y + c.height / 2);
  await sleep(300);
}
await sleep(800);
await page.screenshot({ path: out });
await browser.close();
