#!/usr/bin/env bash
# Rewrites tests/render/exact_frames.txt, the SHA-256 of every comparison frame
# (bench/frames.sh), from build/bin/veltrix-replay. Only for a change meant to
# alter the picture: look at the frames it renders before committing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
bash "$root/bench/frames.sh" "$out" >/dev/null
(cd "$out" && sha256sum -- *.bmp) > "$root/tests/render/exact_frames.txt"
echo "wrote tests/render/exact_frames.txt ($(wc -l < "$root/tests/render/exact_frames.txt") frames)"
