#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs each over a copy of its seed
# corpus in fuzz/corpus/<target>/:
#
#   fuzz/run.sh time SECONDS [TARGET...]   each target for SECONDS
#   fuzz/run.sh runs INPUTS [TARGET...]    each target until it has run INPUTS inputs
#
# Targets: hex_loader bin_loader parameter_table carriers hostile_device traffic_log sim_state
# typed_text (all by default).
# New inputs go to a folder made for this run (mktemp -d) and removed at the end; the seeds stay
# as they are. Prints inputs, seconds and inputs per second for each target, and the total time.
# Environment: QV_FUZZ_BUILD_DIR (default build-fuzz in the source tree); QV_FUZZ_JOBS, the
# targets run at once (default: one per core).
# Exit status: 0 when no target found anything; a crash, sanitizer report, leak or broken
# invariant leaves its input under $QV_FUZZ_BUILD_DIR/fuzz-artifacts/<target>/ and fails the run.
set -euo pipefail

usage() { echo "usage: fuzz/run.sh time SECONDS|runs INPUTS [TARGET...]" >&2; exit 2; }
[ $# -ge 2 ] || usage
mode="$1" amount="$2"
shift 2
case "$mode" in
    time) limit=(-max_total_time="$amount") ;;
    runs) limit=(-runs="$amount") ;;
    *) usage ;;
esac
[[ "$amount" =~ ^[0-9]+$ ]] && [ "$amount" -gt 0 ] || usage

all=(hex_loader bin_loader parameter_table carriers hostile_device traffic_log sim_state typed_text usbip)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QV_FUZZ_BUILD_DIR:-$root/build-fuzz}"
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

cmake -S "$root" -B "$build" "${generator[@]}" "${launcher[@]}" \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQV_FUZZ=ON -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/#/fuzz_}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# fuzz_one TARGET: one target's run; its row of the table and its exit status go to files.
fuzz_one() {
    local target=$1 begin=$SECONDS result=0
    mkdir -p "$work/$target" "$work/artifacts-$target"
    # Slow inputs (a dead device polled to the end of a wait) get less of the time than fast ones.
    "$build/bin/fuzz_$target" "${limit[@]}" \
        -timeout=20 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
        -entropic_scale_per_exec_time=1 \
        -artifact_prefix="$work/artifacts-$target/" \
        "$work/$target" "$root/fuzz/corpus/$target" >"$work/$target.log" 2>&1 || result=$?
    local inputs rate
    inputs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target.log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/$target.log")
    printf '%-16s %12s %8s %10s\n' "$target" "${inputs:-?}" "$((SECONDS - begin))" "${rate:-?}" \
        >"$work/$target.row"
    echo "$result" >"$work/$target.status"
}

# Each target runs on one core: as many at once as there are cores (QV_FUZZ_JOBS to change).
jobs=${QV_FUZZ_JOBS:-$(nproc)}
started=$SECONDS
running=0
for target in "${targets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n
        running=$((running - 1))
    fi
    fuzz_one "$target" &
    running=$((running + 1))
done
wait

status=0
printf '%-16s %12s %8s %10s\n' target inputs seconds inputs/s
for target in "${targets[@]}"; do
    cat "$work/$target.row"
    if [ "$(cat "$work/$target.status")" -ne 0 ]; then
        status=1
        mkdir -p "$build/fuzz-artifacts/$target"
        cp -r "$work/artifacts-$target/." "$build/fuzz-artifacts/$target/"
        cp "$work/$target.log" "$build/fuzz-artifacts/$target/"
        echo "FINDING in $target: input and log in $build/fuzz-artifacts/$target/" >&2
        tail -n 30 "$work/$target.log" >&2
    fi
done
echo "fuzzing took $((SECONDS - started)) s for ${#targets[@]} targets"
exit $status
