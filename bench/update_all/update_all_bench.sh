#!/bin/sh
# Eight virtual K2 DACs updated by one `qvtool update --all` against the same eight updated one
# after another by `qvtool update`, each device in real time with the given time per transfer.
# Prints wall time, CPU time (user + system) and peak memory of each way, and the ratio.
#
# Usage, from the build directory: ../bench/update_all/update_all_bench.sh [LATENCY_US] [RUNS]
set -eu

bin=./bin
firmware=$bin/Tesmora_K2DAC_v11.hex
# One firmware file serves one kind of product: update --all refuses it for a mix.
products="Tesmora K2 DAC|Tesmora K2 DAC|Tesmora K2 DAC|Tesmora K2 DAC|Tesmora K2 DAC|Tesmora K2 DAC|Tesmora K2 DAC|Tesmora K2 DAC"

[ -x "$bin/qvtool" ] || { echo "run from the build directory (bin/qvtool missing)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "needs GNU time (/usr/bin/time, Debian package time)" >&2; exit 2; }

together() {
    set --
    old_ifs=$IFS; IFS='|'
    for p in $products; do set -- "$@" "--simulate=$p"; done
    IFS=$old_ifs
    "$bin/qvtool" "$@" --sim-latency="$latency" update --all --yes --file "$firmware" --json \
        > "$work/together.json"
    grep -q '"ok":true' "$work/together.json"
}

one_after_another() {
    old_ifs=$IFS; IFS='|'
    for p in $products; do
        IFS=$old_ifs
        "$bin/qvtool" --simulate="$p" --sim-latency="$latency" update --yes --file "$firmware" \
            --json > "$work/one.json"
        grep -q '"ok":true' "$work/one.json"
    done
}

# The timed part, run by the script itself under GNU time: --run WAY LATENCY WORK
if [ "${1:-}" = --run ]; then
    latency=$3 work=$4
    $2
    exit
fi

latency=${1:-1000}
runs=${2:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# measure WAY: one line "wall user system maxrss_kib" per run, appended to $work/WAY
measure() {
    /usr/bin/time -a -o "$work/$1" -f "%e %U %S %M" "$0" --run "$1" "$latency" "$work"
}

i=0
while [ "$i" -lt "$runs" ]; do
    measure together
    measure one_after_another
    i=$((i + 1))
done

# Medians of wall and CPU time, maximum of peak memory.
summary() {
    sort -n -k1 "$work/$1" | awk -v n="$runs" '
        { wall[NR] = $1; cpu[NR] = $2 + $3; if ($4 > rss) rss = $4 }
        END { printf "%.2f %.2f %d\n", wall[int((n + 1) / 2)], cpu[int((n + 1) / 2)], rss }'
}
set -- $(summary together)
tw=$1 tc=$2 tm=$3
set -- $(summary one_after_another)
sw=$1 sc=$2 sm=$3

echo "| Way | Runs | Wall (s, median) | CPU user+sys (s) | Peak memory (MiB) |"
echo "|---|---:|---:|---:|---:|"
awk -v r="$runs" -v w="$tw" -v c="$tc" -v m="$tm" \
    'BEGIN { printf "| update --all, 8 devices | %d | %.2f | %.2f | %.1f |\n", r, w, c, m / 1024 }'
awk -v r="$runs" -v w="$sw" -v c="$sc" -v m="$sm" \
    'BEGIN { printf "| 8 x update, one after another | %d | %.2f | %.2f | %.1f |\n", r, w, c, m / 1024 }'
awk -v a="$sw" -v b="$tw" 'BEGIN { printf "\nTogether %.1fx as fast (wall time).\n", a / b }'
