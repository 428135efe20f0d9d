// The page's own behaviour in headless Chromium: runs that stop and boxes
// that wait, files and their limits, links, the editor, work kept in the
// browser, the layout at 1366x768 and 1024x600, keyboard and screen
// readers, the embed, offline use, and the page's size and start.
import crypto from 'node:crypto';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import zlib from 'node:zlib';
import {
  VIEWPORTS, answers, base64url, boxOpens, check, clickDialogButton, confirmBox, ctx, dataUrl, here,
  inView, latin1, openPage, pageDialog, runNative, sleep, startInteractive, waitFor,
} from './harness.mjs';

// A run error: a string where a number belongs ends the run at line 3.
const RUN_ERROR = 'VAR x\r\nSTR s\r\ns = 1 + s\r\n';

// Every box the page shows from now on is confirmed at once.
const autoConfirm = (page) => page.evaluate(() => {
  const p = tesselTest.page;
  p.realShowBox = p.showBox;
  p.showBox = (...a) => { p.realShowBox(...a); p.push({ kind: 9, a: 13 }); };
});

const status = (page) => page.evaluate(() => document.getElementById('status').textContent);

// --- runs ----------------------------------------------------------------------

async function endlessLoopStops(browser) {
  const page = await openPage(browser);
  const problems = [];
  await startInteractive(page, fs.readFileSync(path.join(here, 'endless.tsl')));
  await sleep(500);
  const t = await answers(page, 1000);
  if (t < 0 || t > 200) problems.push('the page took ' + t + ' ms to answer while the loop ran');
  if (!(await page.evaluate(() => tesselTest.running()))) problems.push('the loop was not running');
  if (!/^Running/.test(await status(page))) problems.push('status ' + JSON.stringify(await status(page)));
  const stopAt = Date.now();
  await page.click('#stop');
  if (!(await waitFor(page, () => !tesselTest.running(), 1500))) problems.push('Stop did not end the run');
  else if (Date.now() - stopAt > 1000) problems.push('stopping took ' + (Date.now() - stopAt) + ' ms');
  if (!/^Stopped after/.test(await status(page))) problems.push('status after Stop ' + JSON.stringify(await status(page)));
  await page.done();
  return problems;
}

async function boxWaitsForOk(browser) {
  const page = await openPage(browser);
  const problems = [];
  const script = "' A box, then the window turns green.\r\nPTR h\r\nVAR n\r\n" +
    'INPUTBOX h, 10, 10, 100, 20, "x"\r\nSETTEXT h, n\r\nWCOLOR 0, 255, 0\r\n';
  await startInteractive(page, latin1(script));
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
  await page.done();
  return problems;
}

// The nesting limit's box opens from 1000 calls deep in an expression: the
// run is suspended (and resumed after OK) with all of them on its stack.
async function deepBoxWaitsForOk(browser) {
  const page = await openPage(browser);
  const problems = [];
  const deep = (n) => '('.repeat(n) + '1' + ')'.repeat(n);
  // An event block keeps the run waiting after the abort.
  const script = 'VAR x\r\nx = ' + deep(999) + '\r\nPRINT 0, 0, x\r\nx = ' + deep(1001) +
    '\r\nWINMSG WMLBUTTONDOWN\r\nENDWM\r\n';
  await startInteractive(page, latin1(script));
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
  await page.done();
  return problems;
}

async function inputBoxTakesTyping(browser) {
  const page = await openPage(browser);
  const problems = [];
  const script = 'PTR h\r\nSTR s\r\nINPUTBOX h, 100, 100, 200, 24, ""\r\n' +
    'WINMSG WMCOMMAND\r\nGETTEXT h, s\r\nPRINT 10, 10, s\r\nENDWM\r\n';
  await startInteractive(page, latin1(script));
  await waitFor(page, () => /event blocks answer/.test(document.getElementById('status').textContent), 2000);
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
  await page.done();
  return problems;
}

// The status says what became of the run; the token count is in it, not in
// a box, unless the setting asks for the box.
async function statusTellsTheTruth(browser) {
  const page = await openPage(browser);
  const problems = [];
  const expect = async (script, pattern, what) => {
    await startInteractive(page, latin1(script));
    if (!(await waitFor(page, (p) => new RegExp(p).test(document.getElementById('status').textContent), 3000,
      pattern.source))) problems.push(`${what}: status ${JSON.stringify(await status(page))}`);
  };
  await expect('VAR x\r\nx = 1\r\nPRINT 1, 1, x\r\n', /^Ended after [\d.]+ s \(number of tokens: \d+, number of lines: 3\)$/,
    'a script that ends');
  if (await page.evaluate(() => tesselTest.running())) problems.push('a script without event blocks still runs after its end');
  await expect(RUN_ERROR, /^Line 3: TYPE ERROR Not String! -\{ 1 \} \(OK goes on\)$/, 'a run error\'s box');
  await autoConfirm(page);
  await expect(RUN_ERROR, /^Failed at line 3: TYPE ERROR Not String!/, 'a run error');
  await expect('VAR x\r\nIF x = 1\r\nPRINT 1, 1, x\r\n', /^Failed/, 'a checker error');
  await page.evaluate(() => { tesselTest.page.showBox = tesselTest.page.realShowBox; });
  await expect('WINMSG WMLBUTTONDOWN\r\nENDWM\r\n', /event blocks answer clicks and keys/, 'a script waiting for events');
  await page.evaluate(() => tesselTest.stop());
  // With the setting, the count box comes back.
  await page.click('#view-menu summary');
  await page.click('#count-box');
  await startInteractive(page, latin1('VAR x\r\n'));
  if (!(await confirmBox(page, 'Kiv'))) problems.push('no count box with the setting on');
  await page.done();
  return problems;
}

// --- limits (the page survives what it is given) ----------------------------------

async function largeScriptRefused(browser) {
  const page = await openPage(browser);
  const problems = [];
  const before = await page.evaluate(() => tesselTest.text());
  page.evaluate(() => tesselTest.takeFiles([new File([new Uint8Array(64 * 1024 * 1024 + 1)], 'huge.tsl')]));
  const d = await pageDialog(page, 5000);
  if (!d || !/larger than 64 MiB/.test(d.text)) problems.push('no message for a script over 64 MiB: ' + JSON.stringify(d));
  else await clickDialogButton(page, 'OK');
  if (await page.evaluate(() => tesselTest.text()) !== before) problems.push('the editor changed');
  await page.done();
  return problems;
}

// A 2 MB script loads at once and typing in it stays quick; the figures
// are printed for the record, the bounds are generous.
async function largeScriptLoadsAndTypes(browser) {
  const page = await openPage(browser);
  const problems = [];
  const line = 'x = x + 1 : PRINT 10, 10, "line of a large script"\r\n';
  const figures = await page.evaluate(async (line, n) => {
    const file = new File(['VAR x\r\n' + line.repeat(n)], 'large.tsl');
    const t0 = performance.now();
    await tesselTest.takeFiles([file]);
    await new Promise(requestAnimationFrame);
    const load = performance.now() - t0;
    const view = tesselTest.view();
    const times = [];
    for (let i = 0; i < 40; ++i) {
      const at = view.state.selection.main.head;
      const k0 = performance.now();
      view.dispatch({ changes: { from: at, insert: 'a' }, selection: { anchor: at + 1 }, userEvent: 'input.type' });
      view.contentDOM.getBoundingClientRect();
      document.body.offsetHeight;
      times.push(performance.now() - k0);
      await new Promise((r) => setTimeout(r, 5));
    }
    times.sort((a, b) => a - b);
    return { chars: view.state.doc.length, load, median: times[20], worst: times[39] };
  }, line, Math.ceil(2e6 / line.length));
  console.log(`       2 MB script: loaded in ${figures.load.toFixed(0)} ms; a key costs ${figures.median.toFixed(1)} ms ` +
    `(median of 40), ${figures.worst.toFixed(1)} ms at worst`);
  if (figures.chars < 1.9e6) problems.push('the editor holds ' + figures.chars + ' characters');
  if (figures.load > 3000) problems.push('loading took ' + figures.load.toFixed(0) + ' ms');
  if (figures.median > 50) problems.push('a key took ' + figures.median.toFixed(1) + ' ms');
  await page.done();
  return problems;
}

// Confirming the 10,000th box costs what confirming the first does: a
// script shows box after box, each confirmed at once.
async function manyBoxesStayCheap(browser) {
  const page = await openPage(browser);
  const problems = [];
  const script = 'PTR h\r\nVAR n, i\r\nINPUTBOX h, 10, 10, 100, 20, "x"\r\ni = 0\r\n' +
    'WHILE i < 10000\r\nSETTEXT h, n\r\ni = i + 1\r\nWEND\r\n';
  const r = await page.evaluate(async (s) => {
    const page = tesselTest.page;
    const shown = [];
    const show = page.showBox;
    page.showBox = (...a) => {
      show(...a);
      shown.push(performance.now());
      page.push({ kind: 9, a: 13 });
    };
    await tesselTest.run(s, null);
    page.showBox = show;
    const per = (from, to) => (shown[to - 1] - shown[from]) / (to - 1 - from);
    return { boxes: shown.length, first: per(0, 500), last: per(shown.length - 500, shown.length) };
  }, base64url(latin1(script)));
  console.log(`       boxes: ${r.first.toFixed(2)} ms each for the first 500, ${r.last.toFixed(2)} ms for the last 500 of ${r.boxes}`);
  if (r.boxes !== 10001) problems.push(r.boxes + ' boxes shown (the count box and 10,000)');
  if (r.last > 3 * r.first + 2) problems.push(`boxes slow down: ${r.first.toFixed(2)} ms, then ${r.last.toFixed(2)} ms`);
  await page.done();
  return problems;
}

// --- links --------------------------------------------------------------------------

async function shareLinkKeepsBytes(browser) {
  const problems = [];
  const page = await openPage(browser);
  await page.evaluate(() => navigator.clipboard.writeText = () => Promise.resolve());
  const bytes = Buffer.alloc(256 + 4);
  for (let i = 0; i < 256; ++i) bytes[i] = i;
  bytes.write('\r\n\n\r', 256, 'latin1');
  await page.evaluate((s) => tesselTest.setScript(s), base64url(bytes));
  await page.click('#share');
  const d = await pageDialog(page);
  if (!d || !/Copied/.test(d.text)) problems.push('no "copied" confirmation: ' + JSON.stringify(d));
  if (!(await page.$('#dialog-layer img.qr'))) problems.push('no QR code');
  if (!d || !/on this computer/.test(d.text)) problems.push('no note that a page from disk shares links only here');
  const link = await page.evaluate(() => tesselTest.lastLink());
  await page.done();
  if (!link.startsWith(ctx.pageUrl + '#')) problems.push('the link is ' + link);
  const again = await openPage(browser, { url: link });
  const back = Buffer.from(await again.evaluate(() => tesselTest.scriptBase64()), 'base64url');
  if (!back.equals(bytes)) problems.push('the script came back as ' + back.toString('hex'));
  // An edited script is shared as Windows-1252 bytes.
  await again.evaluate(() => {
    const v = tesselTest.view();
    v.dispatch({ changes: { from: 0, to: v.state.doc.length, insert: 'PRINT 1, 1, "\u20ac\u00e9"\n' }, userEvent: 'input' });
  });
  const edited = Buffer.from(await again.evaluate(() => tesselTest.scriptBase64()), 'base64url');
  // (It keeps the line ends of the script it was.)
  if (edited.toString('latin1') !== 'PRINT 1, 1, "\x80\xe9"\r\n') problems.push('an edited script became ' + edited.toString('hex'));
  await again.done();
  // Links of the older, uncompressed form still open.
  const old = await openPage(browser, { url: ctx.pageUrl + '#code=' + base64url(latin1('PRINT 1, 1, "old"\r\n')) });
  if (await old.evaluate(() => tesselTest.text()) !== 'PRINT 1, 1, "old"\n') problems.push('an old link did not open');
  await old.done();
  return problems;
}

// An example's link is shorter than the base64 of its script, and carries it.
async function linksAreCompressed(browser) {
  const problems = [];
  const page = await openPage(browser);
  await page.evaluate(() => navigator.clipboard.writeText = () => Promise.reject(new Error('no')));
  const script = fs.readFileSync(path.join('examples', 'tree.tsl'));
  await page.evaluate((s) => tesselTest.setScript(s), base64url(script));
  await page.click('#share');
  const d = await pageDialog(page);
  if (!d || !/Copy the link/.test(d.text)) problems.push('no way to copy when the clipboard refuses: ' + JSON.stringify(d));
  const link = await page.evaluate(() => tesselTest.lastLink());
  const fragment = link.slice(link.indexOf('#') + 1);
  console.log(`       tree.tsl: ${script.length} bytes, base64 ${base64url(script).length} characters, link fragment ${fragment.length}`);
  if (fragment.length >= base64url(script).length) problems.push('the link is no shorter than the base64 of the script');
  await page.done();
  const again = await openPage(browser, { url: link });
  const back = Buffer.from(await again.evaluate(() => tesselTest.scriptBase64()), 'base64url');
  if (!back.equals(script)) problems.push('the linked script differs');
  await again.done();
  return problems;
}

async function brokenLinksSaySo(browser) {
  const problems = [];
  for (const fragment of ['#code=A', '#z=A', '#z=' + base64url(Buffer.from([0x0b, 0x08, 0xf2, 0xf4, 0x0b]))]) {
    const page = await openPage(browser, { url: ctx.pageUrl + fragment });
    const d = await pageDialog(page);
    if (!d || !/broken or cut short/.test(d.text)) problems.push(`${fragment}: no message (${JSON.stringify(d)})`);
    if (!(await page.evaluate(() => tesselTest.text())).length) problems.push(`${fragment}: the editor is empty`);
    if (page.errors.length) problems.push(`${fragment}: ${page.errors.join('; ')}`);
    await page.done();
  }
  const embed = await openPage(browser, { url: ctx.pageUrl + '?embed#z=A' });
  if (!/broken or cut short/.test(await embed.evaluate(() => document.body.innerText))) problems.push('the embed does not say its link is broken');
  await embed.done();
  return problems;
}

async function longLinksRefused(browser) {
  const page = await openPage(browser);
  const problems = [];
  // Bytes that do not compress: the link would be far too long.
  const bytes = crypto.randomBytes(200000).map((b) => 32 + (b % 90));
  await page.evaluate((s) => tesselTest.setScript(s), base64url(bytes));
  await page.click('#share');
  const d = await pageDialog(page);
  if (!d || !/too long for a link/.test(d.text) || !d.buttons.includes('Save to a file'))
    problems.push('no refusal offering Save: ' + JSON.stringify(d));
  await page.done();
  return problems;
}

// --- the editor ------------------------------------------------------------------------

async function lintFindingsMarked(browser) {
  const page = await openPage(browser);
  const problems = [];
  const script = 'VAR score\r\nSTR s\r\nscore = 3\r\ns = "Score: " + score\r\nPRINT 10, 10, s\r\n';
  await page.evaluate((s) => tesselTest.setScript(s), base64url(latin1(script)));
  if (!(await waitFor(page, () => document.querySelectorAll('.cm-lintRange').length > 0, 5000))) {
    problems.push('no finding marked');
  } else {
    const marks = await page.evaluate(() => [...document.querySelectorAll('.cm-lintRange')].map((e) => {
      const line = e.closest('.cm-line');
      return { text: e.textContent, line: [...line.parentNode.children].indexOf(line) + 1 };
    }));
    if (!marks.some((m) => m.line === 4)) problems.push('no mark on line 4: ' + JSON.stringify(marks));
    const gutter = await page.evaluate(() => document.querySelectorAll('.cm-lint-marker').length);
    if (gutter === 0) problems.push('no gutter mark');
    const list = await page.evaluate(() => document.getElementById('findings').innerText);
    if (!/line 4/.test(list)) problems.push('the problems list has ' + JSON.stringify(list));
    await page.evaluate(() => [...document.querySelectorAll('#findings a')][0].click());
    const at = await page.evaluate(() => { const v = tesselTest.view(); return v.state.doc.lineAt(v.state.selection.main.head).number; });
    if (at !== 4) problems.push('the list\'s link went to line ' + at);
  }
  // A reserved word as a name: the checker's error with its hint.
  await page.evaluate((s) => tesselTest.setScript(s), base64url(latin1('VAR print\r\n')));
  if (!(await waitFor(page, () => /reserved word/.test(document.getElementById('findings').innerText), 5000)))
    problems.push('no hint for a reserved word: ' + await page.evaluate(() => document.getElementById('findings').innerText));
  await page.done();
  return problems;
}

// Completion and hover come from the module (the language server's code):
// the script's own names where a statement starts, message names after
// WINMSG, a keyword's form and description from the reference on hover.
async function completionAndHover(browser) {
  const page = await openPage(browser);
  const problems = [];
  const script = 'VAR total\r\nSTR names[4]\r\nFUNC paint()\r\nENDFN\r\nCIRCLE 1, 2, 3\r\n';
  await page.evaluate((s) => tesselTest.setScript(s), base64url(latin1(script)));
  const typeAtEnd = async (text) => {
    await page.evaluate(() => {
      const v = tesselTest.view();
      v.focus();
      v.dispatch({ selection: { anchor: v.state.doc.length } });
    });
    await page.keyboard.type(text);
  };
  const options = () => page.evaluate(() =>
    [...document.querySelectorAll('.cm-tooltip-autocomplete li')].map((e) => e.textContent));
  await typeAtEnd('to');
  if (!(await waitFor(page, () => document.querySelector('.cm-tooltip-autocomplete'), 5000))) {
    problems.push('no completion while a name is typed');
  } else if (!(await options()).some((o) => o.startsWith('total'))) {
    problems.push('completion offers ' + JSON.stringify(await options()));
  }
  await page.keyboard.press('Escape');
  await typeAtEnd('\nWINMSG ');
  await page.keyboard.down('Control');
  await page.keyboard.press('Space');
  await page.keyboard.up('Control');
  if (!(await waitFor(page, () => document.querySelectorAll('.cm-tooltip-autocomplete li').length === 7, 5000)))
    problems.push('after WINMSG the completion offers ' + JSON.stringify(await options()));
  await page.keyboard.press('Escape');
  // Hover over CIRCLE on line 5.
  const box = await page.evaluate(() => {
    const v = tesselTest.view();
    const r = v.coordsAtPos(v.state.doc.line(5).from + 2);
    return { x: r.left, y: (r.top + r.bottom) / 2 };
  });
  await page.mouse.move(box.x, box.y);
  if (!(await waitFor(page, () => /CIRCLE x, y, r/.test(document.querySelector('.cm-tessel-doc')?.textContent || ''), 5000)))
    problems.push('no hover with CIRCLE\'s form');
  await page.done();
  return problems;
}

async function editorIndentsAndSearches(browser) {
  const page = await openPage(browser);
  const problems = [];
  await page.evaluate((s) => tesselTest.setScript(s), base64url(latin1('')));
  await page.click('.cm-content');
  await page.keyboard.type('WHILE i < 3\ni = i + 1\nWEND\n');
  let text = await page.evaluate(() => tesselTest.text());
  if (text !== 'WHILE i < 3\n    i = i + 1\nWEND\n') problems.push('blocks are not indented: ' + JSON.stringify(text));
  // Shift+Tab outdents, Tab indents, a whole selection at once.
  await page.keyboard.down('Control');
  await page.keyboard.press('a');
  await page.keyboard.up('Control');
  await page.keyboard.press('Tab');
  text = await page.evaluate(() => tesselTest.text());
  if (text !== '    WHILE i < 3\n        i = i + 1\n    WEND\n') problems.push('Tab did not indent the lines: ' + JSON.stringify(text));
  await page.keyboard.down('Shift');
  await page.keyboard.press('Tab');
  await page.keyboard.up('Shift');
  text = await page.evaluate(() => tesselTest.text());
  if (text !== 'WHILE i < 3\n    i = i + 1\nWEND\n') problems.push('Shift+Tab did not outdent: ' + JSON.stringify(text));
  // Bracket matching marks the partner of the bracket at the cursor.
  await page.evaluate(() => {
    const v = tesselTest.view();
    v.dispatch({ changes: { from: 0, to: v.state.doc.length, insert: 'x = (1 + 2)\n' }, selection: { anchor: 4 } });
  });
  if (!(await waitFor(page, () => document.querySelectorAll('.cm-matchingBracket').length === 2, 1000)))
    problems.push('brackets are not matched');
  // Search and replace.
  await page.keyboard.down('Control');
  await page.keyboard.press('f');
  await page.keyboard.up('Control');
  if (!(await waitFor(page, () => document.querySelector('.cm-search input[name=search]') !== null, 1000)))
    problems.push('no search panel');
  await page.done();
  return problems;
}

// Escape leaves the editor (Tab indents inside it) and, pressed twice, the
// canvas; the focus is always visible.
async function keyboardLeavesEditorAndCanvas(browser) {
  const page = await openPage(browser);
  const problems = [];
  const inEditor = () => !!document.activeElement.closest('.cm-editor');
  await page.click('.cm-content');
  await page.keyboard.press('Tab');
  if (!(await page.evaluate(inEditor))) problems.push('Tab left the editor');
  const ring = await page.evaluate(() => getComputedStyle(document.querySelector('.cm-editor')).outlineStyle);
  if (ring === 'none') problems.push('the editor shows no focus ring');
  await page.keyboard.press('Escape');
  if (await page.evaluate(inEditor)) problems.push('Escape did not leave the editor');
  await page.keyboard.press('Tab');
  const next = await page.evaluate(() => document.activeElement.id || document.activeElement.tagName);
  if (await page.evaluate(inEditor)) problems.push('Tab after Escape went back into the editor');
  else if (!next) problems.push('the focus went nowhere');
  // The canvas: one Escape goes to the script, the second leaves.
  await page.focus('#canvas');
  await page.keyboard.press('Escape');
  const stillCanvas = await page.evaluate(() => document.activeElement.id === 'canvas');
  await page.keyboard.press('Escape');
  const leftCanvas = await page.evaluate(() => document.activeElement.id !== 'canvas');
  if (!stillCanvas) problems.push('one Escape left the canvas (scripts read Escape)');
  if (!leftCanvas) problems.push('two Escapes did not leave the canvas');
  await page.done();
  return problems;
}

// Every control has a name and a role; the status is announced; texts have
// a contrast of at least 4.5:1.
async function namesAndContrast(browser) {
  const page = await openPage(browser);
  const problems = [];
  const snapshot = await page.accessibility.snapshot({ interestingOnly: true });
  const unnamed = [];
  const walk = (n) => {
    if (['button', 'combobox', 'textbox', 'checkbox', 'link', 'Canvas', 'application', 'searchbox'].includes(n.role) && !n.name)
      unnamed.push(n.role);
    for (const c of n.children || []) walk(c);
  };
  walk(snapshot);
  if (unnamed.length) problems.push('controls without a name: ' + unnamed.join(', '));
  const live = await page.evaluate(() => document.getElementById('status').getAttribute('aria-live'));
  if (live !== 'polite') problems.push('the status is not announced');
  const low = await page.evaluate(() => {
    const lum = (rgb) => {
      const c = rgb.match(/[\d.]+/g).slice(0, 3).map(Number).map((v) => {
        v /= 255;
        return v <= 0.03928 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4;
      });
      return 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2];
    };
    const background = (el) => {
      for (; el; el = el.parentElement) {
        const b = getComputedStyle(el).backgroundColor;
        if (b !== 'rgba(0, 0, 0, 0)' && b !== 'transparent') return b;
      }
      return 'rgb(255, 255, 255)';
    };
    const out = [];
    const seen = new Set();
    for (const el of document.querySelectorAll('.cm-gutterElement, .cm-line span, #bar button, #bar select, #bar summary, #status, #problems a')) {
      if (!el.textContent.trim() || el.getClientRects().length === 0) continue;
      const fg = getComputedStyle(el).color, bg = background(el);
      const a = lum(fg), b = lum(bg);
      const ratio = (Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05);
      const key = fg + bg;
      if (ratio < 4.5 && !seen.has(key)) { seen.add(key); out.push(`${el.className || el.id || el.tagName} ${fg} on ${bg}: ${ratio.toFixed(2)}`); }
    }
    return out;
  });
  if (low.length) problems.push('low contrast: ' + low.join('; '));
  const tips = await page.evaluate(() => [document.getElementById('run').title, document.getElementById('stop').title]);
  if (!/Ctrl\+Enter/.test(tips[0]) || !/Ctrl\+\./.test(tips[1])) problems.push('shortcuts missing from tooltips: ' + tips.join(' / '));
  await page.done();
  return problems;
}

// --- work kept ---------------------------------------------------------------------------

async function codeSurvivesReload(browser) {
  const context = await browser.createBrowserContext();
  const page = await openPage(browser, { context });
  const problems = [];
  await page.click('#file-menu summary');
  await page.click('#new');
  await page.click('.cm-content');
  await page.keyboard.type('PRINT 1, 1, "kept"\n');
  await sleep(800);
  await page.reload();
  await page.evaluate(() => tesselTest.ready);
  const text = await page.evaluate(() => tesselTest.text());
  if (text !== 'PRINT 1, 1, "kept"\n') problems.push('after a reload the editor has ' + JSON.stringify(text));
  const doc = await page.evaluate(() => document.getElementById('document').selectedOptions[0].textContent);
  if (doc !== 'Untitled') problems.push('the project list shows ' + doc);
  await page.close();
  await context.close();
  return problems;
}

async function exampleSwitchAsksAndUndoes(browser) {
  const page = await openPage(browser);
  const problems = [];
  await page.click('#file-menu summary');
  await page.click('#new');
  await page.click('.cm-content');
  await page.keyboard.type('PRINT 1, 1, "mine"\n');
  const project = await page.evaluate(() => tesselTest.doc());
  await page.select('#document', 'e:bounce');
  const d = await pageDialog(page);
  if (!d || !/example "bounce"/.test(d.title)) problems.push('no question before the switch: ' + JSON.stringify(d));
  if (d) await clickDialogButton(page, 'Open');
  const shown = await page.evaluate(() => tesselTest.text());
  if (!/Bouncing ball/.test(shown)) problems.push('the example did not open');
  if (/' expect|' events:/.test(shown)) problems.push('the example shows test directives');
  await page.click('.cm-content');
  await page.keyboard.down('Control');
  await page.keyboard.press('z');
  await page.keyboard.up('Control');
  const back = await page.evaluate(() => [tesselTest.text(), tesselTest.doc(), document.getElementById('document').value]);
  if (back[0] !== 'PRINT 1, 1, "mine"\n') problems.push('undo brought back ' + JSON.stringify(back[0].slice(0, 40)));
  if (back[1] !== project || back[2] !== project) problems.push('undo did not go back to the project: ' + back.slice(1).join(', '));
  // Cancel keeps the work.
  await page.select('#document', 'e:clock');
  if (await pageDialog(page)) await clickDialogButton(page, 'Cancel');
  if (await page.evaluate(() => tesselTest.doc()) !== project) problems.push('Cancel still switched');
  const described = await page.evaluate(() => [...document.querySelectorAll('#document option[value^="e:"]')]
    .filter((o) => !/^\w+: \S/.test(o.textContent)).map((o) => o.textContent));
  if (described.length) problems.push('examples without a description: ' + described.join(', '));
  await page.done();
  return problems;
}

// New, Rename and Delete (the last two ask through the browser's own dialogs).
async function projectsList(browser) {
  const page = await openPage(browser);
  const problems = [];
  page.removeAllListeners('dialog');
  page.on('dialog', (d) => (d.type() === 'prompt' ? d.accept('Space game') : d.accept()));
  await page.click('#file-menu summary');
  await page.click('#new');
  const id = await page.evaluate(() => tesselTest.doc());
  await page.click('#file-menu summary');
  await page.click('#rename');
  await sleep(200);
  const names = () => page.evaluate(() => [...document.querySelectorAll('#document option[value^="p:"]')].map((o) => o.textContent));
  if (!(await names()).includes('Space game')) problems.push('after Rename the projects are ' + (await names()).join(', '));
  await page.click('#file-menu summary');
  await page.click('#delete');
  await sleep(200);
  if ((await names()).length !== 0) problems.push('after Delete the projects are ' + (await names()).join(', '));
  if (await page.evaluate(() => tesselTest.doc()) === id) problems.push('the deleted project is still shown');
  await page.done();
  return problems;
}

// Waits up to 4 s for a download to be written: the browser makes the file
// before it writes it (an empty file was seen on a busy machine).
async function downloaded(file, bytes) {
  const size = () => (fs.existsSync(file) ? fs.statSync(file).size : -1);
  for (let i = 0; i < 40 && size() < bytes; ++i) await sleep(100);
  return fs.existsSync(file);
}

async function saveAndOpenRoundTrip(browser) {
  const page = await openPage(browser);
  const problems = [];
  const dir = fs.mkdtempSync(path.join(ctx.scratch, 'download-'));
  const cdp = await page.createCDPSession();
  await cdp.send('Page.setDownloadBehavior', { behavior: 'allow', downloadPath: dir });
  const bytes = latin1("' caf\xe9\r\nPRINT 1, 1, \"\x80\"\r\n");
  await page.evaluate((s) => tesselTest.setScript(s), base64url(bytes));
  await page.click('#file-menu summary');
  await page.click('#save');
  const file = path.join(dir, 'demo.tsl');
  if (!await downloaded(file, bytes.length)) {
    problems.push('no demo.tsl saved: ' + fs.readdirSync(dir).join(', '));
  } else {
    if (!fs.readFileSync(file).equals(bytes)) problems.push('the saved file differs: ' + fs.readFileSync(file).toString('hex'));
    const [chooser] = await Promise.all([page.waitForFileChooser(), (async () => {
      await page.click('#file-menu summary');
      await page.click('#open');
    })()]);
    await chooser.accept([file]);
    // The editor holds a changed example: the page asks first.
    const d = await pageDialog(page);
    if (!d || !/Open the file demo.tsl/.test(d.title)) problems.push('no question before opening: ' + JSON.stringify(d));
    else await clickDialogButton(page, 'Open');
    await waitFor(page, () => /^p:/.test(tesselTest.doc()), 3000);
    const back = Buffer.from(await page.evaluate(() => tesselTest.scriptBase64()), 'base64url');
    if (!back.equals(bytes)) problems.push('the opened file came back as ' + back.toString('hex'));
    const name = await page.evaluate(() => document.getElementById('document').selectedOptions[0].textContent);
    if (name !== 'demo') problems.push('the opened file became project ' + name);
  }
  // The picture of the canvas.
  await page.click('#file-menu summary');
  await page.click('#picture');
  const png = path.join(dir, 'demo.png');
  if (!await downloaded(png, 8) || fs.readFileSync(png).subarray(1, 4).toString() !== 'PNG') problems.push('no picture saved');
  await page.done();
  return problems;
}

// Leaving the page warns when the browser could not keep the work.
async function leavingWarnsWhenNotKept(browser) {
  const page = await openPage(browser);
  const problems = [];
  await page.evaluate(() => { Storage.prototype.setItem = () => { throw new Error('full'); }; });
  await page.click('#file-menu summary');
  await page.click('#new');
  await page.click('.cm-content');
  await page.keyboard.type('PRINT 1, 1, "not kept"\n');
  await sleep(800);
  const warned = await page.evaluate(() => {
    const e = new Event('beforeunload', { cancelable: true });
    window.dispatchEvent(e);
    return e.defaultPrevented;
  });
  if (!warned) problems.push('no warning before leaving unkept work');
  await page.done();
  return problems;
}

// --- layout ---------------------------------------------------------------------------------

async function fitsTheScreen(browser, viewport) {
  const page = await openPage(browser, { viewport });
  const problems = [];
  await startInteractive(page, fs.readFileSync(path.join('examples', 'demo.tsl')));
  await sleep(300);
  for (const id of ['canvas', 'run', 'stop', 'share', 'document']) {
    const box = await (await page.$('#' + id)).boundingBox();
    if (!inView(box, viewport)) problems.push(`#${id} is not wholly in view: ${JSON.stringify(box)}`);
  }
  const canvas = await (await page.$('#canvas')).boundingBox();
  const editor = await (await page.$('.cm-editor')).boundingBox();
  if (canvas.x < editor.x + editor.width) problems.push('the canvas covers the editor');
  if (Math.abs(canvas.width / canvas.height - 4 / 3) > 0.01) problems.push('the canvas is not 4:3: ' + JSON.stringify(canvas));
  if (viewport.width >= 1366 && (canvas.width !== 800 || canvas.height !== 600)) problems.push('not 1:1 with room for it: ' + JSON.stringify(canvas));
  // A click lands where the script's coordinates say, whatever the scale.
  await page.evaluate(() => tesselTest.stop());
  const script = 'VAR p, y\r\nWINMSG WMLBUTTONDOWN\r\nHLPARAM p\r\ny = INT(p / 65536)\r\nPRINT p - y * 65536, y, "."\r\nENDWM\r\n';
  await startInteractive(page, latin1(script));
  await waitFor(page, () => /event blocks answer/.test(document.getElementById('status').textContent), 2000);
  const c = await (await page.$('#canvas')).boundingBox();
  await page.mouse.click(c.x + c.width * 0.75, c.y + c.height * 0.5);
  await sleep(300);
  const printed = await page.evaluate(async () => { await tesselTest.stop(); return new TextDecoder().decode(FS.readFile('/run/prints.jsonl')); });
  const m = /"x":(\d+),"y":(\d+)/.exec(printed);
  if (!m || Math.abs(m[1] - 600) > 2 || Math.abs(m[2] - 300) > 2) problems.push('a click at (600, 300) arrived as ' + printed.trim());
  await page.screenshot({ path: path.join(ctx.scratch, `page-${viewport.width}.png`) });
  await page.done();
  return problems;
}

async function presentationAndFontSize(browser) {
  const page = await openPage(browser, { viewport: VIEWPORTS[1] });
  const problems = [];
  await page.click('#view-menu summary');
  const before = await page.evaluate(() => parseFloat(getComputedStyle(document.querySelector('.cm-content')).fontSize));
  await page.click('#font-larger');
  const after = await page.evaluate(() => parseFloat(getComputedStyle(document.querySelector('.cm-content')).fontSize));
  if (!(after > before)) problems.push(`the editor's text stayed ${before}px`);
  await page.click('#present');
  if (!(await waitFor(page, () => document.fullscreenElement && document.fullscreenElement.id === 'screen', 2000))) {
    problems.push('no full screen');
  } else {
    await sleep(200);
    const c = await (await page.$('#canvas')).boundingBox();
    if (c.height < 590) problems.push('full screen shows the canvas at ' + JSON.stringify(c));
  }
  await page.done();
  return problems;
}

// --- the embed ----------------------------------------------------------------------------------

async function embedMatchesAndStops(browser) {
  const problems = [];
  const script = path.join(here, 'embed.tsl');
  const native = runNative(script, null);
  const link = ctx.pageUrl + '?embed#code=' + base64url(fs.readFileSync(script));
  const page = await openPage(browser, { url: link, viewport: { width: 800, height: 626 } });
  await waitFor(page, () => !tesselTest.running(), 5000);
  const d = await page.evaluate((u) => tesselTest.compareCanvas(u), dataUrl(native.shot));
  if (d.differing !== 0) problems.push('the embed differs from the headless run in ' + d.differing + ' pixels');
  const canvas = await (await page.$('#canvas')).boundingBox();
  if (canvas.width !== 800 || canvas.height !== 600) problems.push('an 800x626 embed shows the canvas at ' + JSON.stringify(canvas));
  await page.done();
  // A runaway script in an embed can be stopped.
  const endless = await openPage(browser, { url: ctx.pageUrl + '?embed#code=' +
    base64url(fs.readFileSync(path.join(here, 'endless.tsl'))), viewport: { width: 640, height: 400 } });
  await waitFor(endless, () => tesselTest.running(), 2000);
  const stop = await endless.$('#embed-stop');
  if (!stop || !(await stop.boundingBox())) {
    problems.push('no Stop while the script runs');
  } else {
    await stop.click();
    if (!(await waitFor(endless, () => !tesselTest.running(), 1500))) problems.push('Stop did not end the run');
    if (!(await endless.$eval('#embed-run', (b) => !b.hidden))) problems.push('no way to run it again');
  }
  const remix = await endless.$eval('#remix', (a) => [a.textContent, a.href]);
  if (!/remix/.test(remix[0]) || /embed/.test(remix[1])) problems.push('the remix link is ' + remix.join(' '));
  await endless.done();
  return problems;
}

// An embed in a 640x400 frame of another page shows the whole canvas.
async function embedFitsItsFrame(browser) {
  const problems = [];
  const host = path.join(ctx.scratch, 'host.html');
  const link = ctx.pageUrl + '?embed#code=' + base64url(fs.readFileSync(path.join(here, 'embed.tsl')));
  fs.writeFileSync(host, `<!doctype html><body style="margin:20px"><iframe src="${link}" width="640" height="400" style="border:0"></iframe>`);
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  await page.setViewport({ width: 1024, height: 600 });
  await page.goto('file://' + host);
  const frame = await (await page.$('iframe')).contentFrame();
  await frame.waitForFunction(() => window.tesselTest && document.getElementById('canvas').width === 800, { timeout: 10000 });
  await sleep(500);
  const r = await frame.evaluate(() => {
    const b = document.getElementById('canvas').getBoundingClientRect();
    return { x: b.x, y: b.y, width: b.width, height: b.height, scrollW: document.documentElement.scrollWidth,
      scrollH: document.documentElement.scrollHeight };
  });
  if (!inView(r, { width: 640, height: 400 })) problems.push('the canvas does not fit the frame: ' + JSON.stringify(r));
  if (Math.abs(r.width / r.height - 4 / 3) > 0.02) problems.push('the canvas is not 4:3 in the frame: ' + JSON.stringify(r));
  if (r.scrollW > 640 || r.scrollH > 400) problems.push('the embed scrolls: ' + JSON.stringify(r));
  await page.screenshot({ path: path.join(ctx.scratch, 'embed-640x400.png') });
  await context.close();
  return problems;
}

// --- published --------------------------------------------------------------------------------------

// Served by a plain static web server with the files beside it, the page
// runs, installs (manifest, service worker) and works offline.
async function servedAndOffline(browser) {
  const dir = path.dirname(path.resolve(ctx.pagePath));
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.webmanifest': 'application/manifest+json', '.svg': 'image/svg+xml' };
  const server = http.createServer((req, res) => {
    const name = path.basename(req.url.split('?')[0].split('#')[0]);
    const file = path.join(dir, name);
    if (!name || !fs.existsSync(file)) return res.writeHead(404).end();
    res.writeHead(200, { 'Content-Type': types[path.extname(name)] || 'application/octet-stream' }).end(fs.readFileSync(file));
  });
  await new Promise((r) => server.listen(0, '127.0.0.1', r));
  const problems = [];
  const context = await browser.createBrowserContext();
  try {
    const url = `http://127.0.0.1:${server.address().port}/${path.basename(ctx.pagePath)}`;
    const page = await openPage(browser, { url, context });
    const r = await page.evaluate((s) => tesselTest.run(s, ''), base64url('PRINT 1, 2, "served"\r\n'));
    if (r.printLog !== '{"x":1,"y":2,"text":"served"}\n') problems.push('PRINT log ' + JSON.stringify(r.printLog));
    const manifest = await page.evaluate(async () => {
      const link = document.querySelector('link[rel=manifest]');
      const m = await (await fetch(link.href)).json();
      return m.name && m.icons && m.icons.length > 0 && m.display;
    });
    if (!manifest) problems.push('no usable manifest');
    if (!(await waitFor(page, () => navigator.serviceWorker.controller !== null ||
      navigator.serviceWorker.ready.then(() => true), 5000))) problems.push('no service worker');
    await page.evaluate(() => navigator.serviceWorker.ready);
    await page.reload();
    await page.evaluate(() => tesselTest.ready);
    await page.setOfflineMode(true);
    await page.reload();
    await page.evaluate(() => tesselTest.ready);
    const offline = await page.evaluate((s) => tesselTest.run(s, '').then((x) => x.printLog), base64url('PRINT 3, 4, "offline"\r\n'));
    if (offline !== '{"x":3,"y":4,"text":"offline"}\n') problems.push('offline the page printed ' + JSON.stringify(offline));
    await page.setOfflineMode(false);
    await page.close();
  } finally {
    await context.close();
    server.close();
  }
  return problems;
}

async function helpIsSearchable(browser) {
  const page = await openPage(browser, { viewport: VIEWPORTS[1] });
  const problems = [];
  await page.click('#help-button');
  await waitFor(page, () => document.getElementById('help-body').children.length > 0, 3000);
  await page.type('#help-search', 'CIRCLE');
  await sleep(400);
  const r = await page.evaluate(() => ({
    shown: [...document.querySelectorAll('#help-body section')].filter((s) => !s.hidden).length,
    all: document.querySelectorAll('#help-body section').length,
    marks: document.querySelectorAll('#help-body mark').length,
  }));
  if (!(r.shown > 0 && r.shown < r.all && r.marks > 0)) problems.push('the search for CIRCLE shows ' + JSON.stringify(r));
  await page.keyboard.press('Escape');
  if (!(await page.evaluate(() => document.getElementById('help').hidden))) problems.push('Escape did not close the help');
  await page.done();
  return problems;
}

// --- the shipped page ------------------------------------------------------------------------------

// The shipped page carries none of the test edition's hooks, and starts
// without them: its editor opens the demo with the examples listed.
async function shippedPageHasNoHooks(browser) {
  const problems = [];
  if (fs.readFileSync(ctx.shippedPath, 'latin1').includes('tesselTest')) problems.push('tessel.html names tesselTest');
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  page.on('pageerror', (e) => problems.push('page error: ' + e.message));
  await page.setViewport({ ...VIEWPORTS[0], deviceScaleFactor: 1 });
  await page.goto(ctx.shippedUrl);
  const started = await waitFor(page, () => document.querySelector('#editor .cm-content') !== null &&
    document.querySelectorAll('#document option').length > 1, 20000);
  if (!started) problems.push('the shipped page did not start its editor');
  if (await page.evaluate(() => window.tesselTest !== undefined)) problems.push('the shipped page has window.tesselTest');
  await context.close();
  return problems;
}

// The shipped page's size and its first picture, printed for the record (an
// embed of a small drawing, at full speed and with the CPU 4x slower).
async function sizeAndFirstPicture(browser) {
  const bytes = fs.readFileSync(ctx.shippedPath);
  const problems = [];
  const times = {};
  for (const rate of [1, 4]) {
    const context = await browser.createBrowserContext();
    const page = await context.newPage();
    const cdp = await page.createCDPSession();
    await cdp.send('Emulation.setCPUThrottlingRate', { rate });
    await page.evaluateOnNewDocument(() => {
      const put = CanvasRenderingContext2D.prototype.putImageData;
      CanvasRenderingContext2D.prototype.putImageData = function (...a) {
        if (this.canvas.id === 'canvas' && window.firstPaint === undefined) window.firstPaint = performance.now();
        return put.apply(this, a);
      };
    });
    await page.goto(ctx.shippedUrl + '?embed#code=' + base64url(latin1('WCOLOR 30, 60, 90\r\nCIRCLE 400, 300, 100\r\nSWAP\r\n')));
    await page.waitForFunction(() => window.firstPaint !== undefined, { timeout: 60000 });
    times[rate] = await page.evaluate(() => window.firstPaint);
    await context.close();
  }
  console.log(`       page: ${bytes.length} bytes (${zlib.gzipSync(bytes).length} gzipped); first picture ` +
    `${times[1].toFixed(0)} ms, ${times[4].toFixed(0)} ms at 4x CPU throttle`);
  if (bytes.length > 3e6) problems.push('the page has grown to ' + bytes.length + ' bytes');
  if (times[4] > 10000) problems.push('the first picture took ' + times[4].toFixed(0) + ' ms at 4x throttle');
  return problems;
}

// --- the debugger -------------------------------------------------------------------
const DEBUGGED = 'VAR x\r\nVAR i\r\nVAR a[5]\r\nFUNC twice()\r\n  x = x * 2\r\nENDFN\r\nx = 1\r\ni = 0\r\n' +
  'WHILE i < 5\r\n  a[i] = i * 10\r\n  twice()\r\n  i = i + 1\r\nWEND\r\nPRINT 10, 10, x\r\n';

// What the paused debugger shows: the highlighted line's number, the
// variables panel's text, the call stack's entries, whether Step back works.
const debuggerShows = (page) => page.evaluate(() => {
  const line = document.querySelector('#editor .cm-debug-line');
  const lines = [...document.querySelectorAll('#editor .cm-line')];
  return {
    paused: tesselTest.debug.paused(),
    line: line ? lines.indexOf(line) + 1 : 0,
    variables: document.getElementById('dbg-variables').innerText,
    stack: [...document.querySelectorAll('#dbg-stack li')].map((li) => li.textContent),
    back: !document.getElementById('dbg-back').disabled,
    backTitle: document.getElementById('dbg-back').title,
  };
});

// Waits until the run stands at `line` with the variables panel showing `value`.
const pausesAt = (page, line, value) => waitFor(page, ([l, v]) => {
  const at = document.querySelector('#editor .cm-debug-line');
  return tesselTest.debug.paused() && at && [...document.querySelectorAll('#editor .cm-line')].indexOf(at) + 1 === l &&
    document.getElementById('dbg-variables').innerText.includes(v);
}, 5000, [line, value]);

// Clicks the breakpoint gutter beside line `n`.
async function clickGutter(page, n) {
  const y = await page.evaluate((k) => {
    const num = [...document.querySelectorAll('#editor .cm-lineNumbers .cm-gutterElement')].find((e) => e.textContent === String(k));
    const r = num.getBoundingClientRect();
    return r.top + r.height / 2;
  }, n);
  const x = await page.evaluate(() => {
    const r = document.querySelector('#editor .cm-breakpoint-gutter').getBoundingClientRect();
    return r.left + r.width / 2;
  });
  await page.mouse.click(x, y);
}

async function debuggerStopsStepsAndStepsBack(browser) {
  const page = await openPage(browser);
  const problems = [];
  await page.evaluate((s) => tesselTest.setScript(s), base64url(latin1(DEBUGGED)));
  await clickGutter(page, 11);
  const marks = await page.evaluate(() => document.querySelectorAll('#editor .cm-breakpoint').length);
  if (marks !== 1) problems.push(marks + ' breakpoint marks after a click in the gutter');
  // A run played from (no) events: it can step back.
  await page.evaluate(() => { window.debugRun = tesselTest.debug.start({ events: '' }); });
  if (!(await pausesAt(page, 11, 'x = 1'))) {
    problems.push('the run did not stop at the breakpoint with x = 1: ' + JSON.stringify(await debuggerShows(page)));
    await page.done();
    return problems;
  }
  if (!(await debuggerShows(page)).back) problems.push('Step back is disabled in a run played from events');
  // The first scope's variables stand under the panel's heading, not under a second "Variables".
  if (await page.evaluate(() => [...document.querySelectorAll('#dbg-variables summary')].some((s) => s.textContent === 'Variables')))
    problems.push('the variables panel repeats its heading');
  await page.keyboard.press('F11');
  if (!(await pausesAt(page, 5, 'x = 1'))) problems.push('F11 did not step into the function: ' + JSON.stringify(await debuggerShows(page)));
  const inside = await debuggerShows(page);
  if (!(inside.stack.length === 2 && /twice/.test(inside.stack[0]) && /main program, line 11/.test(inside.stack[1])))
    problems.push('the call stack in the function: ' + JSON.stringify(inside.stack));
  await page.click('#dbg-next');
  if (!(await waitFor(page, () => tesselTest.debug.paused() && /x = 2/.test(document.getElementById('dbg-variables').innerText), 5000)))
    problems.push('Step over did not run line 5: ' + JSON.stringify(await debuggerShows(page)));
  await page.click('#dbg-back');
  if (!(await pausesAt(page, 5, 'x = 1'))) problems.push('Step back did not return to line 5 with x = 1: ' + JSON.stringify(await debuggerShows(page)));
  // The array opens with its elements.
  await page.evaluate(() => {
    for (const s of document.querySelectorAll('#dbg-variables summary')) if (/^Arrays/.test(s.textContent)) s.click();
  });
  if (!(await waitFor(page, () => /a = number array \[6\]/.test(document.getElementById('dbg-variables').innerText), 3000)))
    problems.push('the Arrays scope does not show a: ' + JSON.stringify((await debuggerShows(page)).variables));
  // A line added above while the run stands: the run keeps its own lines,
  // shown where they are now, and so does the breakpoint.
  await page.click('#editor .cm-content');
  await page.keyboard.down('Control');
  await page.keyboard.press('Home');
  await page.keyboard.up('Control');
  await page.keyboard.press('Enter');
  if (!(await pausesAt(page, 6, 'x = 1'))) problems.push('the stop is not shown on its line moved down: ' + JSON.stringify(await debuggerShows(page)));
  // So are the call stack's lines.
  const moved = (await debuggerShows(page)).stack;
  if (!(moved.length === 2 && /line 6$/.test(moved[0]) && /main program, line 12$/.test(moved[1])))
    problems.push('the call stack keeps the lines from before the edit: ' + JSON.stringify(moved));
  const said = await page.evaluate(() => document.getElementById('status').textContent);
  if (!/^Paused at line 6 /.test(said)) problems.push('the status keeps the line from before the edit: ' + said);
  // Continue stops at the breakpoint's second hit; with it cleared, the run ends.
  await page.click('#dbg-continue');
  if (!(await pausesAt(page, 12, 'i = 1'))) problems.push('Continue did not stop at the second hit: ' + JSON.stringify(await debuggerShows(page)));
  await clickGutter(page, 12);
  await page.keyboard.press('F5');
  const r = await page.evaluate(() => Promise.race([window.debugRun, new Promise((ok) => setTimeout(() => ok(null), 5000))]));
  if (!r) problems.push('the run did not end after Continue');
  else if (!/"32"/.test(r.printLog)) problems.push('the run printed ' + JSON.stringify(r.printLog));
  if (await page.evaluate(() => !document.getElementById('debug-bar').hidden)) problems.push('the debug toolbar stays after the run');
  await page.done();
  return problems;
}

// Breakpoints with conditions on a WHILE and on a statement that hands over
// to the page (GETTICK) stop where they hold, and the run they pass goes on.
const TICKING = 'VAR i\r\nVAR t\r\nWHILE i < 50\r\n  GETTICK t\r\n  i = i + 1\r\nWEND\r\nPRINT 0, 0, i\r\n';
async function conditionsOnAWhileAndAGettick(browser) {
  const page = await openPage(browser);
  const problems = [];
  await page.evaluate((s) => tesselTest.setScript(s), base64url(latin1(TICKING)));
  await page.evaluate(() => {
    tesselTest.debug.setBreakpoint(3, 'i = 40');
    tesselTest.debug.setBreakpoint(4, 'i > 47');
    window.debugRun = tesselTest.debug.start({ events: '' });
  });
  for (const [line, value] of [[3, 'i = 40'], [4, 'i = 48'], [4, 'i = 49']]) {
    if (!(await pausesAt(page, line, value))) problems.push(`no stop at line ${line} with ${value}: ` + JSON.stringify(await debuggerShows(page)));
    await page.click('#dbg-continue');
  }
  const r = await page.evaluate(() => Promise.race([window.debugRun, new Promise((ok) => setTimeout(() => ok(null), 5000))]));
  if (!r) problems.push('the run did not end after the last stop');
  else if (!/"50"/.test(r.printLog)) problems.push('the run printed ' + JSON.stringify(r.printLog));
  await page.done();
  return problems;
}

// A live run (the page's own input) stops where a condition and a hit count hold, steps
// back through what it took from the page (a click that ran an event
// block), and stands still in time while paused.
const CLICKED = 'VAR i\r\nVAR t\r\nVAR clicks\r\nWHILE i < 5\r\n  i = i + 1\r\nWEND\r\n' +
  'WINMSG WMLBUTTONDOWN\r\n  clicks = clicks + 1\r\n  GETTICK t\r\n  PRINT 0, 0, clicks\r\nENDWM\r\n';
async function conditionalBreakpointInLiveRun(browser) {
  const page = await openPage(browser);
  const problems = [];
  await page.evaluate((s) => tesselTest.setScript(s), base64url(latin1(CLICKED)));
  await page.evaluate(() => { tesselTest.debug.setBreakpoint(5, 'i > 1', '2'); window.debugRun = tesselTest.debug.start(); });
  // i > 1 holds first at i = 2; its second hit is at i = 3.
  if (!(await pausesAt(page, 5, 'i = 3'))) problems.push('the condition i > 1 at its second hit did not stop at i = 3: ' + JSON.stringify(await debuggerShows(page)));
  if (await answers(page, 500) < 0) problems.push('the page froze while the run was paused');
  // Past the loop to the click's block.
  await clickGutter(page, 5);
  await page.evaluate(() => tesselTest.debug.setBreakpoint(10));
  await page.click('#dbg-continue');
  await sleep(300);
  // Paused while it waits for the click: it stops there at once.
  await page.click('#dbg-pause');
  if (!(await waitFor(page, () => tesselTest.debug.paused() && /waiting for messages/.test(document.getElementById('dbg-stack').innerText), 3000)))
    problems.push('Pause while the run waits for a click did not stop it: ' + JSON.stringify(await debuggerShows(page)));
  await page.click('#dbg-continue');
  await sleep(100);
  const at = await page.evaluate(() => {
    const r = document.getElementById('canvas').getBoundingClientRect();
    return [r.left + 20, r.top + 20];
  });
  await page.mouse.click(at[0], at[1]);
  if (!(await pausesAt(page, 10, 'clicks = 1'))) {
    problems.push('the click did not stop the block at line 10: ' + JSON.stringify(await debuggerShows(page)));
  } else {
    const shown = await debuggerShows(page);
    if (!/WINMSG WMLBUTTONDOWN/.test(shown.stack.join())) problems.push('the event block is not a frame: ' + JSON.stringify(shown.stack));
    const tick = /t = (\d+)/.exec(shown.variables);
    await page.click('#dbg-back');
    if (!(await pausesAt(page, 9, 'clicks = 1'))) problems.push('Step back in the live run did not return to line 9: ' + JSON.stringify(await debuggerShows(page)));
    await sleep(400);
    await page.click('#dbg-next');
    // The run brought back reads the clock as it did.
    if (!(await pausesAt(page, 10, 't = ' + (tick ? tick[1] : '?')))) problems.push('after step back the run read another GETTICK: ' +
      (tick ? tick[1] : 'none') + ' then ' + JSON.stringify((await debuggerShows(page)).variables));
    // Back again, through a record that the run brought back has added to.
    await page.click('#dbg-back');
    if (!(await pausesAt(page, 9, 'clicks = 1'))) problems.push('a second step back did not return to line 9: ' + JSON.stringify(await debuggerShows(page)));
  }
  await page.click('#stop');
  if (!(await waitFor(page, () => !tesselTest.running(), 3000))) problems.push('Stop did not end the paused run');
  await page.done();
  return problems;
}

export async function pageTests(browser) {
  const only = process.env.PAGE_TEST ? new RegExp(process.env.PAGE_TEST) : null;
  // What a user of a small screen must have too runs at both sizes.
  const atBothSizes = [
    ['code survives a reload', codeSurvivesReload],
    ['an example switch asks first and can be undone', exampleSwitchAsksAndUndoes],
    ['Save and Open round-trip a file; the picture saves', saveAndOpenRoundTrip],
    ['Escape leaves the editor and the canvas', keyboardLeavesEditorAndCanvas],
    ['lint findings are marked at their lines, with hints', lintFindingsMarked],
    ['a share link keeps the script byte for byte', shareLinkKeepsBytes],
    ['share links are compressed', linksAreCompressed],
    ['controls have names; texts have contrast', namesAndContrast],
    ['canvas and toolbar in view', (b) => fitsTheScreen(b, ctx.viewport)],
  ];
  const tests = [
    ['an endless loop leaves the page answering and stops', endlessLoopStops],
    ['a box waits for OK without freezing the page', boxWaitsForOk],
    ['a box from the nesting limit waits for OK and the run goes on', deepBoxWaitsForOk],
    ['typing into an input box and Enter run the command block', inputBoxTakesTyping],
    ['the status tells how the run went, with the token count', statusTellsTheTruth],
    ['a script over 64 MiB is refused with a message', largeScriptRefused],
    ['a 2 MB script loads at once and typing in it stays quick', largeScriptLoadsAndTypes],
    ['the 10,000th box costs what the first does', manyBoxesStayCheap],
    ['a broken or cut link says so', brokenLinksSaySo],
    ['a link too long for a browser is refused, offering Save', longLinksRefused],
    ['the editor indents blocks, matches brackets and searches', editorIndentsAndSearches],
    ['completion and hover come from the module', completionAndHover],
    ['leaving warns when the browser could not keep the work', leavingWarnsWhenNotKept],
    ['projects can be made, renamed and deleted', projectsList],
    ['full screen and the editor\'s text size', presentationAndFontSize],
    ['an embed looks as the headless run and can be stopped', embedMatchesAndStops],
    ['an embed in a 640x400 frame shows the whole canvas', embedFitsItsFrame],
    ['the page runs served over HTTP, installs and works offline', servedAndOffline],
    ['the help is searchable', helpIsSearchable],
    ['the debugger stops at a gutter breakpoint, steps, steps back and continues', debuggerStopsStepsAndStepsBack],
    ['a live run stops at a condition and at a click, and steps back through them', conditionalBreakpointInLiveRun],
    ['conditions on a WHILE and on a GETTICK stop where they hold', conditionsOnAWhileAndAGettick],
    ['the shipped page carries no test hooks', shippedPageHasNoHooks],
    ['the page\'s size and first picture', sizeAndFirstPicture],
  ];
  for (const v of VIEWPORTS) {
    ctx.viewport = v;
    for (const [name, fn] of atBothSizes) {
      const full = `${name} at ${v.width}x${v.height}`;
      if (!only || only.test(full)) await check(full, () => fn(browser));
    }
  }
  ctx.viewport = null;
  for (const [name, fn] of tests) if (!only || only.test(name)) await check(name, () => fn(browser));
}
