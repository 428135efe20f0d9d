// What the browser keeps: the user's projects, their edits of the examples
// and of shared scripts, and the settings. Each document is kept under its
// own key, so a large one costs nothing when another is saved.
const PREFIX = 'tessel.';
const PROJECTS = PREFIX + 'projects';
const CURRENT = PREFIX + 'current';
const SETTINGS = PREFIX + 'settings';

function storage() {
  try {
    return window.localStorage;
  } catch (e) {
    return null;  // the browser keeps nothing for this page
  }
}

function readJson(key, fallback) {
  try {
    const v = storage()?.getItem(key);
    return v == null ? fallback : JSON.parse(v);
  } catch (e) {
    return fallback;
  }
}

// False when the browser refused (full, or keeping nothing).
function writeJson(key, value) {
  try {
    const s = storage();
    if (!s) return false;
    s.setItem(key, JSON.stringify(value));
    return true;
  } catch (e) {
    return false;
  }
}

function remove(key) {
  try { storage()?.removeItem(key); } catch (e) { /* nothing kept anyway */ }
}

// Documents are named by kind and key: "p:ID" a project, "e:NAME" an
// example, "l:HASH" a script opened from a link.
export const projectDoc = (id) => 'p:' + id;
export const exampleDoc = (name) => 'e:' + name;
export const linkDoc = (hash) => 'l:' + hash;
export const docKind = (doc) => doc.slice(0, 1);
export const docKey = (doc) => doc.slice(2);

export function listProjects() {
  return readJson(PROJECTS, []);
}

function writeProjects(list) {
  return writeJson(PROJECTS, list);
}

export function projectName(id) {
  return listProjects().find((p) => p.id === id)?.name;
}

// A name no project has yet: "Untitled", "Untitled 2", ...
export function freshName(base = 'Untitled') {
  const taken = new Set(listProjects().map((p) => p.name));
  if (!taken.has(base)) return base;
  for (let i = 2; ; ++i) if (!taken.has(`${base} ${i}`)) return `${base} ${i}`;
}

export function createProject(name, text, eol) {
  const list = listProjects();
  const id = Date.now().toString(36) + Math.random().toString(36).slice(2, 6);
  list.push({ id, name });
  writeProjects(list);
  saveDoc(projectDoc(id), text, eol);
  return id;
}

export function renameProject(id, name) {
  writeProjects(listProjects().map((p) => (p.id === id ? { ...p, name } : p)));
}

export function deleteProject(id) {
  writeProjects(listProjects().filter((p) => p.id !== id));
  remove(PREFIX + 'doc.' + projectDoc(id));
}

// {text, eol} of a document, or null when none is kept.
export function loadDoc(doc) {
  return readJson(PREFIX + 'doc.' + doc, null);
}

export function saveDoc(doc, text, eol) {
  return writeJson(PREFIX + 'doc.' + doc, { text, eol });
}

export function forgetDoc(doc) {
  remove(PREFIX + 'doc.' + doc);
}

export function currentDoc() {
  return readJson(CURRENT, null);
}

export function setCurrentDoc(doc) {
  writeJson(CURRENT, doc);
}

export function loadSettings() {
  return { fontSize: 14, countBox: false, ...readJson(SETTINGS, {}) };
}

export function saveSettings(settings) {
  writeJson(SETTINGS, settings);
}
