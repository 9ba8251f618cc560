#!/bin/bash
# Installs what is missing, builds everything and runs every test through CTest under Wine.
set -e
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QAL_BUILD:-$root/build}
"$root/tools/install-deps.sh"
QAL_BUILD=$build "$root/tools/build.sh"
cd "$build"
# The tests mostly wait on Wine: four jobs a core keep the cores busy (on two cores 8 jobs took
# 712 s where 2 took 858 s, the machine loaded alike); at most 24, which bounds the Wine prefixes.
# QAL_JOBS (or -j on the command line) overrides.
jobs=$(( $(nproc) * 4 ))
[ "$jobs" -gt 24 ] && jobs=24
ctest -j "${QAL_JOBS:-$jobs}" --timeout 600 --output-on-failure "$@"
