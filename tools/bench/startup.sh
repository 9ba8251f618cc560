#!/bin/bash
# Start-up of Qal.exe, from starting it to its main form shown, its start-up done (the main button
# enabled) and the program idle, against a minimal Win32 program that shows one window: ten runs
# each (QAL_BENCH_RUNS), taken in turn with one Wine prefix and its persistent wineserver. Prints
# the medians and their ratio; the goal is at most 1.5 times the minimal program.
# For reference it also starts a plain Win32 program that does the least the wizard's start-up is
# asked for (StartupFloor.cpp: the same libraries and manifest, the form's windows, the start-up
# checks), which shows what that work alone costs under Wine.
# Builds its own -O2 tree (first run: several minutes) in ${QAL_BENCH_BUILD:-build-bench}.
set -e
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${QAL_BENCH_BUILD:-$root/build-bench}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Bench \
    -DCMAKE_CXX_FLAGS_BENCH=-O2 -DCMAKE_C_FLAGS_BENCH=-O2 -DQAL_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "${QAL_BENCH_JOBS:-4}" --target Qal minimal_window startup_floor startup_bench
winpath() { echo "Z:${1//\//\\}"; }
runs=${QAL_BENCH_RUNS:-10}
out=$(LANG=C.UTF-8 "$root/tools/wine-run.sh" "$build/bin/startup_bench.exe" "$runs" \
  "$(winpath "$build/installer/Qal.exe")" "TfrmQalMain > TButton:Güncelle" \
  "$(winpath "$build/bin/minimal_window.exe")" "QalMinimalWindow" \
  "$(winpath "$build/bin/startup_floor.exe")" "QalStartupFloor" | tr -d '\r')
qal=$(echo "$out" | sed -n 1p)
minimal=$(echo "$out" | sed -n 2p)
floor=$(echo "$out" | sed -n 3p)
echo "start-up to the main form shown and idle, median of $runs runs (each run in ms):"
echo "  Qal.exe         ${qal%% *} ms   (${qal#* })"
echo "  minimal Win32   ${minimal%% *} ms   (${minimal#* })"
echo "  floor Win32     ${floor%% *} ms   (${floor#* })"
awk -v a="${qal%% *}" -v b="${minimal%% *}" 'BEGIN{printf "  ratio Qal/minimal %.2f (goal <= 1.5)\n", a/b}'
awk -v a="${floor%% *}" -v b="${minimal%% *}" -v q="${qal%% *}" \
  'BEGIN{printf "  ratio floor/minimal %.2f, Qal/floor %.2f\n", a/b, q/a}'
