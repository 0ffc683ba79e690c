# Shared set-up for building and running the programs under Wine.
# Sourced by the other scripts; every function is idempotent.

WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
# Without Wine's menu builder: started for every shortcut a setup makes, it writes a
# desktop entry into the Linux user's home and maps the shortcut's target for its icon,
# so that a setup run right after could not delete that Loader (a test's first install
# left its Loader behind under load).
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export WINEDEBUG="${WINEDEBUG:--all}"

QUORNEL_PACKAGES="cmake make python3 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
wine wine64 fonts-wine xvfb xauth x11-utils imagemagick googletest nsis openssl"
# The MSVC-mode check's tools (tests/msvc/), installed apart: without them only that
# check and the end-to-end run against its programs are skipped. LLVM 14, which the
# check was set up with, where the release has it; else the release's own LLVM
# through Debian's unversioned packages.
QUORNEL_MSVC_PACKAGES_14="clang-tools-14 lld-14 llvm-14 libwine-dev"
QUORNEL_MSVC_PACKAGES="clang-tools lld llvm libwine-dev"
# The native fuzz targets' compiler and its libFuzzer and sanitizer runtimes
# (scripts/fuzz.sh): clang 14 where the release has it, else the release's own.
QUORNEL_FUZZ_PACKAGES_14="clang-14 libclang-rt-14-dev"
QUORNEL_FUZZ_PACKAGES="clang libclang-rt-dev"

# Prints those of the packages $@ that are not installed.
missing_packages() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || echo "$p"
    done
}

# Whether the release offers every one of the packages $@ (apt-cache's exit code
# does not tell: apt 3 gives 0 for a name it does not know).
packages_offered() {
    local p
    for p in "$@"; do
        apt-cache show "$p" 2>/dev/null | grep -q '^Package:' || return 1
    done
}

# Installs the fuzz targets' compiler and runtimes when neither set is there.
ensure_fuzz_packages() {
    # shellcheck disable=SC2086 # the lists are space-separated names
    [ -z "$(missing_packages $QUORNEL_FUZZ_PACKAGES_14)" ] && return 0
    # shellcheck disable=SC2086
    [ -z "$(missing_packages $QUORNEL_FUZZ_PACKAGES)" ] && return 0
    local sudo="" set=$QUORNEL_FUZZ_PACKAGES
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -q
    # shellcheck disable=SC2086
    packages_offered $QUORNEL_FUZZ_PACKAGES_14 && set=$QUORNEL_FUZZ_PACKAGES_14
    echo "installing the fuzz targets' compiler: $set" >&2
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $set
}

# Installs whatever of the build and run tools is missing.
ensure_packages() {
    ensure_fuzz_packages || echo "could not install the fuzz targets' compiler: their smoke checks fail" >&2
    local missing msvc=""
    # shellcheck disable=SC2086 # the lists are space-separated names
    missing=$(missing_packages $QUORNEL_PACKAGES)
    # shellcheck disable=SC2086
    if [ -n "$(missing_packages $QUORNEL_MSVC_PACKAGES_14)" ] && [ -n "$(missing_packages $QUORNEL_MSVC_PACKAGES)" ]; then
        msvc=yes
    fi
    [ -z "$missing" ] && [ -z "$msvc" ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -q
    if [ -n "$missing" ]; then
        echo "installing:" $missing >&2
        # shellcheck disable=SC2086
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $missing || return 1
    fi
    if [ -n "$msvc" ]; then
        local set=$QUORNEL_MSVC_PACKAGES
        # shellcheck disable=SC2086
        packages_offered $QUORNEL_MSVC_PACKAGES_14 && set=$QUORNEL_MSVC_PACKAGES_14
        echo "installing the MSVC-mode check's tools: $set" >&2
        # shellcheck disable=SC2086
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $set ||
            echo "could not install $set: the MSVC-mode check (msvc_build) and its end-to-end run are skipped" >&2
    fi
    return 0
}

# Configures and builds into $1 (the build folder).
build_tree() {
    local root build
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    build=$1
    # The tests' throwaway update key, made in the build folder (never for a release).
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DQUORNEL_UPDATE_TEST_KEY=ON >/dev/null
    cmake --build "$build" -j"$(nproc)"
}

# The common start of every script: installs what is missing, builds into
# $BUILD_DIR (default: the folder $1 below the repository) and points WINEPREFIX at
# that build's own prefix. Sets QUORNEL_ROOT and QUORNEL_BUILD.
prepare_run() {
    QUORNEL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    QUORNEL_BUILD=${BUILD_DIR:-$QUORNEL_ROOT/${1:-build}}
    ensure_packages || return 1
    build_tree "$QUORNEL_BUILD" || return 1
    export WINEPREFIX="$QUORNEL_BUILD/wineprefix"
}

# Gives this shell an X display: the user's when it answers, else a private Xvfb
# that stop_display ends. Under a script that shares its display with every program
# it runs (QUORNEL_DISPLAY_SHARED, exported by test.sh), a display that does not
# answer at once is waited for and then reported, never replaced: a private display
# would come with a stop of the shared prefix, which would end every other test.
QUORNEL_XVFB_PID=""
ensure_display() {
    if [ -n "${DISPLAY:-}" ]; then
        local tries=${QUORNEL_DISPLAY_SHARED:+40}
        for _ in $(seq "${tries:-1}"); do
            xdpyinfo >/dev/null 2>&1 && return 0
            [ -n "${QUORNEL_DISPLAY_SHARED:-}" ] && sleep 0.25
        done
        if [ -n "${QUORNEL_DISPLAY_SHARED:-}" ]; then
            echo "the shared display $DISPLAY does not answer" >&2
            return 1
        fi
    fi
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    QUORNEL_XVFB_PID=$!
    local num
    read -r -t 20 num <"$fifo" || { rm -f "$fifo"; echo "Xvfb did not start" >&2; return 1; }
    rm -f "$fifo"
    export DISPLAY=":$num"
    export QUORNEL_HEADLESS=1
}

stop_display() {
    if [ -n "$QUORNEL_XVFB_PID" ]; then
        kill "$QUORNEL_XVFB_PID" 2>/dev/null
        wait "$QUORNEL_XVFB_PID" 2>/dev/null
        QUORNEL_XVFB_PID=""
    fi
}

# Creates the Wine prefix $WINEPREFIX once (serially, under a lock) and makes every
# program in it run inside one virtual desktop, where the notification area exists.
ensure_prefix() {
    : "${WINEPREFIX:?set WINEPREFIX to the prefix in the build folder}"
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        [ -f "$WINEPREFIX/.quornel-ready-2" ] && exit 0
        "$WINE64" wineboot -i >/dev/null 2>&1
        # A program that crashes ends at once with its backtrace on stderr, rather than
        # waiting behind Wine's crash dialog for a click that never comes.
        local reg="$WINEPREFIX/quornel-desktop.reg"
        printf '%s\r\n' 'REGEDIT4' '' \
            '[HKEY_CURRENT_USER\Software\Wine\Explorer]' '"Desktop"="Default"' '' \
            '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' '"Default"="1024x768"' '' \
            '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' '' >"$reg"
        "$WINE64" regedit /S "$reg" >/dev/null 2>&1
        "$WINESERVER" -w
        touch "$WINEPREFIX/.quornel-ready-2"
    ) 9>"$WINEPREFIX.lock"
}

# Stops the wineserver of this prefix only (and with it every program in it).
stop_prefix() {
    [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] && "$WINESERVER" -k >/dev/null 2>&1
    return 0
}
