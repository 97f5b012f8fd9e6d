#!/usr/bin/env bash
# Rewrites the golden screenshots in tests/render/golden from their replay
# scripts, using build/bin/veltrix-replay on the bundled data. Look at every
# picture before committing them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for script in "$root"/tests/render/golden/*.txt; do
    name=$(basename "$script" .txt)
    rm -rf "${work:?}"/*
    cp -r "$root/data/." "$work/"
    (cd "$work" && "$root/build/bin/veltrix-replay" "$script")
    cp "$work/Screenshot 0.bmp" "$root/tests/render/golden/$name.bmp"
    echo "wrote tests/render/golden/$name.bmp"
done
