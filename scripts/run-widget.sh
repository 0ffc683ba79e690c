#!/usr/bin/env bash
# Builds everything and starts the widget under Wine as a user does.
# Without a display it runs under Xvfb, saves a screenshot of the Wine desktop to
# <build>/screenshots/widget.png and then stops the Host with "/exit".
#   bash scripts/run-widget.sh                  the widget on today's clock, "/firstrun"
#   bash scripts/run-widget.sh --final          a replay of the final from 12 July 00:35
#                                               (Moscow time) at 60 times the speed
#   bash scripts/run-widget.sh --opening        the opening match from 19:05 at 60 times
#   bash scripts/run-widget.sh /date=... [/speed=N]   any replay: the Loader's arguments
# Headless, a replay runs SHOT_AFTER seconds (default 20) before its screenshot.
set -uo pipefail
case "${1:-}" in
--final) set -- /date=2010-07-12T00:35 /speed=60 ;;
--opening) set -- /date=2010-06-11T19:05 /speed=60 ;;
esac
. "$(dirname "$0")/wine-env.sh"
prepare_run build || exit 1
build=$QUORNEL_BUILD
ensure_display || exit 1
ensure_prefix

bin="$build/bin"
start_program=tessmark_quornel.exe
[ -f "$bin/tessmark_quornel_loader.exe" ] && start_program=tessmark_quornel_loader.exe
cd "$bin" || exit 1
if [ $# -gt 0 ]; then
    "$WINE64" "$start_program" "$@" &
else
    "$WINE64" "$start_program" /firstrun &
fi
started=$!

if [ -z "${QUORNEL_HEADLESS:-}" ]; then
    echo "The widget runs on display $DISPLAY; choose \"Выход\" in its tray menu to end it."
    exit 0
fi

# Headless: wait for the widget, let the balloon show, take the picture, stop.
"$WINE64" quornel_drive.exe widget || { echo "the widget did not come up" >&2; exit 1; }
if [ $# -gt 0 ]; then sleep "${SHOT_AFTER:-20}"; else sleep 2; fi
mkdir -p "$build/screenshots"
shot="$build/screenshots/widget.png"
import -window root "$shot" && echo "screenshot: $shot"
"$WINE64" tessmark_quornel.exe /exit
wait "$started"
"$WINE64" quornel_drive.exe nowidget || { echo "the widget did not stop" >&2; exit 1; }
stop_prefix
stop_display
echo "the widget ran and stopped cleanly"
