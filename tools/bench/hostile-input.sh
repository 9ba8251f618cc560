#!/bin/bash
# Builds the hostile-input benchmark at -O2 in its own build folder and runs it under Wine.
set -e
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${QAL_BENCH_BUILD:-$root/build-bench}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Bench \
    -DCMAKE_CXX_FLAGS_BENCH=-O2 -DCMAKE_C_FLAGS_BENCH=-O2 -DQAL_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "${QAL_BENCH_JOBS:-4}" --target hostile_input_bench
exec "$root/tools/wine-run.sh" "$build/tools/bench/hostile_input_bench.exe"
