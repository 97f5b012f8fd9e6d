#!/usr/bin/env bash
# Builds the program and starts it in a run folder outside the source tree,
# where it finds its data files and writes Engine.log, screenshots and
# Graph.txt. The folder is $VELTRIX_RUN_DIR, or ~/.local/share/veltrix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
# The build configures the test suite too, so GoogleTest is needed to build.
ensure_packages $RUN_PACKAGES libgtest-dev

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target veltrix

run_dir=${VELTRIX_RUN_DIR:-${XDG_DATA_HOME:-$HOME/.local/share}/veltrix}
mkdir -p "$run_dir"
if [ -d "$root/data" ]; then
    cp -R "$root/data/." "$run_dir/"
else
    # No bundled data yet: Conway's rule and an R-pentomino in the middle.
    printf '1 4 3 3\n' >"$run_dir/Rules.ini"
    printf '5\n32 31 0\n33 31 0\n31 32 0\n32 32 0\n32 33 0\n' >"$run_dir/Life.ini"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found (DISPLAY is not set): the program will stop after setting up the screen."
fi
echo "Running in $run_dir"
cd "$run_dir"
status=0
"$root/build/bin/veltrix" || status=$?
echo "Engine.log:"
cat Engine.log
exit "$status"
