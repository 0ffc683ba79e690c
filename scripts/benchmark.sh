#!/usr/bin/env bash
# Start-up and footprint benchmark of the widget under Wine, each figure beside a
# minimal baseline program (tests/bench): start-up of the Host and of the Loader,
# the Host's idle cost (CPU time and wake-ups with nothing happening), program
# sizes of the stripped release build, and the time module's speed. Prints one
# markdown table, the ratios and the machine; the same text goes to
# <build>/benchmark.md.
#   BUILD_DIR     build folder (default: build-bench/)
#   ROUNDS        timed start-up rounds of each program, at least 10 (default: 15)
#   IDLE_SECONDS  length of the idle measure (default: 10)
set -uo pipefail
rounds=${ROUNDS:-15}
idle_seconds=${IDLE_SECONDS:-10}
[ "$rounds" -ge 10 ] 2>/dev/null || { echo "ROUNDS must be a number of at least 10" >&2; exit 1; }
. "$(dirname "$0")/wine-env.sh"
prepare_run build-bench || exit 1
build=$QUORNEL_BUILD

bin="$build/bin"
work="$bin/testwork/bench"
if [ ! -f "$bin/bench_startup.exe" ]; then
    # A build folder configured before the benchmark's folder was on the list of test areas.
    areas=$(sed -n 's/^QUORNEL_TEST_AREAS:[A-Z]*=//p' "$build/CMakeCache.txt")
    cmake "$build" -DQUORNEL_TEST_AREAS="${areas:+$areas;}bench" >/dev/null && cmake --build "$build" -j"$(nproc)" ||
        exit 1
fi
for program in bench_startup.exe bench_time.exe bench_baseline_tray.exe bench_baseline_launcher.exe \
    tessmark_quornel.exe base.dll; do
    [ -f "$bin/$program" ] || { echo "missing $bin/$program" >&2; exit 1; }
done

ensure_display || exit 1
trap 'stop_prefix; stop_display' EXIT
ensure_prefix
"$WINESERVER" -p # one server for the whole run: no start below pays for it

# Windows programs end their lines with CR LF.
run_bench() {
    (cd "$bin" && "$WINE64" "$@") | tr -d '\r'
}

echo "start-up: $rounds rounds of each, ours and the baseline alternating" >&2
startup_log="$build/bench-startup.log"
run_bench bench_startup.exe --rounds "$rounds" | tee "$startup_log" >&2
startup_ok=${PIPESTATUS[0]}
# result KEY FIELD: the minimum (2) or median (3) of one series, in ms; "" when not timed.
result() {
    awk -v key="$1" -v field="$2" '$1 == "RESULT" && $2 == key { print $(field + 1) }' "$startup_log"
}

echo "time module: operations per second" >&2
time_log="$build/bench-time.log"
run_bench bench_time.exe | tee "$time_log" >&2
ops() {
    awk -v name="$1" '$1 == "TIME" && $2 == name { print $3 }' "$time_log"
}

# One snapshot of a unix process: its CPU time in clock ticks (utime + stime, all
# threads) and, per thread, voluntary + involuntary context switches. Under Wine
# every Windows thread is one of these threads, so a switch is a wake-up.
snapshot() {
    local pid=$1 task
    # Fields 14 and 15; counted after the ")" that closes the program name.
    sed 's/.*) //' "/proc/$pid/stat" | awk '{ print "cpu", $12 + $13 }'
    for task in /proc/"$pid"/task/*; do
        awk -v tid="${task##*/}" '/^voluntary_ctxt_switches/ { v = $2 } /^nonvoluntary_ctxt_switches/ { n = $2 }
            END { print "task", tid, v + n }' "$task/status" 2>/dev/null
    done
}

# idle_cost KEY EXE: starts the program in the install folder from here (so that
# its unix process is known), waits until it is ready, lets it settle, then
# measures idle_seconds of nothing happening. Prints "cpu_ms wakeups main_wakeups threads".
idle_cost() {
    local key=$1 exe=$2 pid before after
    (cd "$work" && exec "$WINE64" "$exe" >/dev/null 2>&1) &
    pid=$!
    if ! run_bench bench_startup.exe --wait "$key" >&2; then
        run_bench bench_startup.exe --stop "$key" >&2
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        echo "- - - -"
        return 1
    fi
    sleep 1
    before=$(snapshot "$pid")
    sleep "$idle_seconds"
    after=$(snapshot "$pid")
    run_bench bench_startup.exe --stop "$key" >&2
    wait "$pid" 2>/dev/null
    printf '%s\n--\n%s\n' "$before" "$after" | awk -v pid="$pid" -v hz="$(getconf CLK_TCK)" '
        $0 == "--" { later = 1; next }
        !later && $1 == "cpu" { cpu0 = $2 }
        !later && $1 == "task" { was[$2] = $3 }
        later && $1 == "cpu" { cpu1 = $2 }
        later && $1 == "task" { d = $3 - was[$2]; all += d; threads++; if ($2 == pid) main = d }
        END { printf "%.0f %d %d %d\n", (cpu1 - cpu0) * 1000 / hz, all, main, threads }'
}

echo "idle cost: ${idle_seconds} s of nothing happening, ours and the baseline" >&2
run_bench bench_startup.exe --prepare >&2 || exit 1
read -r host_cpu host_wake host_main host_threads < <(idle_cost host tessmark_quornel.exe)
read -r base_cpu base_wake base_main base_threads < <(idle_cost baseline bench_baseline_tray.exe)

size() {
    [ -f "$bin/$1" ] && stat -c %s "$bin/$1"
}

# ratio OURS BASELINE: ours/baseline to two places, "—" when either is missing or the baseline is 0.
ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN {
        if (a == "" || b == "" || a == "-" || b == "-" || b + 0 == 0) print "—"; else printf "%.2f\n", a / b }'
}
# verdict VALUE LIMIT: "met" or "missed" for VALUE <= LIMIT, "—" without a value.
verdict() {
    awk -v v="$1" -v limit="$2" 'BEGIN {
        if (v == "" || v == "-" || v == "—") print "—"; else print (v + 0 <= limit + 0 ? "met" : "missed") }'
}
or_dash() {
    echo "${1:-—}"
}

host_min=$(result host 2) host_med=$(result host 3)
tray_min=$(result baseline 2) tray_med=$(result baseline 3)
loader_min=$(result loader 2) loader_med=$(result loader 3)
launcher_min=$(result launcher 2) launcher_med=$(result launcher 3)
host_size=$(size tessmark_quornel.exe) loader_size=$(size tessmark_quornel_loader.exe)
base_size=$(size base.dll)
tray_size=$(size bench_baseline_tray.exe) launcher_size=$(size bench_baseline_launcher.exe)
extra_wake=$(awk -v a="$host_main" -v b="$base_main" 'BEGIN { if (a == "-" || b == "-") print "—"; else { d = a - b; print d < 0 ? 0 : d } }')
cpu_model=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)

report() {
    echo "| measure | ours | baseline | ours/baseline | target |"
    echo "|---|---:|---:|---:|---|"
    echo "| Host start to tray icon and message loop, min (ms) | $(or_dash "$host_min") | $(or_dash "$tray_min") | $(ratio "$host_min" "$tray_min") | ≤ 1.2 |"
    echo "| Host start to tray icon and message loop, median (ms) | $(or_dash "$host_med") | $(or_dash "$tray_med") | $(ratio "$host_med" "$tray_med") | ≤ 1.2 |"
    echo "| Loader start to Host ready, min (ms) | $(or_dash "$loader_min") | $(or_dash "$launcher_min") | $(ratio "$loader_min" "$launcher_min") | ≤ 1.2 |"
    echo "| Loader start to Host ready, median (ms) | $(or_dash "$loader_med") | $(or_dash "$launcher_med") | $(ratio "$loader_med" "$launcher_med") | ≤ 1.2 |"
    echo "| idle CPU time over ${idle_seconds} s (ms) | $host_cpu | $base_cpu | $(ratio "$host_cpu" "$base_cpu") | — |"
    echo "| idle wake-ups over ${idle_seconds} s, all threads | $host_wake | $base_wake | $(ratio "$host_wake" "$base_wake") | — |"
    echo "| idle wake-ups over ${idle_seconds} s, main thread | $host_main | $base_main | $(ratio "$host_main" "$base_main") | no more than the baseline |"
    echo "| threads while idle | $host_threads | $base_threads | — | — |"
    echo "| size: tessmark_quornel.exe / baseline tray (bytes) | $(or_dash "$host_size") | $tray_size | $(ratio "$host_size" "$tray_size") | ≤ 65536 |"
    echo "| size: tessmark_quornel_loader.exe / baseline launcher (bytes) | $(or_dash "$loader_size") | $launcher_size | $(ratio "$loader_size" "$launcher_size") | ≤ 65536 |"
    echo "| size: base.dll, the stand-in engine (bytes) | $base_size | — | — | — |"
    echo "| FormatGmtTime (operations/s) | $(or_dash "$(ops FormatGmtTime)") | — | — | — |"
    echo "| ParseUtcTime (operations/s) | $(or_dash "$(ops ParseUtcTime)") | — | — | — |"
    echo "| UtcToFixedZone (operations/s) | $(or_dash "$(ops UtcToFixedZone)") | — | — | — |"
    echo
    echo "Ratios (ours/baseline; start-up target ≤ 1.2):"
    echo "- Host start-up: min $(ratio "$host_min" "$tray_min") ($(verdict "$(ratio "$host_min" "$tray_min")" 1.2)), median $(ratio "$host_med" "$tray_med") ($(verdict "$(ratio "$host_med" "$tray_med")" 1.2))"
    echo "- Loader start-up: min $(ratio "$loader_min" "$launcher_min") ($(verdict "$(ratio "$loader_min" "$launcher_min")" 1.2)), median $(ratio "$loader_med" "$launcher_med") ($(verdict "$(ratio "$loader_med" "$launcher_med")" 1.2))"
    echo "- Host idle wake-ups of its main thread beyond the baseline's (Wine's own): $extra_wake (target 0: $(verdict "$extra_wake" 0))"
    echo "- sizes ≤ 64 KiB: tessmark_quornel.exe $(verdict "$host_size" 65536), tessmark_quornel_loader.exe $(verdict "$loader_size" 65536)"
    echo
    echo "Machine: $(nproc) CPUs, ${cpu_model:-unknown CPU}, $("$WINE64" --version), load average at the end $(cut -d ' ' -f 1-3 /proc/loadavg)."
    echo "Build: Release, stripped (\`quornel_product\`); $rounds start-up rounds of each program after one unmeasured start."
}

echo >&2
report | tee "$build/benchmark.md"
[ "$startup_ok" -eq 0 ] && [ "$host_cpu" != "-" ] && [ "$base_cpu" != "-" ]
