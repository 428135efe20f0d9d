// Scripts are Windows-1252 bytes; the editor holds text, one character a
// byte. Conversions both ways, and the base64url form of links and tests.

const HIGH = [0x20AC, 0x81, 0x201A, 0x192, 0x201E, 0x2026, 0x2020, 0x2021, 0x2C6, 0x2030,
  0x160, 0x2039, 0x152, 0x8D, 0x17D, 0x8F, 0x90, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
  0x2013, 0x2014, 0x2DC, 0x2122, 0x161, 0x203A, 0x153, 0x9D, 0x17E, 0x178];
const BYTE_OF = new Map(HIGH.map((cp, i) => [cp, 0x80 + i]));
const CODE_OF = Uint16Array.from({ length: 256 }, (_, b) => (b >= 0x80 && b < 0xA0 ? HIGH[b - 0x80] : b));

export function bytesToText(bytes) {
  let s = '';
  const chunk = new Uint16Array(0x8000);
  for (let i = 0; i < bytes.length; i += chunk.length) {
    const n = Math.min(chunk.length, bytes.length - i);
    for (let j = 0; j < n; ++j) chunk[j] = CODE_OF[bytes[i + j]];
    s += String.fromCharCode.apply(null, n === chunk.length ? chunk : chunk.subarray(0, n));
  }
  return s;
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
