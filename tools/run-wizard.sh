#!/bin/bash
# Installs what is missing, builds, and starts Qal.exe under Wine: on $DISPLAY, or under Xvfb.
set -e
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QAL_BUILD:-$root/build}
"$root/tools/install-deps.sh"
QAL_BUILD=$build "$root/tools/build.sh" --target Qal
# The server search probes the local address's /24: on this machine, loopback only.
export QAL_LOCAL_ADDRESS=127.0.0.1
QAL_SCREEN=1 QAL_BUILD_DIR=$build exec "$root/tools/wine-run.sh" "$build/installer/Qal.exe" "$@"
