#!/usr/bin/env bash
# scripts/web.sh [--serve]: builds the program for the browser into build-web/
# with Debian's emscripten and prints where the page is. With --serve it also
# serves the page on 127.0.0.1 (port $VELTRIX_WEB_PORT, default 8000) until
# interrupted.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
serve=0
case "${1:-}" in
    "") ;;
    --serve) serve=1 ;;
    *) echo "usage: scripts/web.sh [--serve]" >&2; exit 2 ;;
esac
. "$root/scripts/deps.sh"
ensure_packages $WEB_PACKAGES
web_environment

# Two builds of the program, each run in a worker of the page's: one on that
# worker's one thread, and one with WebAssembly threads that the page loads
# instead when it is cross-origin isolated (only such a page has the shared
# memory threads need).
emcmake cmake -S "$root" -B "$root/build-web" -DCMAKE_BUILD_TYPE=Release -DVELTRIX_WERROR=ON >/dev/null
cmake --build "$root/build-web" -j"$(nproc)" --target veltrix
emcmake cmake -S "$root" -B "$root/build-web-threads" -DCMAKE_BUILD_TYPE=Release -DVELTRIX_WERROR=ON \
    -DVELTRIX_WEB_THREADS=ON >/dev/null
cmake --build "$root/build-web-threads" -j"$(nproc)" --target veltrix

page=$root/build-web/bin
cp "$root"/build-web-threads/bin/veltrix-threads.{js,wasm,worker.js,data} "$page/"
# The service worker caches every file of the page, under a name that
# changes whenever one of them does: stamp their hash and their names into it.
files=$(cd "$page" && find . -type f ! -name sw.js | sed 's|^\./||' | LC_ALL=C sort)
version=$(cd "$page" && echo "$files" | xargs sha256sum | sha256sum | cut -c1-16)
list=$(echo "$files" | sed "s/.*/'&'/" | paste -sd, -)
sed -i "s|^const version = .*|const version = '$version';|; s|^const files = .*|const files = [$list];|" "$page/sw.js"
echo "The page is $page/index.html (with veltrix.js, veltrix.wasm, veltrix.data and the threaded"
echo "veltrix-threads.* beside it)."
if [ "$serve" = 1 ]; then
    port=${VELTRIX_WEB_PORT:-8000}
    echo "Serving it at http://127.0.0.1:$port/ (Ctrl+C stops)"
    # The two headers that make the page cross-origin isolated, so that it
    # may run the threaded build.
    cd "$page"
    exec /usr/bin/python3 -c '
import http.server, sys
class Isolated(http.server.SimpleHTTPRequestHandler):
    def end_headers(self):
        self.send_header("Cross-Origin-Opener-Policy", "same-origin")
        self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        super().end_headers()
http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), Isolated).serve_forever()
' "$port"
else
    echo "Browsers load it only over HTTP: scripts/web.sh --serve serves it."
fi
