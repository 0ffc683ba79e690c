#!/usr/bin/env bash
# Pictures for the README: under Xvfb and the Wine desktop, starts the widget
# through the Loader and saves PNG screenshots to docs/: the desktop with the
# widget and its tray icon, the open tray menu, the proxy dialog in both modes.
set -uo pipefail
. "$(dirname "$0")/wine-env.sh"
prepare_run build || exit 1
root=$QUORNEL_ROOT
build=$QUORNEL_BUILD
unset DISPLAY # always a private Xvfb: the pictures must not show the user's screen
ensure_display || exit 1
trap 'stop_prefix; stop_display' EXIT
ensure_prefix

# A fresh profile: the dialog shows the automatic mode first.
"$WINE64" reg delete 'HKCU\Software\Morvane' /f >/dev/null 2>&1

bin="$build/bin"
drive() { "$WINE64" "$bin/quornel_drive.exe" "$@"; }
shoot() { sleep 0.7; import -window root -strip -define png:compression-level=9 "$root/docs/$1" && echo "docs/$1"; }

mkdir -p "$root/docs"
cd "$bin" || exit 1
"$WINE64" tessmark_quornel_loader.exe /firstrun
drive close # waits for the Host
sleep 2 # the balloon of "/firstrun" comes up
shoot widget.png
sleep 10 # and goes again, before the menu opens where it was
drive menu && shoot tray-menu.png && drive close
drive proxy && shoot proxy-automatic.png
drive toggle && drive fill && shoot proxy-manual.png
"$WINE64" tessmark_quornel.exe /exit

# The setup's pages: an interactive install into the default folder (which starts the
# widget from its last page), then the uninstaller, which stops it again.
shoot_wizard() {
    local place
    place=$(drive wizard | tr -d '\r') || return 1
    sleep 0.7
    import -window root -crop "$place" +repage -strip -define png:compression-level=9 "$root/docs/$1" && echo "docs/$1"
}
"$WINE64" "$(ls "$build"/tessmark_quornel-*-setup.exe)" &
setup=$!
shoot_wizard setup-welcome.png && drive next
shoot_wizard setup-folder.png && drive next
sleep 3 # the files go in, then the last page comes
shoot_wizard setup-finish.png && drive next
wait "$setup"
uninstaller=$(ls "$WINEPREFIX"/drive_c/users/*/AppData/Local/Programs/tessmark_quornel/uninstall.exe)
"$WINE64" "$uninstaller" &
uninstall=$!
shoot_wizard setup-uninstall.png && drive next
sleep 3
drive next
wait "$uninstall"
