#!/usr/bin/env bash
# Runs one Windows program (and its arguments) under Wine in the build's own prefix.
# CTest uses it as the cross-compiling emulator; WINEPREFIX comes from CMake.
. "$(dirname "$0")/wine-env.sh"
ensure_display || exit 1
ensure_prefix
"$WINE64" "$@"
rc=$?
if [ -n "$QUORNEL_XVFB_PID" ]; then
    # This run brought its own display: nothing else may be left on it.
    stop_prefix
    stop_display
fi
exit $rc
