// Share links: the script in the page address's fragment, compressed with
// the browser's own deflate (#z=...), or as plain base64url bytes (#code=...,
// the older form, still read).
import { fromBase64Url, toBase64Url } from './cp1252.js';

// Longer links do not open in every browser (some stop far below the
// longest Chromium takes), and chat programs cut them.
export const MAX_LINK_CHARS = 64000;

async function squeeze(bytes, stream) {
  const out = new Response(new Blob([bytes]).stream().pipeThrough(stream));
  return new Uint8Array(await out.arrayBuffer());
}

export const deflate = (bytes) => squeeze(bytes, new CompressionStream('deflate-raw'));
export const inflate = (bytes) => squeeze(bytes, new DecompressionStream('deflate-raw'));
export const gunzip = (bytes) => squeeze(bytes, new DecompressionStream('gzip'));

// The link to the page at `base` (without its fragment) that carries
// `bytes`: {link}, or {error} when it would be too long.
export async function makeLink(base, bytes) {
  const link = base + '#z=' + toBase64Url(await deflate(bytes));
  if (link.length > MAX_LINK_CHARS) {
    return { error: `This script is too long for a link (${link.length.toLocaleString('en')} characters; ` +
      `browsers open links up to about ${MAX_LINK_CHARS.toLocaleString('en')}). Use Save to share it as a file.` };
  }
  return { link };
}

// The script a fragment carries: {bytes}; {error} for a fragment that names a
// script but is broken or cut short; null for a fragment that names none.
export async function readFragment(hash) {
  const m = /^#(code|z)=(.*)$/s.exec(hash);
  if (!m) return null;
  const broken = { error: 'This link is broken or cut short: the script it carries cannot be read. ' +
    'Ask for the link again, or for the script as a file.' };
  let data;
  try {
    data = fromBase64Url(m[2]);
  } catch (e) {
    return broken;
  }
  if (m[1] === 'code') return { bytes: data };
  try {
    return { bytes: await inflate(data) };
  } catch (e) {
    return broken;
  }
}
