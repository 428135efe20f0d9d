// Runs as soon as the module's data is parsed, in the page's head, before
// the rest of the page: a worker unpacks the WebAssembly module and the
// fonts (gzipped, in base64) and compiles the module while it is unpacked,
// so that the page's own thread does neither. Where no worker can be had,
// the page does it itself.

// The worker's code, sent as text: it may use nothing from outside.
function unpacker() {
  const unpack = async (base64) => {
    const data = await fetch('data:application/octet-stream;base64,' + base64);
    return new Response(data.body.pipeThrough(new DecompressionStream('gzip')),
      { headers: { 'Content-Type': 'application/wasm' } });
  };
  const compile = async (response) => {
    if (WebAssembly.compileStreaming) {
      try {
        return await WebAssembly.compileStreaming(response.clone());
      } catch (e) { /* compiled below from the bytes */ }
    }
    return WebAssembly.compile(await response.arrayBuffer());
  };
  if (typeof WorkerGlobalScope === 'undefined') return { unpack, compile };

  self.onmessage = async (e) => {
    const [module, fonts] = await Promise.all([unpack(e.data.wasm).then(compile),
      unpack(e.data.fonts).then((r) => r.arrayBuffer())]);
    self.postMessage({ module, fonts }, [fonts]);
    self.close();
  };
  return null;
}

// On the page's own thread, when no worker can be had.
async function onThisThread(data) {
  const { unpack, compile } = unpacker();
  const [module, fonts] = await Promise.all([unpack(data.wasm).then(compile),
    unpack(data.fonts).then((r) => r.arrayBuffer())]);
  return { module, fonts };
}

// A promise of {module: the compiled module, fonts: the fonts' blob (see
// main.js)}.
function boot() {
  const text = (id) => document.getElementById(id).textContent.trim();
  const data = { wasm: text('wasm-data'), fonts: text('font-data') };
  try {
    const worker = new Worker(URL.createObjectURL(new Blob(['(' + unpacker.toString() + ')();'],
      { type: 'text/javascript' })));
    const done = new Promise((resolve, reject) => {
      worker.onmessage = (e) => resolve(e.data);
      worker.onerror = reject;
    });
    worker.postMessage(data);
    return done.catch(() => onThisThread(data));
  } catch (e) {
    return onThisThread(data);
  }
}

window.tesselBoot = boot();
