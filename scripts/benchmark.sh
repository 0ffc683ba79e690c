#!/usr/bin/env bash
# Start-up and footprint benchmark of the widget under Wine, each figure beside two
# yardstick programs (tests/bench): a bare one that does the least a tray program
# (a start program) does, and a floor one that also does the work the Host (the
# Loader) must do whatever its quality. It measures the start-up of the Host and of
# the Loader, where the Host's start-up time goes (a waterfall of its moments), the
# Host's idle cost (CPU time and wake-ups with nothing happening), program sizes of
# the stripped release build, the time module's speed, and the network's figures
# (scripts/benchmark_network.sh, NETWORK_ROUNDS). Prints markdown tables, the ratios
# and the machine; the same text goes to <build>/benchmark.md.
#   BUILD_DIR         build folder (default: build-bench/)
#   ROUNDS            timed start-up rounds of each program, at least 25 (default: 25)
#   WATERFALL_ROUNDS  starts of each program for the waterfall (default: ROUNDS)
#   IDLE_SECONDS      length of the idle measure (default: 10)
#   COUNTDOWN_SECONDS length of the widget's idle measure while it counts minutes down
#                     (default: 120)
#   MACHINE           the machine's name in the report (default: its host name)
set -uo pipefail
rounds=${ROUNDS:-25}
waterfall_rounds=${WATERFALL_ROUNDS:-$rounds}
idle_seconds=${IDLE_SECONDS:-10}
countdown_seconds=${COUNTDOWN_SECONDS:-120}
[ "$rounds" -ge 25 ] 2>/dev/null || { echo "ROUNDS must be a number of at least 25" >&2; exit 1; }
[ "$waterfall_rounds" -ge 1 ] 2>/dev/null || { echo "WATERFALL_ROUNDS must be a positive number" >&2; exit 1; }
load_at_start=$(cut -d ' ' -f 1-3 /proc/loadavg)
. "$(dirname "$0")/wine-env.sh"
prepare_run build-bench || exit 1
build=$QUORNEL_BUILD

bin="$build/bin"
work="$bin/testwork/bench"
for program in bench_startup.exe bench_time.exe bench_baseline_tray.exe bench_baseline_launcher.exe \
    bench_floor_tray.exe bench_floor_launcher.exe tessmark_quornel.exe base.dll standin/base.dll; do
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

echo "start-up: $rounds rounds of each, ours and the two yardsticks in turn" >&2
startup_log="$build/bench-startup.log"
run_bench bench_startup.exe --rounds "$rounds" | tee "$startup_log" >&2
startup_ok=${PIPESTATUS[0]}
# result KEY FIELD: the minimum (2) or median (3) of one series, in ms; "" when not timed.
result() {
    awk -v key="$1" -v field="$2" '$1 == "RESULT" && $2 == key { print $(field + 1) }' "$startup_log"
}

echo "waterfall: $waterfall_rounds starts of each, with the stand-in engine's stamps" >&2
waterfall_log="$build/bench-waterfall.log"
run_bench bench_startup.exe --waterfall "$waterfall_rounds" | tee "$waterfall_log" >&2
waterfall_ok=${PIPESTATUS[0]}

echo "time module: operations per second" >&2
time_log="$build/bench-time.log"
run_bench bench_time.exe | tee "$time_log" >&2
ops() {
    awk -v name="$1" '$1 == "TIME" && $2 == name { print $3 }' "$time_log"
}

# One snapshot of a unix process: its CPU time in clock ticks (utime + stime, all
# threads), its private memory (anonymous resident kB: the heap, the stacks, the
# DLLs' written pages) and, per thread, voluntary + involuntary context switches.
# Under Wine every Windows thread is one of these threads, so a switch is a wake-up.
snapshot() {
    local pid=$1 task
    # Fields 14 and 15; counted after the ")" that closes the program name.
    sed 's/.*) //' "/proc/$pid/stat" | awk '{ print "cpu", $12 + $13 }'
    awk '/^RssAnon:/ { print "mem", $2 }' "/proc/$pid/status"
    for task in /proc/"$pid"/task/*; do
        awk -v tid="${task##*/}" '/^voluntary_ctxt_switches/ { v = $2 } /^nonvoluntary_ctxt_switches/ { n = $2 }
            END { print "task", tid, v + n }' "$task/status" 2>/dev/null
    done
}

# The main thread's context switches so far.
main_switches() {
    awk '/^voluntary_ctxt_switches/ { v = $2 } /^nonvoluntary_ctxt_switches/ { n = $2 } END { print v + n }' \
        "/proc/$1/task/$1/status" 2>/dev/null
}

# bursts PID SECONDS: watches the main thread for SECONDS, ten times a second, and
# counts its bursts of activity: a burst begins when it switches after a second of
# quiet. A wake-up that redraws the widget is one burst of some 20 to 40 switches
# (each call to the Wine server is one), so the bursts count the wake-ups themselves.
bursts() {
    local pid=$1 ticks=$(($2 * 10)) last now quiet=10 count=0 i
    last=$(main_switches "$pid")
    for ((i = 0; i < ticks; i++)); do
        sleep 0.1
        now=$(main_switches "$pid")
        if [ "$now" != "$last" ]; then
            [ "$quiet" -ge 10 ] && count=$((count + 1))
            quiet=0
        else
            quiet=$((quiet + 1))
        fi
        last=$now
    done
    echo "$count"
}

# idle_cost KEY EXE [SECONDS [FOLDER [ARGUMENT]]]: starts the program in its install
# folder from here (so that its unix process is known), waits until it is ready, lets
# it settle, then measures SECONDS (idle_seconds) of nothing happening. Prints
# "cpu_ms switches main_switches threads private_kB main_bursts".
idle_cost() {
    local key=$1 exe=$2 seconds=${3:-$idle_seconds} folder=${4:-$work} pid before after woken
    (cd "$folder" && exec "$WINE64" "$exe" ${5:+"$5"} >/dev/null 2>&1) &
    pid=$!
    if ! run_bench bench_startup.exe --wait "$key" >&2; then
        run_bench bench_startup.exe --stop "$key" >&2
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        echo "- - - - - -"
        return 1
    fi
    sleep 1
    before=$(snapshot "$pid")
    woken=$(bursts "$pid" "$seconds")
    after=$(snapshot "$pid")
    run_bench bench_startup.exe --stop "$key" >&2
    wait "$pid" 2>/dev/null
    printf '%s\n--\n%s\n' "$before" "$after" | awk -v pid="$pid" -v hz="$(getconf CLK_TCK)" -v woken="$woken" '
        $0 == "--" { later = 1; next }
        !later && $1 == "cpu" { cpu0 = $2 }
        !later && $1 == "task" { was[$2] = $3 }
        later && $1 == "cpu" { cpu1 = $2 }
        later && $1 == "mem" { mem = $2 }
        later && $1 == "task" { d = $3 - was[$2]; all += d; threads++; if ($2 == pid) main = d }
        END { printf "%.0f %d %d %d %d %d\n", (cpu1 - cpu0) * 1000 / hz, all, main, threads, mem, woken }'
}

echo "idle cost: ${idle_seconds} s of nothing happening, ours and the two yardsticks" >&2
run_bench bench_startup.exe --prepare >&2 || exit 1
read -r host_cpu host_wake host_main host_threads host_mem host_bursts < <(idle_cost host tessmark_quornel.exe)
read -r base_cpu base_wake base_main base_threads base_mem base_bursts < <(idle_cost bare bench_baseline_tray.exe)
read -r floor_cpu floor_wake floor_main floor_threads floor_mem floor_bursts < <(idle_cost floor bench_floor_tray.exe)
# The Host with the real engine: today (long after the final, nothing on the widget
# changes but its day), and on the opening day two hours before the kick-off, while
# it counts the minutes down.
widget_dir="$bin/testwork/bench_widget"
echo "idle cost of the widget: ${idle_seconds} s today, ${countdown_seconds} s while it counts minutes down" >&2
read -r widget_cpu widget_wake widget_main widget_threads widget_mem widget_bursts < <(idle_cost widget tessmark_quornel.exe \
    "$idle_seconds" "$widget_dir")
read -r count_cpu count_wake count_main count_threads count_mem count_bursts < <(idle_cost widget tessmark_quornel.exe \
    "$countdown_seconds" "$widget_dir" "/date=2010-06-11T16:00")

# The network's figures, with this script's Wine server and display; the registry
# key it sets is gone afterwards.
QUORNEL_BENCH_PARENT=1 BUILD_DIR="$build" bash "$(dirname "$0")/benchmark_network.sh" >/dev/null
network_ok=$?

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

# paired KEY FIELD: the median of ours' per-round ratios over the bare (2) or floor (3) yardstick.
paired() {
    awk -v key="$1" -v field="$2" '$1 == "PAIRED" && $2 == key { print $(field + 1) }' "$startup_log"
}
# Start-up rows: min (field 2) or median (3) of ours, the bare and the floor yardstick.
start_row() {
    local label=$1 field=$2 ours=$3 bare=$4 floor=$5 o b f
    o=$(result "$ours" "$field") b=$(result "$bare" "$field") f=$(result "$floor" "$field")
    echo "| $label | $(or_dash "$o") | $(or_dash "$b") | $(ratio "$o" "$b") | $(or_dash "$f") | $(ratio "$o" "$f") | ours/floor ≤ 1.05 |"
}
# ratios_line WHAT OURS BARE FLOOR: the start-up ratios of one program and the verdicts on the floor's.
ratios_line() {
    local floor_min floor_med
    floor_min=$(ratio "$(result "$2" 2)" "$(result "$4" 2)") floor_med=$(ratio "$(result "$2" 3)" "$(result "$4" 3)")
    echo "- $1: ours/floor min $floor_min ($(verdict "$floor_min" 1.05)), median $floor_med ($(verdict "$floor_med" 1.05))," \
        "per round $(or_dash "$(paired "$2" 3)") ($(verdict "$(paired "$2" 3)" 1.05));" \
        "ours/bare min $(ratio "$(result "$2" 2)" "$(result "$3" 2)"), median $(ratio "$(result "$2" 3)" "$(result "$3" 3)"), per round $(or_dash "$(paired "$2" 2)")"
}
# beyond OURS YARDSTICK: how many wake-ups ours has over the yardstick's, at least 0.
beyond() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || a == "" || b == "") print "—"; else { d = a - b; print d < 0 ? 0 : d } }'
}

host_size=$(size tessmark_quornel.exe) loader_size=$(size tessmark_quornel_loader.exe)
base_size=$(size base.dll) standin_size=$(size standin/base.dll)
tray_size=$(size bench_baseline_tray.exe) launcher_size=$(size bench_baseline_launcher.exe)
floor_tray_size=$(size bench_floor_tray.exe) floor_launcher_size=$(size bench_floor_launcher.exe)
cpu_model=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
memory=$(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
system=$(. /etc/os-release 2>/dev/null && echo "${PRETTY_NAME:-}")

# The engine's start: the medians of each (ms), the median of the per-round ratios
# real/stand-in (the two start one right after the other, in turns either way round),
# their middle half and the number of rounds.
read -r engine_start_standin engine_start_real engine_start_ratio engine_start_q1 engine_start_q3 engine_start_rounds < <(
    awk '$1 == "ENGINE_START" { print $2, $3, $4, $5, $6, $7 }' "$waterfall_log")

report() {
    echo "| measure | ours | bare | ours/bare | floor | ours/floor | target |"
    echo "|---|---:|---:|---:|---:|---:|---|"
    start_row "Host start to tray icon and message loop, min (ms)" 2 host bare floor
    start_row "Host start to tray icon and message loop, median (ms)" 3 host bare floor
    echo "| Host start, median of the per-round ratios | — | — | $(or_dash "$(paired host 2)") | — | $(or_dash "$(paired host 3)") | ours/floor ≤ 1.05 |"
    start_row "Loader start to Host ready, min (ms)" 2 loader bare-ldr floor-ldr
    start_row "Loader start to Host ready, median (ms)" 3 loader bare-ldr floor-ldr
    echo "| Loader start, median of the per-round ratios | — | — | $(or_dash "$(paired loader 2)") | — | $(or_dash "$(paired loader 3)") | ours/floor ≤ 1.05 |"
    echo "| idle CPU time over ${idle_seconds} s (ms) | $host_cpu | $base_cpu | $(ratio "$host_cpu" "$base_cpu") | $floor_cpu | $(ratio "$host_cpu" "$floor_cpu") | — |"
    echo "| idle wake-ups over ${idle_seconds} s, all threads | $host_wake | $base_wake | $(ratio "$host_wake" "$base_wake") | $floor_wake | $(ratio "$host_wake" "$floor_wake") | — |"
    echo "| idle wake-ups over ${idle_seconds} s, main thread | $host_main | $base_main | $(ratio "$host_main" "$base_main") | $floor_main | $(ratio "$host_main" "$floor_main") | no more than the floor |"
    echo "| threads while idle | $host_threads | $base_threads | — | $floor_threads | — | — |"
    echo "| size: tessmark_quornel.exe / tray yardsticks (bytes) | $(or_dash "$host_size") | $tray_size | $(ratio "$host_size" "$tray_size") | $floor_tray_size | $(ratio "$host_size" "$floor_tray_size") | ≤ 65536 |"
    echo "| size: tessmark_quornel_loader.exe / launchers (bytes) | $(or_dash "$loader_size") | $launcher_size | $(ratio "$loader_size" "$launcher_size") | $floor_launcher_size | $(ratio "$loader_size" "$floor_launcher_size") | ≤ 65536 |"
    echo "| size: base.dll, the widget engine with its data (bytes) | $base_size | — | — | — | — | ≤ 262144 |"
    echo "| FormatGmtTime (operations/s) | $(or_dash "$(ops FormatGmtTime)") | — | — | — | — | — |"
    echo "| ParseUtcTime (operations/s) | $(or_dash "$(ops ParseUtcTime)") | — | — | — | — | — |"
    echo "| UtcToFixedZone (operations/s) | $(or_dash "$(ops UtcToFixedZone)") | — | — | — | — | — |"
    echo
    echo "Ratios (start-up target: ours/floor ≤ 1.05; ours/bare for comparison, no target):"
    ratios_line "Host start-up" host bare floor
    ratios_line "Loader start-up" loader bare-ldr floor-ldr
    echo "- Host idle wake-ups of its main thread beyond the floor's: $(beyond "$host_main" "$floor_main") (target 0: $(verdict "$(beyond "$host_main" "$floor_main")" 0)), beyond the bare's: $(beyond "$host_main" "$base_main")"
    echo "- sizes ≤ 64 KiB: tessmark_quornel.exe $(verdict "$host_size" 65536), tessmark_quornel_loader.exe $(verdict "$loader_size" 65536); base.dll ≤ 256 KiB: $(verdict "$base_size" 262144)"
    echo
    echo "The widget engine beside the stand-in engine of the Host's tests (the same Host):"
    echo
    echo "| measure | real engine | stand-in engine | real−stand-in | real/stand-in | target |"
    echo "|---|---:|---:|---:|---:|---|"
    echo "| the engine's start, icon seen to loop ready, median (ms) | $(or_dash "$engine_start_real") | $(or_dash "$engine_start_standin") | — | $(ratio "$engine_start_real" "$engine_start_standin") | — |"
    echo "| the engine's start, median of the ${engine_start_rounds:-} per-round ratios (middle half) | — | — | — | $(or_dash "$engine_start_ratio")${engine_start_q1:+ (${engine_start_q1}–${engine_start_q3})} | ≤ 1.5 |"
    echo "| idle CPU time over ${idle_seconds} s, today (ms) | $widget_cpu | $host_cpu | — | — | ~0 |"
    echo "| idle wake-ups (bursts) over ${idle_seconds} s, today, main thread | $widget_bursts | $host_bursts | — | — | 0 |"
    echo "| idle context switches over ${idle_seconds} s, today, main thread | $widget_main | $host_main | — | — | — |"
    echo "| idle wake-ups (bursts) over ${countdown_seconds} s counting minutes down, main thread | $count_bursts | — | — | — | ≤ $(( countdown_seconds / 60 + 1 )), one a minute |"
    echo "| idle context switches over ${countdown_seconds} s counting minutes down, main thread | $count_main | — | — | — | — |"
    echo "| idle CPU time over ${countdown_seconds} s counting minutes down (ms) | $count_cpu | — | — | — | ~0 |"
    echo "| threads while idle | $widget_threads | $host_threads | — | — | — |"
    echo "| private memory of the Host (kB) | $widget_mem | $host_mem | $(awk -v a="$widget_mem" -v b="$host_mem" 'BEGIN { if (a == "-" || b == "-") print "—"; else print a - b }') | — | ≤ +8192 |"
    echo "| size of base.dll (bytes) | $base_size | $standin_size | $(( base_size - standin_size )) | $(ratio "$base_size" "$standin_size") | ≤ 262144 |"
    echo
    echo "Waterfall: median of $waterfall_rounds starts of each, ms after just before process creation."
    echo "\"outside\": seen by the driver, which looks for one moment at a time about every millisecond;"
    echo "\"inside\": performance counter stamps of the stand-in engine (\`QUORNEL_BASE_STAMPS\`); the real engine has none."
    echo
    sed -n 's/^WATERFALL \{0,1\}//p' "$waterfall_log"
    echo
    cat "$build/benchmark-network.md" 2>/dev/null
    echo
    echo "Machine: ${MACHINE:-$(hostname)}: $(nproc) CPUs (${cpu_model:-unknown CPU}), $memory, ${system:-unknown system}, Linux $(uname -r), $("$WINE64" --version);" \
        "load average at the start $load_at_start, at the end $(cut -d ' ' -f 1-3 /proc/loadavg)."
    echo "Build: Release, stripped (\`quornel_product\`); $rounds start-up rounds of each program, in turn with its"
    echo "yardsticks, after one unmeasured start of each."
}

echo >&2
report | tee "$build/benchmark.md"
[ "$startup_ok" -eq 0 ] && [ "$waterfall_ok" -eq 0 ] && [ "$network_ok" -eq 0 ] && [ "$host_cpu" != "-" ] &&
    [ "$base_cpu" != "-" ] && [ "$floor_cpu" != "-" ]
