// The check as you type runs in a worker with its own instance of the
// module: the page's instance may be in the middle of a run (suspended,
// which no other call may enter), and a large script's check never holds up
// typing. The worker runs the module's loader (its text given by the page)
// after this prelude; the page sends the compiled module, then scripts, and
// the editor's questions (completion, hover), which the module answers with
// the language server's own code.

// The worker's own code, sent as text: it may use nothing from outside.
function workerMain() {
  let ready = null;
  const queue = [];
  self.Module = {
    noInitialRun: true,
    print() {},
    printErr() {},
    instantiateWasm(imports, done) {
      ready.then((m) => WebAssembly.instantiate(m, imports).then((inst) => done(inst, m)));
      return {};
    },
    onRuntimeInitialized() {
      self.Module.started = true;
      for (const m of queue.splice(0)) handle(m);
    },
  };
  let resolveModule;
  ready = new Promise((r) => { resolveModule = r; });
  function check({ id, bytes }) {
    const FS = self.Module.FS;
    FS.writeFile('/script.tsl', bytes);
    const n = self.Module.ccall('tessel_findings', 'number', ['string', 'string'], ['/script.tsl', '/findings.jsonl']);
    const text = n > 0 ? new TextDecoder('utf-8').decode(FS.readFile('/findings.jsonl')) : '';
    self.postMessage({ id, findings: text.split('\n').filter((l) => l).map((l) => JSON.parse(l)) });
  }
  // A question of the editor: the editor's text, a 0-based line and a
  // UTF-16 column; the answer is the protocol's object (or null).
  function answer({ id, ask, text, line, character }) {
    const json = self.Module.ccall('tessel_editor_' + ask, 'string', ['string', 'number', 'number'],
      [text, line, character]);
    self.postMessage({ id, answer: JSON.parse(json) });
  }
  const handle = (m) => (m.ask ? answer(m) : check(m));
  self.onmessage = (e) => {
    if (e.data.module) resolveModule(e.data.module);
    else if (self.Module.started) handle(e.data);
    else queue.push(e.data);
  };
}

// Starts the worker; returns check(bytes) -> a promise of the findings,
// with check.ask(question, text, line, character) -> a promise of the
// answer ('completion': CompletionItem objects; 'hover': a Hover or null).
export function startChecker(loaderText, compiledModule) {
  const source = '(' + workerMain.toString() + ')();\n' + loaderText;
  const worker = new Worker(URL.createObjectURL(new Blob([source], { type: 'text/javascript' })));
  worker.postMessage({ module: compiledModule });
  let next = 0;
  const waiting = new Map();
  worker.onmessage = (e) => {
    const resolve = waiting.get(e.data.id);
    waiting.delete(e.data.id);
    if (resolve) resolve('answer' in e.data ? e.data.answer : e.data.findings);
  };
  const check = (bytes) => new Promise((resolve) => {
    const id = ++next;
    waiting.set(id, resolve);
    worker.postMessage({ id, bytes }, [bytes.buffer]);
  });
  check.ask = (ask, text, line, character) => new Promise((resolve) => {
    const id = ++next;
    waiting.set(id, resolve);
    worker.postMessage({ id, ask, text, line, character });
  });
  return check;
}
