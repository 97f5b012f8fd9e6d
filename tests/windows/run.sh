#!/usr/bin/env bash
# tests/windows/run.sh: the Windows build (scripts/windows.sh makes it) under
# Wine: the unit tests that need no display, as one Windows executable; the
# replay runner's comparison frames, which must equal the Linux ones byte for
# byte (tests/render/exact_frames.txt); the Win32 backend's own test and the
# real program on a virtual X server (tests/windows/smoke.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/deps.sh"
ensure_packages $WINDOWS_PACKAGES $WINE_PACKAGES
out=$root/build-windows
[ -f "$out/CMakeCache.txt" ] || bash "$root/scripts/windows.sh"
cmake --build "$out" -j"$(nproc)" --target veltrix veltrix-replay veltrix-windows-tests veltrix-win32-tests

# A Wine prefix of the build's own; no prompts for Wine's Mono and Gecko, no
# debug chatter. The server stays up between the runs: starting Wine is slow.
export WINEPREFIX=$out/wine WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
wineserver -p 2>/dev/null || true # up until the end; fails when a server of this prefix is up already
timeout 300 wineboot -i >/dev/null 2>&1

echo "== Unit tests under Wine"
(cd "$work" && timeout 900 wine "$out/bin/veltrix-windows-tests.exe" --gtest_brief=1)

echo "== Comparison frames of veltrix-replay.exe"
# A Wine process now and then dies of SIGKILL (status 137) on a busy machine,
# not of anything the program did; such a run is tried once more from the
# start, its screenshots gone first, and what it draws is checked below.
cat >"$work/replay" <<EOF
#!/bin/sh
wine "$out/bin/veltrix-replay.exe" "\$@" && exit 0
status=\$?
[ \$status -eq 137 ] || exit \$status
echo "veltrix-replay.exe was killed (status 137); running it once more" >&2
rm -f Screenshot*.bmp
exec wine "$out/bin/veltrix-replay.exe" "\$@"
EOF
chmod +x "$work/replay"
# Drawn with 1, 2, 3 and 7 threads: every count gives the same bytes.
listed=$(wc -l <"$root/tests/render/exact_frames.txt")
for threads in 1 2 3 7; do
    rm -rf "$work/frames"
    VELTRIX_THREADS=$threads VELTRIX_REPLAY=$work/replay timeout 900 bash "$root/bench/frames.sh" "$work/frames"
    (cd "$work/frames" && sha256sum --quiet -c "$root/tests/render/exact_frames.txt")
    rendered=$(ls "$work/frames" | wc -l)
    [ "$rendered" -eq "$listed" ] || { echo "rendered $rendered frames, the list names $listed"; exit 1; }
    echo "all $rendered frames drawn with $threads threads equal the Linux ones"
done

echo "== The Win32 backend on a virtual X server"
# A fresh server for the window tests: one left from the runs above may keep a
# desktop process made without a display, and windows then cannot be made.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
(cd "$work" && timeout -k 5 180 xvfb-run -a -s "-screen 0 1024x768x24" \
    wine "$out/bin/veltrix-win32-tests.exe" --gtest_brief=1)

echo "== veltrix.exe on a virtual X server"
# Again a fresh server: the one the window tests used keeps a desktop on
# their virtual X server, which is gone now.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
mkdir "$work/smoke"
bash "$root/tests/windows/smoke.sh" "$out/bin/veltrix.exe" "$work/smoke" "$root/data"
