#!/usr/bin/env bash
# Builds the native fuzz targets of fuzz/targets.txt (clang, libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer) and runs each, then prints a line per
# target: executions, coverage (libFuzzer's cov and ft), crashes.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]  each target (default: all) SECONDS (default 60)
#   scripts/fuzz.sh --build                only build
#   scripts/fuzz.sh --smoke TARGET         the test command's check: the seeds, then a
#                                          fixed number of inputs from a fixed seed
#
# FUZZ_BUILD_DIR picks the build folder (default build-fuzz/). The seeds in fuzz/corpus/
# are only read; what a run finds goes to FUZZ_BUILD_DIR/corpus/TARGET/, a crash's
# input to FUZZ_BUILD_DIR/artifacts/TARGET/. Reproduce one with
# FUZZ_BUILD_DIR/TARGET FILE. An input taking over a second, a leak or any sanitizer
# report counts as a crash. Exit status: 0 when no target crashed.
set -uo pipefail
. "$(dirname "$0")/wine-env.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${FUZZ_BUILD_DIR:-$root/build-fuzz}
# A smoke run's inputs past the seeds; a few seconds per target on this machine.
smoke_runs=20000

targets() {
    grep -E '^[a-z]' "$root/fuzz/targets.txt" | awk '{ print $1 }'
}

build() {
    ensure_fuzz_packages || return 1
    local cxx
    cxx=$(command -v clang++-14 || command -v clang++) || { echo "no clang++ found" >&2; return 1; }
    mkdir -p "$dir"
    (
        flock 9 # the smoke checks of one test run share a build
        # Configured once; the build configures again when fuzz/ changes.
        { [ -f "$dir/CMakeCache.txt" ] || cmake -S "$root/fuzz" -B "$dir" -DCMAKE_CXX_COMPILER="$cxx" >/dev/null; } &&
            cmake --build "$dir" -j"$(nproc)" >"$dir/build.log" 2>&1 ||
            { cat "$dir/build.log" >&2; exit 1; }
        # The targets are only as good as the stand-ins the parsers run on.
        "$dir/standin_check" >/dev/null
    ) 9>"$dir/.build-lock"
}

# Runs target $1 with libFuzzer's options $2... and prints its line. New inputs go to
# FUZZ_WORK when set.
run_target() {
    local name=$1
    shift
    local bin=$dir/$name work=${FUZZ_WORK:-$dir/corpus/$name} artifacts=$dir/artifacts/$name log=$dir/logs/$name.log
    [ -x "$bin" ] || { echo "$name: not built (is it in fuzz/targets.txt?)" >&2; return 1; }
    mkdir -p "$work" "$artifacts" "$dir/logs"
    local started
    started=$(mktemp)
    "$bin" "$@" -dict="$root/fuzz/$name.dict" -artifact_prefix="$artifacts/" -print_final_stats=1 \
        "$work" "$root/fuzz/corpus/$name" >"$log" 2>&1
    local status=$?
    local found
    found=$(find "$artifacts" -type f -newer "$started" | sort)
    rm -f "$started"
    local executions status_line cov ft corpus crashes
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    status_line=$(grep -E '^#[0-9]+.* cov: ' "$log" | tail -n 1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$status_line")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$status_line")
    corpus=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$status_line")
    crashes=$(grep -c . <<<"$found")
    printf '%-18s executions %10s  cov %5s  ft %6s  corpus %5s  crashes %s\n' \
        "$name" "${executions:-?}" "${cov:-?}" "${ft:-?}" "${corpus:-?}" "$crashes"
    if [ "$crashes" -gt 0 ]; then
        while read -r file; do
            echo "  $file (reproduce: $bin $file)"
        done <<<"$found"
    fi
    if [ "$status" -ne 0 ] || [ "$crashes" -gt 0 ]; then
        echo "  $name failed (exit status $status), its log: $log"
        grep -E 'ERROR|SUMMARY|broken:|runtime error' "$log" | head -n 5 | sed 's/^/  /'
        return 1
    fi
}

case "${1:-}" in
--build)
    build
    exit
    ;;
--smoke)
    name=${2:?--smoke needs a target}
    build || exit 1
    # A fresh folder for what it finds, so every smoke run starts from the seeds
    # alone and runs about as long; a hang still fails it (10 s for one input), a
    # busy machine's pause does not.
    FUZZ_WORK=$(mktemp -d)
    trap 'rm -rf "$FUZZ_WORK"' EXIT
    FUZZ_WORK=$FUZZ_WORK run_target "$name" -runs="$smoke_runs" -seed=1 -timeout=10 -detect_leaks=1
    exit
    ;;
esac

seconds=60
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
    seconds=$1
    shift
fi
build || exit 1
chosen=("$@")
[ ${#chosen[@]} -eq 0 ] && mapfile -t chosen < <(targets)
failed=0
for name in "${chosen[@]}"; do
    run_target "$name" -max_total_time="$seconds" -timeout=1 -detect_leaks=1 || failed=1
done
exit $failed
