// Scripts are Windows-1252 bytes; the editor holds text, one character a
// byte. Conversions both ways, and the base64url form of links and tests.

// The browser's own decoder; the bytes 0x80 to 0x9F it maps outside
// Latin-1 give the way back.
const DECODER = new TextDecoder('windows-1252');
const BYTE_OF = new Map(Array.from(DECODER.decode(Uint8Array.from({ length: 32 }, (_, i) => 0x80 + i)),
  (ch, i) => [ch.charCodeAt(0), 0x80 + i]));

export function bytesToText(bytes) {
  return DECODER.decode(bytes);
}

// Characters Windows-1252 has no byte for become '?'.
export function textToBytes(text) {
  const out = new Uint8Array(text.length);
  for (let i = 0; i < text.length; ++i) {
    const c = text.charCodeAt(i);
    out[i] = c < 0x80 || (c >= 0xA0 && c < 0x100) ? c : (BYTE_OF.get(c) ?? 0x3F);
  }
  return out;
}

// Latin-1 text (one character a byte, as the logs are read) to bytes.
export function latin1ToBytes(text) {
  const out = new Uint8Array(text.length);
  for (let i = 0; i < text.length; ++i) out[i] = text.charCodeAt(i) & 0xFF;
  return out;
}

export function toBase64Url(bytes) {
  let s = '';
  for (let i = 0; i < bytes.length; i += 0x8000)
    s += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
  return btoa(s).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

// Throws on text that is not base64url.
export function fromBase64Url(text) {
  if (!/^[A-Za-z0-9_-]*$/.test(text) || text.length % 4 === 1) throw new Error('not base64url');
  const s = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
  return latin1ToBytes(s);
}

// Base64 (the standard alphabet) to bytes, by the browser's own decoder.
export async function fromBase64(text) {
  const r = await fetch('data:application/octet-stream;base64,' + text);
  return new Uint8Array(await r.arrayBuffer());
}
