// Runs as soon as the module's data is parsed, before the rest of the page:
// unpacks the WebAssembly module (gzipped, in base64) and compiles it while
// it is unpacked, in the background, while the page goes on loading.
async function compileModule() {
  const data = await fetch('data:application/octet-stream;base64,' +
    document.getElementById('wasm-data').textContent.trim());
  const unpacked = new Response(data.body.pipeThrough(new DecompressionStream('gzip')),
    { headers: { 'Content-Type': 'application/wasm' } });
  if (WebAssembly.compileStreaming) {
    try {
      return await WebAssembly.compileStreaming(unpacked.clone());
    } catch (e) { /* compiled below from the bytes */ }
  }
  return WebAssembly.compile(await unpacked.arrayBuffer());
}
window.tesselWasm = compileModule();
