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

emcmake cmake -S "$root" -B "$root/build-web" -DCMAKE_BUILD_TYPE=Release -DVELTRIX_WERROR=ON >/dev/null
cmake --build "$root/build-web" -j"$(nproc)" --target veltrix

page=$root/build-web/bin
echo "The page is $page/index.html (with veltrix.js, veltrix.wasm and veltrix.data beside it)."
if [ "$serve" = 1 ]; then
    port=${VELTRIX_WEB_PORT:-8000}
    echo "Serving it at http://127.0.0.1:$port/ (Ctrl+C stops)"
    exec /usr/bin/python3 -m http.server --bind 127.0.0.1 --directory "$page" "$port"
else
    echo "Browsers load it only over HTTP: scripts/web.sh --serve serves it."
fi
