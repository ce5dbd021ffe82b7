#!/usr/bin/env bash
# Builds the libFuzzer target for the image loaders with clang (-fsanitize=fuzzer,address)
# and runs it for a bounded time over a copy of the seed corpus in fuzz/corpus/.
#
#   fuzz/run.sh [SECONDS]        (default 30)
#
# Environment: QV_FUZZ_BUILD_DIR (default build-fuzz in the source tree).
# Exit status: 0 when the run ends without a finding; a crash, leak or broken invariant leaves
# its input under $QV_FUZZ_BUILD_DIR/fuzz-artifacts/ and fails the script.
set -euo pipefail

seconds="${1:-30}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QV_FUZZ_BUILD_DIR:-$root/build-fuzz}"

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi

cmake -S "$root" -B "$build" "${generator[@]}" \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQV_FUZZ=ON -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_image_loaders

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/fuzz-artifacts"

# New inputs go to the first (scratch) directory; the committed seeds stay unchanged.
"$build/bin/fuzz_image_loaders" \
    -max_total_time="$seconds" \
    -timeout=20 \
    -rss_limit_mb=2048 \
    -max_len=4096 \
    -print_final_stats=1 \
    -artifact_prefix="$build/fuzz-artifacts/" \
    "$work" "$root/fuzz/corpus"
