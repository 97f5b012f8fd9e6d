#!/usr/bin/env bash
# Builds the program and starts it in a run folder outside the source tree,
# where it finds its data files and writes Engine.log, screenshots and
# Graph.txt. The folder is $VELTRIX_RUN_DIR, or ~/.local/share/veltrix (the
# folder the installed `veltrix` command uses too).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
# The build configures the test suite too, so GoogleTest is needed to build.
ensure_packages $RUN_PACKAGES libgtest-dev

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target veltrix

run_dir=${VELTRIX_RUN_DIR:-${XDG_DATA_HOME:-$HOME/.local/share}/veltrix}
# Only missing files are copied: the user's own Life.ini and Rules.ini (from
# veltrix-pattern, say) stay, as with the installed launcher.
mkdir -p "$run_dir"
(cd "$root/data" && find . -type f) | while IFS= read -r file; do
    if [ ! -e "$run_dir/$file" ] && [ ! -L "$run_dir/$file" ]; then
        mkdir -p "$(dirname "$run_dir/$file")"
        cp "$root/data/$file" "$run_dir/$file.part"
        mv "$run_dir/$file.part" "$run_dir/$file"
    fi
done

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
