#!/usr/bin/env bash
# `cmake --install` gives a folder that holds exactly what the programs look for,
# and the widget starts from it through the Loader and stops on "/exit".
set -u
build=$1
. "$(dirname "$0")/../../scripts/wine-env.sh"
ensure_display || exit 1
ensure_prefix
dest=$build/install-check
rm -rf "$dest"
cmake --install "$build" --prefix "$dest" >/dev/null || { echo "install failed"; exit 1; }

expected="base.dll
images/tray.ico
images/tray_offline.ico
images/wallpaper.bmp
tessmark_quornel.exe
tessmark_quornel_loader.exe"
actual=$(cd "$dest" && find . -type f | sed 's|^\./||' | sort)
if [ "$actual" != "$expected" ]; then
    printf 'install folder holds:\n%s\nexpected:\n%s\n' "$actual" "$expected"
    exit 1
fi

# No test hook ships: no program of the install folder names a QUORNEL_ variable (the
# stand-in engine's, as the UTF-16 texts a program would look them up by).
hooked=$(cd "$dest" && LC_ALL=C grep -a -l -P 'Q\x00U\x00O\x00R\x00N\x00E\x00L\x00_\x00|QUORNEL_' *.exe *.dll)
[ -z "$hooked" ] || { echo "test hooks in: $hooked"; exit 1; }

cd "$dest" || exit 1
timeout 60 "$WINE64" tessmark_quornel_loader.exe /firstrun
rc=$?
[ $rc -eq 0 ] || { echo "the Loader ended with $rc"; exit 1; }
drive() { timeout 30 "$WINE64" "$build/bin/quornel_drive.exe" "$@"; }
drive widget || { echo "the engine showed no widget"; exit 1; }
timeout 60 "$WINE64" tessmark_quornel.exe /exit
drive nowidget || { echo "the widget is still there after /exit"; exit 1; }
echo "install folder complete; Loader -> Host -> engine ran and stopped"
