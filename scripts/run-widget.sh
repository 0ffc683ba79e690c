#!/usr/bin/env bash
# Builds everything and starts the widget under Wine as a user does.
# Without a display it runs under Xvfb, saves a screenshot of the Wine desktop to
# <build>/screenshots/widget.png and then stops the Host with "/exit".
set -uo pipefail
. "$(dirname "$0")/wine-env.sh"
prepare_run build || exit 1
build=$QUORNEL_BUILD
ensure_display || exit 1
ensure_prefix

bin="$build/bin"
start_program=tessmark_quornel.exe
[ -f "$bin/tessmark_quornel_loader.exe" ] && start_program=tessmark_quornel_loader.exe
cd "$bin" || exit 1
"$WINE64" "$start_program" /firstrun &
started=$!

if [ -z "${QUORNEL_HEADLESS:-}" ]; then
    echo "The widget runs on display $DISPLAY; choose \"Выход\" in its tray menu to end it."
    exit 0
fi

# Headless: wait for the widget, let the balloon show, take the picture, stop.
"$WINE64" quornel_drive.exe widget || { echo "the widget did not come up" >&2; exit 1; }
sleep 2
mkdir -p "$build/screenshots"
shot="$build/screenshots/widget.png"
import -window root "$shot" && echo "screenshot: $shot"
"$WINE64" tessmark_quornel.exe /exit
wait "$started"
"$WINE64" quornel_drive.exe nowidget || { echo "the widget did not stop" >&2; exit 1; }
stop_prefix
stop_display
echo "the widget ran and stopped cleanly"
