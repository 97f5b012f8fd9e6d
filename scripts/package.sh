#!/usr/bin/env bash
# Builds the Debian package build-package/veltrix_<version>_amd64.deb from the
# install rules (packaging/) with CPack: the launcher, the program, the tools,
# the data, the menu entry with its icon and metainfo, and the manual pages
# under /usr.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
ensure_packages $RUN_PACKAGES $PACKAGE_PACKAGES

out=$root/build-package
cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=Release -DVELTRIX_WERROR=ON -DVELTRIX_TESTS=OFF \
    -DVELTRIX_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr -DVELTRIX_DEBIAN=ON
cmake --build "$out" -j"$(nproc)"
rm -f "$out"/veltrix_*.deb
(cd "$out" && cpack -G DEB)
echo "wrote $(ls "$out"/veltrix_*_amd64.deb)"
