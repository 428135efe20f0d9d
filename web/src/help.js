// The Help panel: the guide's first steps and the reference, searchable.
// Its text is kept compressed in the page and unpacked on first opening.
import { fromBase64 } from './cp1252.js';
import { gunzip } from './links.js';

const panel = document.getElementById('help');
const body = document.getElementById('help-body');
const search = document.getElementById('help-search');
const button = document.getElementById('help-button');
let loaded = null;

async function load() {
  if (!loaded) {
    loaded = (async () => {
      const gz = await fromBase64(document.getElementById('help-data').textContent.trim());
      body.innerHTML = new TextDecoder().decode(await gunzip(gz));
    })();
  }
  return loaded;
}

// Shows the sections that hold every word of `query`, with the words marked.
function filter(query) {
  const words = query.toLowerCase().split(/\s+/).filter((w) => w);
  for (const m of body.querySelectorAll('mark')) m.replaceWith(m.textContent);
  body.normalize();
  let first = null;
  for (const s of body.querySelectorAll('section')) {
    const text = s.textContent.toLowerCase();
    const hit = words.every((w) => text.includes(w));
    s.hidden = !hit;
    if (hit && words.length) {
      mark(s, words);
      first = first || s;
    }
  }
  if (first) first.scrollIntoView({ block: 'start' });
}

function mark(root, words) {
  const walker = document.createTreeWalker(root, NodeFilter.SHOW_TEXT);
  const nodes = [];
  while (walker.nextNode()) nodes.push(walker.currentNode);
  const re = new RegExp('(' + words.map((w) => w.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')).join('|') + ')', 'gi');
  for (const n of nodes) {
    if (!re.test(n.data)) continue;
    re.lastIndex = 0;
    const frag = document.createDocumentFragment();
    let at = 0;
    for (const m of n.data.matchAll(re)) {
      frag.append(n.data.slice(at, m.index));
      const mk = document.createElement('mark');
      mk.textContent = m[0];
      frag.append(mk);
      at = m.index + m[0].length;
    }
    frag.append(n.data.slice(at));
    n.replaceWith(frag);
  }
}

export async function openHelp(query) {
  panel.hidden = false;
  button.setAttribute('aria-expanded', 'true');
  await load();
  if (query !== undefined) search.value = query;
  filter(search.value);
  search.focus();
}

export function closeHelp() {
  panel.hidden = true;
  button.setAttribute('aria-expanded', 'false');
  button.focus();
}

export function setUpHelp() {
  button.addEventListener('click', () => (panel.hidden ? openHelp() : closeHelp()));
  document.getElementById('help-close').addEventListener('click', closeHelp);
  let timer = 0;
  search.addEventListener('input', () => {
    clearTimeout(timer);
    timer = setTimeout(() => filter(search.value), 150);
  });
  panel.addEventListener('keydown', (e) => {
    if (e.key === 'Escape') {
      e.preventDefault();
      closeHelp();
    }
  });
}
