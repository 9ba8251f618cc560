#!/bin/bash
# The bookmark list's search and the tree list's walks at 1k, 10k and 100k entries: time per
# operation. Builds its own -O2 tree (first run: several minutes) in ${QAL_BENCH_BUILD:-build-bench}.
set -e
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${QAL_BENCH_BUILD:-$root/build-bench}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Bench \
    -DCMAKE_CXX_FLAGS_BENCH=-O2 -DCMAKE_C_FLAGS_BENCH=-O2 -DQAL_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "${QAL_BENCH_JOBS:-4}" --target datautils_bench
"$root/tools/wine-run.sh" "$build/bin/datautils_bench.exe" "$@"
