#!/usr/bin/env bash
# tests/package/run.sh: builds the Debian package (scripts/package.sh), checks
# it with lintian, validates its metainfo, installs it into this machine with
# apt, compares `dpkg -L` with the install layout, reads the manual pages, runs
# the installed launcher without a display and removes the package again,
# leaving none of its files behind. Needs root (or sudo); a veltrix package
# already installed is removed first.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bash "$root/scripts/package.sh"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build-package/CMakeCache.txt")
deb=$root/build-package/veltrix_${version}_amd64.deb
[ -f "$deb" ] || { echo "no package $deb"; exit 1; }
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The name software centres know the program by (packaging/CMakeLists.txt).
app=example.c_seed_91bec431.veltrix

installed() {
    dpkg-query -W -f='${Status}' veltrix 2>/dev/null | grep -q "install ok installed"
}

echo "== lintian"
# Nothing at lintian's default level: no error and no warning. Run as root, it
# says so on a line of its own, which is about this machine, not the package.
status=0
lintian --fail-on error,warning "$deb" >"$work/lintian" 2>&1 || status=$?
if [ "$status" -ne 0 ] || grep -vqx 'running with root privileges is not recommended!' "$work/lintian"; then
    cat "$work/lintian"; echo "lintian: exit code $status"; exit 1
fi

echo "== the software centres' metainfo"
# Checked in the package's own tree, where the validator also finds the menu
# entry the metainfo names.
dpkg-deb -x "$deb" "$work/tree"
appstreamcli validate-tree --no-net "$work/tree"

echo "== apt install"
if installed; then
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq veltrix
fi
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb"
installed

echo "== the files match the install layout"
(cd "$root/data" && find . -type f | sed 's|^\.|/usr/share/veltrix|') >"$work/expected"
cat >>"$work/expected" <<LIST
/usr/bin/veltrix
/usr/bin/veltrix-inspect
/usr/bin/veltrix-pattern
/usr/bin/veltrix-replay
/usr/libexec/veltrix/veltrix
/usr/share/applications/$app.desktop
/usr/share/icons/hicolor/128x128/apps/veltrix.png
/usr/share/metainfo/$app.metainfo.xml
/usr/share/man/man1/veltrix.1.gz
/usr/share/man/man1/veltrix-inspect.1.gz
/usr/share/man/man1/veltrix-pattern.1.gz
/usr/share/man/man1/veltrix-replay.1.gz
/usr/share/doc/veltrix/copyright
/usr/share/doc/veltrix/changelog.gz
LIST
sort -o "$work/expected" "$work/expected"
dpkg -L veltrix | while read -r path; do [ -f "$path" ] && echo "$path"; done | sort >"$work/listed"
diff "$work/expected" "$work/listed"
grep -qx 'Exec=/usr/bin/veltrix' "/usr/share/applications/$app.desktop"

echo "== the manual pages"
for command in veltrix veltrix-inspect veltrix-pattern veltrix-replay; do
    [ "$(man -w "$command")" = "/usr/share/man/man1/$command.1.gz" ]
    MANPAGER=cat man "$command" >"$work/page"
    grep -q '^SYNOPSIS' "$work/page" || { echo "man $command:"; cat "$work/page"; exit 1; }
done

echo "== the installed launcher, without a display"
# SDL's dummy driver is refused as no display: the program loads every file
# from the per-user folder the launcher filled, logs up to the display and
# exits with 0.
mkdir "$work/home"
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_DATA_HOME HOME="$work/home" SDL_VIDEODRIVER=dummy \
    timeout 60 veltrix)
run=$work/home/.local/share/veltrix
for file in $(cd "$root/data" && find . -type f); do
    cmp "$root/data/$file" "$run/$file"
done
grep -qx "DDraw is running.." "$run/Engine.log"
tail -n 1 "$run/Engine.log" | grep -q "^    Display failed: "
# The installed tools run: without arguments each prints its usage and fails.
for tool in veltrix-inspect veltrix-pattern veltrix-replay; do
    status=0
    "$tool" >"$work/usage" 2>&1 || status=$?
    if [ "$status" -lt 1 ] || [ "$status" -gt 2 ] || ! grep -qi "usage" "$work/usage"; then
        echo "$tool without arguments: exit code $status"; cat "$work/usage"; exit 1
    fi
done

echo "== apt remove"
files=$(dpkg -L veltrix | while read -r path; do [ -f "$path" ] && echo "$path"; done)
$sudo env DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq veltrix
if installed || dpkg -l veltrix 2>/dev/null | grep -q '^.i'; then
    echo "veltrix is still installed"; exit 1
fi
for path in $files /usr/libexec/veltrix /usr/share/veltrix /usr/share/doc/veltrix; do
    [ ! -e "$path" ] || { echo "left behind: $path"; exit 1; }
done
echo "package test passed"
