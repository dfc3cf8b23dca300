/*
 * The page's service worker: it keeps every file of the page in a cache named
 * by the build, so that after one visit the game loads and plays with no
 * network.  A new build comes as a new worker that takes over once its cache
 * is filled whole, and lets the older caches go; offline.js and page.js load
 * the page afresh from it before the next game, so no page ever runs one
 * build's script with another's program.  `make web` writes in the build's
 * name and the page's files (the Makefile's list, but this one), with spaces
 * between; the page's folder itself is its index.html.
 */
const CACHE = "zop-@BUILD@";
const FILES = ["./", ..."@FILES@".split(" ")];

self.addEventListener("install", (event) => {
  /* Past the browser's HTTP cache: a new build never caches an older build's file. */
  const fresh = FILES.map((file) => new Request(file, { cache: "reload" }));
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(fresh)).then(() => self.skipWaiting()));
});

self.addEventListener("activate", (event) => {
  const older = (name) => name.startsWith("zop-") && name !== CACHE;
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter(older).map((name) => caches.delete(name))))
    .then(() => self.clients.claim()));
});

self.addEventListener("fetch", (event) => {
  if (event.request.method !== "GET")
    return;
  event.respondWith(caches.open(CACHE)
    .then((cache) => cache.match(event.request, { ignoreSearch: true }))
    .then((kept) => kept || fetch(event.request)));
});
