// The service worker of a published page: keeps the page, its manifest and
// icon so that the page opens and works offline. The page names itself in
// the worker's address (sw.js?page=PATH). Answers from the network when it
// can (a newer page is taken and kept), from what it kept otherwise.
const CACHE = 'tessel-v1';
const pagePath = new URL(location.href).searchParams.get('page') || './tessel.html';
const KEEP = [pagePath, 'manifest.webmanifest', 'icon.svg'];

self.addEventListener('install', (e) => {
  e.waitUntil(caches.open(CACHE).then((c) => c.addAll(KEEP)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (e) => {
  e.waitUntil(self.clients.claim());
});

self.addEventListener('fetch', (e) => {
  const url = new URL(e.request.url);
  if (e.request.method !== 'GET' || url.origin !== location.origin) return;
  // The page is one file whatever its query (?embed) and fragment.
  const key = new URL(url.pathname, url.origin).href;
  e.respondWith(fetch(e.request).then((r) => {
    if (r.ok) {
      const copy = r.clone();
      caches.open(CACHE).then((c) => c.put(key, copy));
    }
    return r;
  }).catch(() => caches.match(key).then((r) => r || Response.error())));
});
