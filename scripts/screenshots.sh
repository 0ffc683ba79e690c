#!/usr/bin/env bash
# Pictures for the README: under Xvfb and the Wine desktop, starts the widget through
# the Loader with "/date=" (the replay of a tournament day) and saves PNG screenshots
# to docs/: the desktop with the widget and its tray icon, the widget in its three
# skins, collapsed, its group and knock-out pages, before, during and after the
# tournament, after midnight on match days, its menu, at 200 %, on its own wallpaper,
# with a favourite team, its settings dialog; the tray menu, the proxy
# dialog in both modes and the setup's pages.
set -uo pipefail
. "$(dirname "$0")/wine-env.sh"
prepare_run build || exit 1
root=$QUORNEL_ROOT
build=$QUORNEL_BUILD
unset DISPLAY # always a private Xvfb: the pictures must not show the user's screen
ensure_display || exit 1
# A prefix of the pictures' own, with Wine's Marlett (caption buttons) and Tahoma (a
# real face with Cyrillic). Not Wine's Tahoma Bold: its Cyrillic falls back to another
# face at some sizes; Wine emboldens the regular Tahoma cleanly instead.
export WINEPREFIX="$build/wineprefix-screenshots"
trap 'stop_prefix; stop_display' EXIT
ensure_prefix
for font in marlett.ttf tahoma.ttf; do
    cp -n "/usr/share/wine/fonts/$font" "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
done
"$WINESERVER" -p

# A fresh profile: the widget at its first place, the first skin, the dialog in automatic mode.
"$WINE64" reg delete 'HKCU\Software\Morvane' /f >/dev/null 2>&1

bin="$build/bin"
drive() { "$WINE64" "$bin/quornel_drive.exe" "$@"; }
shoot() { sleep 0.7; import -window root -strip -define png:compression-level=9 "$root/docs/$1" && echo "docs/$1"; }
# The widget alone, with a margin of the desktop around it, into a file of /tmp.
shot_of_widget() {
    local place w h x y
    sleep 0.7
    place=$(drive place | tr -d '\r') || return 1
    IFS='x+' read -r w h x y <<<"$place"
    import -window root -crop "$((w + 16))x$((h + 16))+$((x - 8))+$((y - 8))" +repage -strip "$1"
}
# Several widget shots side by side on the desktop's colour, into docs/.
side_by_side() {
    local out=$1
    shift
    convert "$@" -background '#236e96' -gravity north +append -strip -define png:compression-level=9 "$root/docs/$out" &&
        echo "docs/$out"
}
start_widget() { # the Loader as a user starts it, with the given tail
    (cd "$bin" && "$WINE64" tessmark_quornel_loader.exe "$@")
    drive widget
}
stop_widget() {
    (cd "$bin" && "$WINE64" tessmark_quornel.exe /exit)
    drive nowidget
}

mkdir -p "$root/docs"
tmp=$(mktemp -d)
cd "$bin" || exit 1

# The opening days replayed: 22 June 2010, 21:00 in Moscow, the last round of group A over.
start_widget /firstrun /date=2010-06-22T21:00
sleep 2 # the balloon of "/firstrun" comes up
shoot widget.png
sleep 10 # and goes again

shot_of_widget "$tmp/skin0.png"
drive tray 220 && shot_of_widget "$tmp/skin1.png"
drive tray 220 && shot_of_widget "$tmp/skin2.png"
drive tray 220
side_by_side widget-skins.png "$tmp/skin0.png" "$tmp/skin1.png" "$tmp/skin2.png"

drive page 1 && shot_of_widget "$tmp/groups.png"
drive page 2 && shot_of_widget "$tmp/knockout.png"
drive page 0
drive tray 210 && shot_of_widget "$tmp/collapsed.png"
drive tray 210
side_by_side widget-pages.png "$tmp/groups.png" "$tmp/knockout.png" "$tmp/collapsed.png"

drive widgetmenu && shoot widget-menu-full.png && drive close
place=$(drive place | tr -d '\r')
IFS='x+' read -r w h x y <<<"$place"
convert "$root/docs/widget-menu-full.png" -crop "$((w + 120))x$((h + 150))+$((x - 100))+$((y - 8))" +repage -strip \
    "$root/docs/widget-menu.png" && rm "$root/docs/widget-menu-full.png" && echo "docs/widget-menu.png"

# The widget's own wallpaper, and the user's back. Wine draws it at its own size from
# the top left (Windows stretches it), over every window above the desktop: the
# widget is made to paint itself again (its page shown anew); the taskbar stays hidden.
drive command 1030 && sleep 2 && drive page 0 && shoot widget-wallpaper.png
drive command 1030
drive dpi 192 && shot_of_widget "$root/docs/widget-200.png" && echo "docs/widget-200.png"
drive dpi 96

stop_widget

# The widget alone on one replayed day, into a file of /tmp.
shoot_day() {
    start_widget "/date=$1" && shot_of_widget "$tmp/$2.png"
    stop_widget
}
# Before the start and after the final, beside the day above.
shoot_day 2010-05-31T12:00 before
shoot_day 2010-07-20T12:00 after
side_by_side widget-days.png "$tmp/before.png" "$tmp/skin0.png" "$tmp/after.png"
# After midnight the match day goes on: 23 June 00:10, 3 July 01:00 and 12 July 00:30.
shoot_day 2010-06-23T00:10 night1
shoot_day 2010-07-03T01:00 night2
shoot_day 2010-07-12T00:30 night3
side_by_side widget-night.png "$tmp/night1.png" "$tmp/night2.png" "$tmp/night3.png"

# The user's team: Spain, on its match day and in its group, and the settings dialog.
"$WINE64" reg add 'HKCU\Software\Morvane\Tessmark' /v favourite_team /t REG_SZ /d ESP /f >/dev/null 2>&1
start_widget /date=2010-06-21T21:00 && shot_of_widget "$tmp/mine-matches.png"
drive page 1 && shot_of_widget "$tmp/mine-groups.png"
side_by_side widget-my-team.png "$tmp/mine-matches.png" "$tmp/mine-groups.png"
drive page 0
drive command 1091 && place=$(drive dialog 209 | tr -d '\r') && sleep 0.7 &&
    import -window root -crop "$place" +repage -strip -define png:compression-level=9 "$root/docs/widget-settings.png" &&
    echo "docs/widget-settings.png"
stop_widget
"$WINE64" reg delete 'HKCU\Software\Morvane\Tessmark' /v favourite_team /f >/dev/null 2>&1

# The final as it happens, replayed from 00:51 on 12 July at 60 times the speed:
# Иньеста's goal (00:53 on the widget's clock) comes as a balloon, then the final's
# line shows its scorer on its tooltip. The right half of the screen holds both.
start_widget /date=2010-07-12T00:51 /speed=60
sleep 3
import -window root -crop 480x768+544+0 +repage -strip -define png:compression-level=9 "$root/docs/widget-live.png" &&
    echo "docs/widget-live.png"
sleep 8 # the balloon goes
drive hoverline "22:30 Нидерланды" && place=$(drive place | tr -d '\r') && sleep 0.7 &&
    IFS='x+' read -r w h x y <<<"$place" &&
    import -window root -crop "$((w + 16))x$((h + 70))+$((x - 8))+$((y - 8))" +repage -strip \
        -define png:compression-level=9 "$root/docs/widget-scorers.png" && echo "docs/widget-scorers.png"
stop_widget

start_widget /date=2010-06-22T21:00
drive menu && shoot tray-menu.png && drive close
drive proxy && shoot proxy-automatic.png
drive toggle && drive fill && shoot proxy-manual.png
stop_widget
rm -rf "$tmp"

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
uninstaller=$(ls "$WINEPREFIX"/drive_c/users/*/AppData/Local/Programs/tessmark_quornel/uninstall_tessmark_quornel.exe)
"$WINE64" "$uninstaller" &
uninstall=$!
shoot_wizard setup-uninstall.png && drive next
sleep 3
drive next
wait "$uninstall"
