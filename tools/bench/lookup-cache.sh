#!/bin/bash
# The axis grid's lookup cache: 100,000 random keys over lookup tables of 1,000, 100,000 and
# 1,000,000 rows against a sorted std::vector searched by std::lower_bound, the cache's fill against
# a First/Next read of the same fields, and the cache-off Lookup, in one run. The rows sit in the
# framework's test dataset until the in-memory table exists.
#   lookup-cache.sh [largest rows] [keys]
# Builds its own -O2 tree (first run: several minutes) in ${QAL_BENCH_BUILD:-build-bench}.
set -e
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${QAL_BENCH_BUILD:-$root/build-bench}
if [ ! -f "$build/CMakeCache.txt" ]; then
  launcher=()
  if [ -n "$QAL_CCACHE" ] && command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$root" -B "$build" "${launcher[@]}" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Bench \
    -DCMAKE_CXX_FLAGS_BENCH=-O2 -DCMAKE_C_FLAGS_BENCH=-O2 -DQAL_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "${QAL_BENCH_JOBS:-4}" --target lookup_bench
"$root/tools/wine-run.sh" "$build/bin/lookup_bench.exe" "$@"
