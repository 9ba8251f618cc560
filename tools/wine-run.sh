#!/bin/bash
# Runs a Windows program under Wine in the build tree's own prefix.
#   wine-run.sh PROGRAM.exe ARGS...            headless, Wine's null graphics driver
#   QAL_SCREEN=1 wine-run.sh PROGRAM.exe ...   a real screen: $DISPLAY, or a private Xvfb
# The prefix is created once (wineboot) and reused; its wineserver stays up between runs.
set -e
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${QAL_BUILD_DIR:-}
if [ -z "$build" ]; then
  # The program lives somewhere under the build tree, which holds CMakeCache.txt.
  d=$(cd "$(dirname "$1")" && pwd)
  while [ "$d" != / ] && [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done
  [ -f "$d/CMakeCache.txt" ] && build=$d || build=$(pwd)
fi
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ -n "$QAL_SCREEN" ]; then
  export WINEPREFIX=$build/wine-screen
  driver=x11
else
  export WINEPREFIX=$build/wine
  driver=null
fi
mkdir -p "$build"
# Wine's own processes must not inherit the lock, or the persistent server would hold it.
(
  flock 9
  if [ ! -f "$WINEPREFIX/.ready" ]; then
    rm -rf "$WINEPREFIX"
    DISPLAY= wineboot -i >/dev/null 2>&1 9>&- || true
    wineserver -w 9>&-
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d $driver /f >/dev/null 2>&1 9>&-
    wineserver -w 9>&-
    touch "$WINEPREFIX/.ready"
  fi
  # A persistent server keeps later starts short. When it is new, Wine's own background
  # processes start here, with their output closed, so that they never hold a test's pipes.
  if wineserver -p >/dev/null 2>&1 9>&-; then
    wine cmd.exe /c exit </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$build/.wine-lock-${WINEPREFIX##*/}"
if [ -n "$QAL_SCREEN" ] && [ -z "$DISPLAY" ]; then
  exec "$here/with-xvfb.sh" wine "$@"
fi
exec wine "$@"
