// Runs as soon as the module's data is parsed, before the rest of the page:
// a worker unpacks the WebAssembly module and the fonts (gzipped, in
// base64) and compiles the module while it is unpacked, so that the page's
// own thread does neither. Where no worker can be had, the page does it.

// The worker's code, sent as text: it may use nothing from outside.
function unpackInWorker() {
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
    const [module, fonts] = await Promise.all([
      unpack(e.data.wasm).then(compile),
      unpack(e.data.fonts).then((r) => r.arrayBuffer()),
    ]);
    self.postMessage({ module, fonts }, [fonts]);
  };
  return { unpack, compile };
}

function bootData() {
  const text = (id) => document.getElementById(id).textContent.trim();
  const data = { wasm: text('wasm-data'), fonts: text('font-data') };
  try {
    const worker = new Worker(URL.createObjectURL(new Blob(['(' + unpackInWorker.toString() + ')();'],
      { type: 'text/javascript' })));
    const done = new Promise((resolve, reject) => {
      worker.onmessage = (e) => { resolve(e.data); worker.terminate(); };
      worker.onerror = reject;
    });
    worker.postMessage(data);
    return done.catch(() => onThisThread(data));
  } catch (e) {
    return onThisThread(data);
  }
}

async function onThisThread(data) {
  const { unpack, compile } = unpackInWorker();
  const [module, fonts] = await Promise.all([unpack(data.wasm).then(compile),
    unpack(data.fonts).then((r) => r.arrayBuffer())]);
  return { module, fonts };
}

// {module: the compiled module, fonts: the fonts' blob (see main.js)}.
window.tesselBoot = bootData();
