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
tessmark_quornel.exe
tessmark_quornel_loader.exe"
actual=$(cd "$dest" && find . -type f | sed 's|^\./||' | sort)
if [ "$actual" != "$expected" ]; then
    printf 'install folder holds:\n%s\nexpected:\n%s\n' "$actual" "$expected"
    exit 1
fi

log=$dest/engine.log
cd "$dest" || exit 1
QUORNEL_BASE_LOG="$log" timeout 60 "$WINE64" tessmark_quornel_loader.exe /firstrun
rc=$?
[ $rc -eq 0 ] || { echo "the Loader ended with $rc"; exit 1; }
for _ in $(seq 1 100); do
    grep -q '^run' "$log" 2>/dev/null && break
    sleep 0.1
done
grep -q $'^cmd\t/firstrun$' "$log" || { echo "the engine did not run with the Loader's tail"; cat "$log"; exit 1; }
timeout 60 "$WINE64" tessmark_quornel.exe /exit
grep -q '^exit$' "$log" || { echo "the Host did not stop through ExitQuornel"; cat "$log"; exit 1; }
echo "install folder complete; Loader -> Host -> engine ran and stopped"
