#!/bin/sh
# Runs every fuzz target of a fuzz build for a while:
#   tools/run-fuzzers.sh BUILD_DIR [SECONDS]   (SECONDS per target, default 60)
# Inputs that reach new code are kept in BUILD_DIR/fuzz/corpus/<target>, so a
# later run goes on from there. A crash, sanitizer report or finding leaves its
# input in BUILD_DIR/fuzz/findings/ and makes the script fail.
set -u
build=$1
seconds=${2:-60}
fuzz=$build/fuzz
status=0
for target in filing day_load user_file cp932; do
    case $target in
        day_load) max_len=65536 ;;
        cp932) max_len=4096 ;;
        *) max_len=16384 ;;
    esac
    corpus=$fuzz/corpus/$target
    mkdir -p "$corpus" "$fuzz/findings"
    log=$fuzz/$target.log
    "$fuzz/fuzz_$target" "$corpus" "$fuzz/seeds/$target" -max_total_time="$seconds" \
        -max_len=$max_len -timeout=20 -print_final_stats=1 \
        -artifact_prefix="$fuzz/findings/$target-" >"$log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    inputs=$(ls "$corpus" | wc -l)
    if [ $rc -eq 0 ]; then
        echo "fuzz_$target: ${runs:-?} runs in ${seconds} s, corpus of $inputs inputs, no findings"
    else
        status=1
        echo "fuzz_$target: FINDING after ${runs:-?} runs (exit $rc); input in $fuzz/findings/, log $log"
        grep -E "FINDING|ERROR|SUMMARY|runtime error" "$log" | head -n 5
    fi
done
exit $status
