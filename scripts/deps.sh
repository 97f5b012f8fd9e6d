# Sourced by the other scripts: installs the Debian packages a step needs when
# they are missing, through sudo when not run as root.

# Packages the program needs to build and run.
RUN_PACKAGES="cmake g++ make pkg-config libsdl2-dev zlib1g-dev libgif-dev"
# The Windows build (scripts/windows.sh): the mingw-w64 cross compiler with
# POSIX threads, GoogleTest's sources to build for it, and zip.
WINDOWS_PACKAGES="cmake make g++-mingw-w64-x86-64-posix googletest zip"
# Running it under Wine on a virtual X server (tests/windows/run.sh).
WINE_PACKAGES="wine wine64 xvfb xauth xdotool"
# The Debian package (scripts/package.sh) and its check, which reads the
# manual pages with man and validates the metainfo with appstreamcli.
PACKAGE_PACKAGES="dpkg-dev fakeroot lintian file man-db appstream"
# The comparison with Mesa's llvmpipe (bench-llvmpipe): OpenGL, EGL, the driver.
LLVMPIPE_PACKAGES="libgl-dev libegl-dev libgl1-mesa-dri"
# Everything the test suite, the tools and the benchmarks need on top; golly
# brings bgolly, the independent engine the rule tests compare against.
TEST_PACKAGES="$RUN_PACKAGES $LLVMPIPE_PACKAGES $WINDOWS_PACKAGES $WINE_PACKAGES $PACKAGE_PACKAGES googletest libgtest-dev libbenchmark-dev libfreetype-dev fonts-dejavu-core xvfb xauth xdotool clang libclang-rt-14-dev python3-pil imagemagick assimp-utils desktop-file-utils golly"
# The browser build and its tests: Debian's emscripten (it brings Node.js) and
# Chromium; Python for serving the page.
WEB_PACKAGES="emscripten chromium python3"

ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Debian's emscripten expects Debian's own interpreters: its tools run on
# /usr/bin/python3 and its JavaScript optimiser needs acorn from Debian's
# Node.js modules, whatever python3 and node come first on PATH.
web_environment() {
    export EMSDK_PYTHON=/usr/bin/python3
    export NODE_PATH=/usr/share/nodejs
}

# npm for the browser tests: Debian's package, unless a Node.js that brings
# its own npm is installed already.
ensure_npm() {
    command -v npm >/dev/null 2>&1 || ensure_packages npm
}
