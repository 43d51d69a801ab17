#!/usr/bin/env bash
# Fuzzes the combination store for MINUTES minutes with one worker (the
# machine is shared): builds the libFuzzer target with clang, runs it on a
# working corpus seeded from tests/fuzz/corpus, and prints executions,
# coverage and findings. A finding is left as crash-*/leak-*/timeout-* in the
# artifacts folder; copy it into tests/fuzz/corpus once the store is fixed.
#
#   tools/fuzz.sh MINUTES
# Environment: TRINODE_FUZZ_BUILD (build folder, default build-fuzz).
set -euo pipefail

minutes=${1:-}
if [[ ! $minutes =~ ^[0-9]+$ || $minutes -eq 0 ]]; then
    echo "usage: $0 MINUTES" >&2
    exit 2
fi

root=$(cd "$(dirname "$0")/.." && pwd)
build=${TRINODE_FUZZ_BUILD:-$root/build-fuzz}

cmake -S "$root/tests/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target trinode_store_fuzz -j2

corpus=$build/corpus
artifacts=$build/artifacts
log=$build/fuzz.log
mkdir -p "$corpus" "$artifacts"

# Every save writes and syncs two megabytes: keep the fuzzer's files in memory
# where the machine allows it.
if [[ -d /dev/shm && -w /dev/shm ]]; then
    export TMPDIR=/dev/shm
fi

cd "$build"
status=0
nice -n 10 "$build/trinode_store_fuzz" \
    -max_total_time=$((minutes * 60)) -jobs=1 -workers=1 -timeout=60 -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$corpus" "$root/tests/fuzz/corpus" >"$log" 2>&1 || status=$?
# With -jobs the fuzzer's own output goes to fuzz-0.log in the current folder.
if [[ -f fuzz-0.log ]]; then
    cat fuzz-0.log >>"$log"
    rm -f fuzz-0.log
fi

echo "== store fuzzing, $minutes min, log: $log"
grep -E '^#[0-9]+' "$log" | tail -n 1 || true
grep -E '^stat::' "$log" | awk '!seen[$0]++' || true
findings=$(find "$artifacts" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
    -o -name 'oom-*' \) | sort)
if [[ -z $findings ]]; then
    echo "findings: 0"
else
    echo "findings: $(wc -l <<<"$findings")"
    echo "$findings"
    grep -E 'store fuzz:|ERROR: (AddressSanitizer|libFuzzer)|runtime error' "$log" | head -n 20 || true
fi
exit "$status"
