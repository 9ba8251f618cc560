#!/bin/bash
# Installs what is missing, builds everything and runs every test through CTest under Wine.
set -e
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QAL_BUILD:-$root/build}
"$root/tools/install-deps.sh"
QAL_BUILD=$build "$root/tools/build.sh"
cd "$build"
ctest -j "${QAL_JOBS:-$(nproc)}" --timeout 600 --output-on-failure "$@"
