#!/usr/bin/env bash
# Cross-compiles the program and its tools for 64-bit Windows with mingw-w64
# into build-windows/ (statically linked: no DLL needed beside them) and packs
# build-windows/veltrix-windows.zip: the program, the tools, the bundled data
# beside them and a short README.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
ensure_packages $WINDOWS_PACKAGES

out=$root/build-windows
cmake -S "$root" -B "$out" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DVELTRIX_WERROR=ON -DVELTRIX_BENCH=OFF
cmake --build "$out" -j"$(nproc)" --target veltrix veltrix-replay veltrix-pattern veltrix-inspect

# The program reads its files from the folder it starts in: the data goes
# beside it, so that starting veltrix.exe from its folder just works.
stage=$out/veltrix-windows
rm -rf "$stage" "$out/veltrix-windows.zip"
mkdir -p "$stage"
cp "$out"/bin/veltrix.exe "$out"/bin/veltrix-replay.exe "$out"/bin/veltrix-pattern.exe \
    "$out"/bin/veltrix-inspect.exe "$stage/"
cp -r "$root/data/." "$stage/"
sed 's/$/\r/' "$root/packaging/windows/README.txt" >"$stage/README.txt"
(cd "$out" && zip -qrX veltrix-windows.zip veltrix-windows)
echo "wrote $out/veltrix-windows.zip"
