#!/bin/bash
# Installs what is missing, builds everything and runs every test through CTest under Wine.
set -e
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QAL_BUILD:-$root/build}
"$root/tools/install-deps.sh"
QAL_BUILD=$build "$root/tools/build.sh"
cd "$build"
# The tests' prefixes keep their wineservers up between programs (tools/wine-run.sh): once the
# run ends, those servers and what still runs under them are stopped, whatever the outcome.
stop_test_wineservers() {
  local prefix
  for prefix in "$build"/wine-*/; do
    [ -f "$prefix/system.reg" ] || continue
    case $prefix in "$build"/wine-demo/) continue ;; esac
    WINEPREFIX=${prefix%/} wineserver -k >/dev/null 2>&1 || true
  done
}
trap stop_test_wineservers EXIT
# The tests mostly wait on Wine: more jobs than cores keep the cores busy (on two cores 8 jobs
# took 712 s where 2 took 858 s, on a shared machine); at most 16, which bounds the Wine prefixes.
# QAL_JOBS (or -j on the command line) overrides.
jobs=$(( $(nproc) * 4 ))
[ "$jobs" -gt 16 ] && jobs=16
ctest -j "${QAL_JOBS:-$jobs}" --timeout 600 --output-on-failure "$@"
