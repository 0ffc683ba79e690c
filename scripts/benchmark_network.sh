#!/usr/bin/env bash
# The network's figures under Wine, against the network tests' local servers
# (tests/network/net_server.py) on 127.0.0.1: a download of the data file through
# the local proxy with its login and a 304 round trip, by the engine beside plain
# synchronous WinHTTP requests (the floor), and the Host's start with the real
# engine with no data address, with an answering server and with a silent one
# (tests/bench/network_bench.cpp). Prints markdown, also to <build>/benchmark-network.md.
# scripts/benchmark.sh runs it as part of the whole benchmark.
#   BUILD_DIR       build folder (default: build-bench/)
#   NETWORK_ROUNDS  rounds of each measure (default: 25)
set -uo pipefail
rounds=${NETWORK_ROUNDS:-25}
[ "$rounds" -ge 1 ] 2>/dev/null || { echo "NETWORK_ROUNDS must be a positive number" >&2; exit 1; }
. "$(dirname "$0")/wine-env.sh"
prepare_run build-bench || exit 1
build=$QUORNEL_BUILD
bin="$build/bin"
root="$bin/testwork/bench_net"
data="$QUORNEL_ROOT/data/worldcup2010/worldcup2010.csv"

ensure_display || exit 1
# Within scripts/benchmark.sh the Wine server and the display are its own to end.
if [ -n "${QUORNEL_BENCH_PARENT:-}" ]; then
    trap 'touch "$root/stop"' EXIT
else
    trap 'touch "$root/stop"; stop_prefix; stop_display' EXIT
fi
ensure_prefix
"$WINESERVER" -p

rm -rf "$root"
mkdir -p "$root"
cp "$data" "$root/fresh.csv"
python3 "$QUORNEL_ROOT/tests/network/net_server.py" "$root" "$data" >/dev/null 2>&1 &
for _ in $(seq 150); do
    [ -f "$root/ports.txt" ] && break
    sleep 0.1
done
origin=$(sed -n 's/.*origin=\([0-9]*\).*/\1/p' "$root/ports.txt" 2>/dev/null)
proxy=$(sed -n 's/.*proxy=\([0-9]*\).*/\1/p' "$root/ports.txt" 2>/dev/null)
[ -n "$origin" ] && [ -n "$proxy" ] || { echo "the local servers did not start" >&2; exit 1; }

log="$build/bench-network.log"
echo "network: $rounds rounds of each; the engine's download, its 304, the floor's two; then the Host's starts" >&2
(cd "$bin" && "$WINE64" bench_startup.exe --network "$rounds" "$origin" "$proxy") | tr -d '\r' | tee "$log" >&2
network_ok=${PIPESTATUS[0]}

# field KEY N: field N (2 min, 3 median) of the NETWORK line KEY.
field() {
    awk -v key="$1" -v n="$2" '$1 == "NETWORK" && $2 == key { print $(n + 1) }' "$log"
}
ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "" || b + 0 == 0) print "—"; else printf "%.2f\n", a / b }'
}
row() {
    local label=$1 ours=$2 floor=$3
    echo "| $label, min | $(field "$ours" 2) | $(field "$floor" 2) | $(ratio "$(field "$ours" 2)" "$(field "$floor" 2)") |"
    echo "| $label, median | $(field "$ours" 3) | $(field "$floor" 3) | $(ratio "$(field "$ours" 3)" "$(field "$floor" 3)") |"
}

{
    echo "The network, against the local servers on 127.0.0.1 (\`bash scripts/benchmark_network.sh\`), $rounds rounds:"
    echo "the engine from the host message to its report handled on the main thread (a new WinHTTP session, the"
    echo "proxy's 407 and the login, the file checked whole and, for the download, cached with a flush and a rename),"
    echo "beside a plain synchronous WinHTTP request through the same proxy with the same login (the floor)."
    echo
    echo "| measure (ms) | engine | floor | engine/floor |"
    echo "|---|---:|---:|---:|"
    row "download of the data file through the proxy" download floor_download
    row "304 round trip through the proxy" not_modified floor_not_modified
    echo
    echo "The Host's start with the real engine, median of $rounds starts each way, ms after just before process creation"
    echo "(seen from outside, as in the waterfall above):"
    echo
    sed -n 's/^NETWATERFALL \{0,1\}//p' "$log"
} | tee "$build/benchmark-network.md"
[ "$network_ok" -eq 0 ]
