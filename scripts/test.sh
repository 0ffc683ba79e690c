#!/usr/bin/env bash
# Builds everything and runs every test under Wine. Installs what is missing.
# BUILD_DIR chooses the build folder (default: build/).
set -uo pipefail
. "$(dirname "$0")/wine-env.sh"
prepare_run build || exit 1
build=$QUORNEL_BUILD
ensure_display || exit 1
export QUORNEL_DISPLAY_SHARED=1 # every test's wine-run.sh uses this display and prefix
trap 'stop_prefix; stop_display' EXIT
ensure_prefix
"$WINESERVER" -p # one server for the whole run: later programs start without paying for it
# Wine's desktop and services start with the first program and inherit its output;
# start them here, from a program whose output CTest does not wait for.
"$WINE64" "$build/bin/quornel_drive.exe" hold >/dev/null 2>&1 &
"$WINE64" cmd /c exit >/dev/null 2>&1

ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 180 "$@" # e.g. -R Cadence
