// The page's files kept on this machine, so that once opened the page opens
// and runs again without the network: every file of the site is cached when
// this service worker installs, under a name that changes with their
// contents (scripts/web.sh writes SITE_VERSION), and served from there.
// A new version waits until no page of the old one is open, so that a page
// never mixes the files of two versions (its worker is started afresh by
// Stop).
"use strict";

const CACHE = "quorix-@SITE_VERSION@";
const FILES = ["./", "index.html", "style.css", "start.js", "main.js", "engine.js", "fields.js", "replies.js", "charts.js",
  "solve.js", "sweep.js", "records.js", "materials.js", "isolation.js", "isolation-replies.js", "worker.js",
  "quorix-web.js", "quorix-web.wasm", "echarts.min.js"];

self.addEventListener("install", (event) => {
  // Past the browser's HTTP cache: the files of this version, not older ones.
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES.map((f) => new Request(f, { cache: "reload" })))));
});

self.addEventListener("activate", (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((n) => n.startsWith("quorix-") && n !== CACHE).map((n) => caches.delete(n))))
    .then(() => self.clients.claim()));
});

self.addEventListener("fetch", (event) => {
  const request = event.request;
  if (request.method !== "GET" || new URL(request.url).origin !== self.location.origin) return;
  // The address's query string holds the case; the page is the same file.
  event.respondWith(caches.open(CACHE)
    .then((cache) => cache.match(request, { ignoreSearch: true }))
    .then((hit) => hit || fetch(request)));
});
