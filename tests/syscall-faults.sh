#!/usr/bin/env bash
# Fails qvtool's own system calls, one at a time, while it updates a virtual device kept in a
# state file with a traffic log, reads the flash into a dump and writes an image: strace's fault
# injection reaches every call, those the C library and the iostreams make included. Each run
# must end either with a non-zero status and a message, or with status 0 and every file whole;
# a file that existed before is never lost or left half-written, and no temporary file is left.
#   tests/syscall-faults.sh QVTOOL [POSITIONS]
# POSITIONS: how many call positions per system call and run kind (default 16: the first three,
# the last two and a seeded spread between). Prints one line per failed check and a summary;
# exits 1 when any run was a false success or damaged a file.
set -euo pipefail

qvtool=$(realpath "$1")
positions=${2:-16}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The calls and the errors they get, in turn.
declare -A errors=(
    [openat]="ENOSPC EACCES EMFILE"
    [read]="EIO EINTR"
    [write]="ENOSPC EIO"
    [rename]="EACCES EIO"
    [renameat2]="EACCES EIO"
    [fsync]="EIO ENOSPC"
    [ftruncate]="EIO"
    [flock]="ENOLCK EINTR"
)

head -c 32768 /dev/urandom >fw.bin
sim=(--simulate --sim-virtual-time)
# Each run kind: its arguments, and the files it writes (compared with a clean run's).
declare -A run_args=(
    [update]="--sim-state state.qv --io-log run.log update --yes --file fw.bin"
    [flash-read]="--sim-state state.qv flash read dump.txt --kib 64"
    [image-out]="image fw.bin --out out.bin"
)
declare -A run_files=(
    [update]="state.qv run.log"
    [flash-read]="state.qv dump.txt"
    [image-out]="out.bin"
)

# The files each run starts from: a device kept in a state file, an earlier log and dump.
prepare() {
    rm -rf start && mkdir start
    (cd start && "$qvtool" "${sim[@]}" --sim-state state.qv --io-log run.log status >/dev/null)
    echo "an earlier dump" >start/dump.txt
    echo "an earlier image" >start/out.bin
}

# Runs one kind in a fresh copy of the start files under `strace` with `inject` (none: a clean
# run), leaving the files in run/ and the status in $status.
run() {
    local kind=$1 inject=$2
    rm -rf run && cp -a start run
    local -a args
    read -ra args <<<"${run_args[$kind]}"
    cp fw.bin run/
    set +e
    (cd run && if [ "$inject" = none ]; then
        "$qvtool" "${sim[@]}" "${args[@]}"
    else
        strace -f -qq -o ../trace -e "trace=${inject%%:*}" -e "inject=$inject" \
            "$qvtool" "${sim[@]}" "${args[@]}"
    fi >stdout 2>stderr)
    status=$?
    set -e
}

# How many times a clean run of `kind` makes `call`.
count_calls() {
    local kind=$1 call=$2
    local -a args
    read -ra args <<<"${run_args[$kind]}"
    rm -rf run && cp -a start run && cp fw.bin run/
    (cd run && strace -f -qq -o ../calls -e "trace=$call" "$qvtool" "${sim[@]}" "${args[@]}" \
        >/dev/null 2>&1) || true
    grep -c "^[0-9]* *$call(" calls || true
}

# Up to $positions of 1..n: the first three, the last two, and a seeded spread between.
spread() {
    local n=$1
    if [ "$n" -le "$positions" ]; then
        seq 1 "$n"
        return
    fi
    { seq 1 3; seq $((n - 1)) "$n"; RANDOM=$n; for ((i = 3; i < positions; i++)); do
        echo $((4 + RANDOM % (n - 5)))
    done; } | sort -nu
}

# Whether run/$1 is whole: as before the run, as a clean run leaves it, or (a state file after a
# failed run) a state that qvtool takes.
whole() {
    local file=$1
    cmp -s "run/$file" "start/$file" || cmp -s "run/$file" "clean-$kind/$file" && return 0
    [ "$file" = state.qv ] && [ "$status" -ne 0 ] &&
        (cd run && "$qvtool" --simulate --sim-virtual-time --sim-state state.qv status >/dev/null 2>&1)
}

runs=0 injected=0 succeeded=0 false_successes=0 damaged=0 silent=0
report() { echo "  $1: $kind, $call=$error when=$when (status $status)"; }

prepare
for kind in "${!run_args[@]}"; do
    run "$kind" none
    [ "$status" -eq 0 ] || { echo "a clean $kind run failed: $(cat run/stderr)"; exit 1; }
    rm -rf "clean-$kind" && cp -a run "clean-$kind"
    for call in "${!errors[@]}"; do
        n=$(count_calls "$kind" "$call")
        echo "$kind: $n $call calls; failed at $(spread "$n" | tr '\n' ' ')"
        for when in $(spread "$n"); do
            for error in ${errors[$call]}; do
                run "$kind" "$call:error=$error:when=$when"
                runs=$((runs + 1))
                [ "$status" -ne 0 ] || succeeded=$((succeeded + 1))
                if grep -q INJECTED trace; then injected=$((injected + 1)); fi
                bad=""
                for file in ${run_files[$kind]}; do
                    if [ "$status" -eq 0 ]; then
                        cmp -s "run/$file" "clean-$kind/$file" || bad="$file not whole after success"
                    elif [ "$file" = run.log ]; then
                        # A log is appended to: what it held before stays, in front.
                        size=$(stat -c %s "start/$file")
                        cmp -s -n "$size" "run/$file" "start/$file" || bad="$file lost its earlier lines"
                    else
                        whole "$file" || bad="$file half-written"
                    fi
                done
                if ls run/*.part >/dev/null 2>&1; then bad="a temporary file was left"; fi
                if [ "$status" -eq 0 ] && ! cmp -s run/stdout "clean-$kind/stdout"; then
                    bad="the output was cut short"
                fi
                if [ -n "$bad" ]; then
                    report "$bad"
                    if [ "$status" -eq 0 ]; then
                        false_successes=$((false_successes + 1))
                    else
                        damaged=$((damaged + 1))
                    fi
                elif [ "$status" -ne 0 ] && ! [ -s run/stderr ]; then
                    report "failed without a message"
                    silent=$((silent + 1))
                fi
            done
        done
    done
done

echo "syscall faults: $runs runs, $injected failures injected, $succeeded succeeded all the same," \
     "false successes = $false_successes," \
     "damaged files = $damaged, failures without a message = $silent"
[ "$false_successes" -eq 0 ] && [ "$damaged" -eq 0 ] && [ "$silent" -eq 0 ]
