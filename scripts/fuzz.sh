#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each one for
# SECONDS (default 20) on a copy of its seed corpus from fuzz/corpus/<name>.
# An input that fails is kept in build-fuzz/findings/ to be replayed with
# build-fuzz/bin/fuzz-<name> FILE.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
shift || true

if ! command -v clang++ >/dev/null 2>&1; then
    echo "clang++ not found: fuzz targets skipped"
    exit 0
fi
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRIX_FUZZ=ON >/dev/null
cmake --build "$root/build-fuzz" -j"$(nproc)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for exe in "$root"/build-fuzz/bin/fuzz-*; do
        targets+=("$(basename "$exe" | sed 's/^fuzz-//')")
    done
fi

findings="$root/build-fuzz/findings"
mkdir -p "$findings"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for name in "${targets[@]}"; do
    corpus="$work/$name"
    mkdir -p "$corpus"
    if [ -d "$root/fuzz/corpus/$name" ]; then
        cp -r "$root/fuzz/corpus/$name/." "$corpus/"
    fi
    echo "== fuzz-$name for ${seconds}s"
    # A crash, leak, time-out or memory blow-up fails this script.
    (cd "$work" && "$root/build-fuzz/bin/fuzz-$name" -max_total_time="$seconds" -rss_limit_mb=2048 \
        -timeout=10 -max_len=65536 -print_final_stats=1 -artifact_prefix="$findings/$name-" "$corpus" 2>&1 |
        tail -n 12)
done
