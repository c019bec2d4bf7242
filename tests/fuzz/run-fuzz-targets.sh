#!/usr/bin/env bash
# Runs every libFuzzer program of a fuzz build for a bounded time, starting from the seed
# corpus and the regression inputs in the tree, and prints per target the executions per
# second and the inputs kept. New corpus entries go into a temporary folder, never the tree;
# a crashing or hanging input is copied to <build>/fuzz-artifacts/<target>/ and fails the run.
# KEST_FUZZ_JOBS targets run at once (1 by default), each for its whole time.
#   run-fuzz-targets.sh BUILD_DIR [SECONDS_PER_TARGET]
set -euo pipefail
BUILD_DIR=$(cd "$1" && pwd)
SECONDS_PER_TARGET=${2:-60}
SOURCE_DIR=$(cd "$(dirname "$0")" && pwd)

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# Sanitizer findings end the run; leaks are reported too.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"

stat_of() { # stat name, log file
    sed -n "s/^stat::$1: *//p" "$2" | tail -1
}

JOBS=${KEST_FUZZ_JOBS:-1}

# Runs one target; its report lines go to $WORK/<name>/report, and a failure leaves
# $WORK/<name>/failed.
fuzz_one() { # program
    local program=$1 name seeds regressions inputs kept artifacts log
    name=${program##*/fuzz_}
    seeds=$SOURCE_DIR/corpus/$name
    regressions=$SOURCE_DIR/regressions/$name
    inputs=("$seeds")
    [ -d "$regressions" ] && inputs+=("$regressions")
    kept=$WORK/$name/corpus
    artifacts=$WORK/$name/artifacts
    log=$WORK/$name/log
    mkdir -p "$kept" "$artifacts"
    # The first folder receives new inputs; the tree's folders are only read.
    if ! (cd "$WORK/$name" && "$program" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 \
            -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" \
            "$kept" "${inputs[@]}") >"$log" 2>&1; then
        touch "$WORK/$name/failed"
        {
            echo "fuzz $name: FAILED"
            tail -n 60 "$log"
            mkdir -p "$BUILD_DIR/fuzz-artifacts/$name"
            cp -f "$artifacts"/* "$BUILD_DIR/fuzz-artifacts/$name/" 2>/dev/null || true
            echo "fuzz $name: inputs kept in $BUILD_DIR/fuzz-artifacts/$name/"
        } >"$WORK/$name/report" 2>&1
        return
    fi
    local seedCount
    seedCount=$(find "${inputs[@]}" -type f | wc -l)
    printf 'fuzz %-20s %8s exec/s  %9s runs  %3d seeds  +%s inputs kept (%s new units)\n' \
        "$name" "$(stat_of average_exec_per_sec "$log")" "$(stat_of number_of_executed_units "$log")" \
        "$seedCount" "$(find "$kept" -type f | wc -l)" "$(stat_of new_units_added "$log")" \
        >"$WORK/$name/report"
}

shopt -s nullglob
programs=("$BUILD_DIR"/fuzz/fuzz_*)
[ ${#programs[@]} -gt 0 ] || { echo "fuzz: no fuzz programs in $BUILD_DIR/fuzz" >&2; exit 1; }
running=0
for program in "${programs[@]}"; do
    if [ "$running" -ge "$JOBS" ]; then
        wait -n
        running=$((running - 1))
    fi
    fuzz_one "$program" &
    running=$((running + 1))
done
wait

# The reports in the programs' order, whatever order they finished in.
failed=0
for program in "${programs[@]}"; do
    name=${program##*/fuzz_}
    if [ -f "$WORK/$name/failed" ]; then
        failed=1
        cat "$WORK/$name/report" >&2
    else
        cat "$WORK/$name/report"
    fi
done
exit $failed
