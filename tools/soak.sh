#!/usr/bin/env bash
# The full crash-safety soak of the combination store:
#   tools/soak.sh [KILLS] [more trinode_soak options...]
# Builds trinode_soak in a build folder of its own (TRINODE_BUILD, default
# build-soak) and runs it with KILLS killed assignments (default 500).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TRINODE_BUILD:-$root/build-soak}
kills=${1:-500}
shift || true
if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target trinode_soak -j2
exec nice -n 10 "$build/tools/soak/trinode_soak" --kills "$kills" "$@"
