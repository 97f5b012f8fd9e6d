// The page's service worker: it keeps the page's files in a cache for use
// offline, and serves every response of the page's own origin with the two
// headers that make the page cross-origin isolated where the server did not
// send them, so that from the first load after it is installed the page runs
// the threaded build on any static host.
//
// scripts/web.sh stamps the next two lines: a hash of the page's files, which
// names the cache (a new build is a new cache; activation deletes the
// others), and the files' names, fetched on install. Unstamped, the cache
// fills with what the page fetches as it goes.
const version = 'unstamped';
const files = ['index.html'];

const prefix = 'veltrix-';
const cacheName = prefix + version;
const isolation = {'Cross-Origin-Opener-Policy': 'same-origin', 'Cross-Origin-Embedder-Policy': 'require-corp'};

self.addEventListener('install', event => {
  event.waitUntil(caches.open(cacheName).then(cache => cache.addAll(files)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', event => {
  event.waitUntil(caches.keys()
    .then(names => Promise.all(names.filter(name => name.startsWith(prefix) && name !== cacheName)
      .map(name => caches.delete(name))))
    .then(() => self.clients.claim()));
});

// The response with both headers, keeping any the server sent.
function isolated(response) {
  // Opaque and error responses cannot be rebuilt; they carry no page content.
  if (response.type === 'opaque' || response.type === 'error' || response.status === 0)
    return response;
  const headers = new Headers(response.headers);
  for (const [name, value] of Object.entries(isolation)) {
    if (!headers.has(name))
      headers.set(name, value);
  }
  return new Response(response.body, {status: response.status, statusText: response.statusText, headers});
}

// From the network, so that a page served anew is seen at once, kept in the
// cache for later; from the cache when the network fails (offline). A
// link's query (?pattern=...) names the same page: it is looked up without
// it, and never cached under it.
async function answer(request) {
  const cache = await caches.open(cacheName);
  try {
    const response = await fetch(request);
    if (response.ok && !new URL(request.url).search)
      await cache.put(request, response.clone());
    return isolated(response);
  } catch (error) {
    // A navigation is the page whatever its address: the folder's own
    // ("/"), index.html, either with a link's query.
    const navigation = request.mode === 'navigate';
    const kept = await cache.match(request, {ignoreSearch: navigation}) ||
      (navigation ? await cache.match('index.html') : null);
    if (!kept)
      throw error;
    return isolated(kept);
  }
}

self.addEventListener('fetch', event => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin)
    return;
  event.respondWith(answer(request));
});
