#!/bin/bash
# Paints, scrolls, jumps and hit-tests the base grid at 1,000 rows, 1,000,000 rows and 1,000,000
# rows of 3,000 pixels, side by side with a minimal owner-drawn list, and prints medians and ratios.
# Builds its own -O2 tree (first run: several minutes) in ${QAL_BENCH_BUILD:-build-bench}.
set -e
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${QAL_BENCH_BUILD:-$root/build-bench}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Bench \
    -DCMAKE_CXX_FLAGS_BENCH=-O2 -DCMAKE_C_FLAGS_BENCH=-O2 -DQAL_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "${QAL_BENCH_JOBS:-4}" --target grid_rows_bench
"$root/tools/wine-run.sh" "$build/bin/grid_rows_bench.exe" "$@"
