// The canvas on screen: scaled to the room it has (1:1 when it fits,
// nearest-neighbour otherwise; the script's coordinates never change), and
// the person's mouse and keys handed to the running script.
import { EVENT } from './page-events.js';
import { page } from './runner.js';

const canvas = document.getElementById('canvas');
const frame = document.getElementById('frame');

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
export function virtualKey(e) {
  if (e.key.length === 1 && /[a-z]/i.test(e.key)) return e.key.toUpperCase().charCodeAt(0);
  let m;
  if ((m = /^Key([A-Z])$/.exec(e.code))) return m[1].charCodeAt(0);
  if ((m = /^Digit(\d)$/.exec(e.code))) return 48 + Number(m[1]);
  if ((m = /^F(\d+)$/.exec(e.code)) && Number(m[1]) <= 12) return 111 + Number(m[1]);
  if ((m = /^Numpad([1-9])$/.exec(e.code))) return 96 + Number(m[1]);
  return KEYS[e.code] || 0;
}

// Sizes the frame to fit width x height CSS pixels: the largest scale that
// fits, at most `most` (1 on the page: pixel-exact when there is room).
export function fitFrame(width, height, most = 1) {
  const scale = Math.max(0.1, Math.min(most, width / canvas.width, height / canvas.height));
  const w = Math.floor(canvas.width * scale), h = Math.floor(canvas.height * scale);
  frame.style.width = w + 'px';
  frame.style.height = h + 'px';
  frame.classList.toggle('scaled', w !== canvas.width || h !== canvas.height);
  return scale;
}

// A position of the pointer in the canvas's own pixels.
function position(e) {
  const r = canvas.getBoundingClientRect();
  return [Math.floor((e.clientX - r.left) * canvas.width / r.width),
    Math.floor((e.clientY - r.top) * canvas.height / r.height)];
}

// `leave()` is called on a second Escape within a second: the first goes to
// the script (scripts use Escape), the second takes the focus away.
export function listen(leave) {
  let buttonsDown = 0, lastEscape = -Infinity;
  canvas.addEventListener('mousemove', (e) => {
    const [x, y] = position(e);
    page.push({ kind: EVENT.Move, a: x, b: y });
  });
  canvas.addEventListener('mousedown', (e) => {
    if (e.button !== 0 && e.button !== 2) return;
    canvas.focus();
    e.preventDefault();
    buttonsDown |= 1 << e.button;
    const [x, y] = position(e);
    page.push({ kind: EVENT.ButtonDown, a: x, b: y, c: e.button === 2 ? 1 : 0 });
  });
  window.addEventListener('mouseup', (e) => {
    if (!(buttonsDown & (1 << e.button))) return;
    buttonsDown &= ~(1 << e.button);
    const [x, y] = position(e);
    page.push({ kind: EVENT.ButtonUp, a: x, b: y, c: e.button === 2 ? 1 : 0 });
  });
  canvas.addEventListener('contextmenu', (e) => e.preventDefault());
  canvas.addEventListener('keydown', (e) => {
    if ((e.ctrlKey || e.metaKey) && (e.key === 'Enter' || e.key === '.')) return;  // Run, Stop
    if (e.key === 'Escape') {
      if (e.timeStamp - lastEscape < 1000) {
        lastEscape = -Infinity;
        e.preventDefault();
        leave();
        return;
      }
      lastEscape = e.timeStamp;
    }
    const vk = virtualKey(e);
    if (vk) page.push({ kind: EVENT.KeyDown, a: vk });
    if (e.key.length === 1 && !e.ctrlKey && !e.metaKey) page.push({ kind: EVENT.Text, text: e.key });
    if (vk || e.key.length === 1) e.preventDefault();
  });
  canvas.addEventListener('keyup', (e) => {
    const vk = virtualKey(e);
    if (vk) page.push({ kind: EVENT.KeyUp, a: vk });
    if (vk) e.preventDefault();
  });
}

// The canvas as a PNG file.
export function canvasPng() {
  return new Promise((resolve) => canvas.toBlob(resolve, 'image/png'));
}
