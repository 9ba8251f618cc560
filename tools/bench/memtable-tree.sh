#!/bin/bash
# The records view in tree mode at 10,000 and 1,000,000 records in one run: the tree's build, and
# adds, parent changes, filter changes, deletes and collapses one at a time with the rows read
# after each; microseconds per change at both sizes and their ratio.
#   memtable-tree.sh [small] [large]
# The -O2 bench tree is ${QAL_BENCH_BUILD:-build-bench} (configured here when missing; QAL_CCACHE=1
# compiles it through ccache); QAL_BENCH_JOBS caps the jobs (default 4).
set -e
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${QAL_BENCH_BUILD:-$root/build-bench}
if [ ! -f "$build/CMakeCache.txt" ]; then
  launcher=()
  if [ -n "$QAL_CCACHE" ] && command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$root" -B "$build" -G Ninja "${launcher[@]}" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Bench \
    -DCMAKE_CXX_FLAGS_BENCH=-O2 -DCMAKE_C_FLAGS_BENCH=-O2 -DQAL_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "${QAL_BENCH_JOBS:-4}" --target memtable_tree_bench
QAL_LOCALE=tr_TR "$root/tools/wine-run.sh" "$build/bin/memtable_tree_bench.exe" "$@"
