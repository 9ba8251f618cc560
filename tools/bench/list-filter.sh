#!/bin/bash
# Filters the list box one keystroke at a time over 10,000 and 100,000 Turkish names, beside a
# plain loop that upper-cases every item per keystroke, and prints medians and the ratio.
# Builds its own -O2 tree (first run: several minutes) in ${QAL_BENCH_BUILD:-build-bench}.
set -e
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${QAL_BENCH_BUILD:-$root/build-bench}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Bench \
    -DCMAKE_CXX_FLAGS_BENCH=-O2 -DCMAKE_C_FLAGS_BENCH=-O2 -DQAL_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "${QAL_BENCH_JOBS:-4}" --target list_filter_bench
"$root/tools/wine-run.sh" "$build/bin/list_filter_bench.exe" "$@"
