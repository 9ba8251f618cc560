#!/bin/bash
# Runs a Windows program under Wine in a prefix of the build tree.
#   wine-run.sh PROGRAM.exe ARGS...            headless, Wine's null graphics driver
#   QAL_SCREEN=1 wine-run.sh PROGRAM.exe ...   a real screen: $DISPLAY, or a private Xvfb
#   QAL_LOCALE=tr_TR wine-run.sh PROGRAM.exe ...  the Windows user locale of a glibc locale (here
#                                              Turkish), compiled into the build tree, in prefixes of its own
# Programs that run at the same time get prefixes of their own (slots), each with its own
# wineserver, so that windows, focus and the cursor of one never meet those of another.
# A template prefix is made once (wineboot); a slot is a hard-linked copy of it; each slot's
# wineserver stays up between runs so that later starts are short.
set -e
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wine-prefix.sh"
build=${QAL_BUILD_DIR:-}
if [ -z "$build" ]; then
  # The program lives somewhere under the build tree, which holds CMakeCache.txt.
  d=$(cd "$(dirname "$1")" && pwd)
  while [ "$d" != / ] && [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done
  [ -f "$d/CMakeCache.txt" ] && build=$d || build=$(pwd)
fi
export WINEDEBUG=-all
# No Wine debugger on a crash: the process ends and the test fails instead of hanging.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe,winedbg.exe=d"
if [ -n "$QAL_SCREEN" ]; then
  kind=screen
  driver=x11
else
  kind=null
  driver=null
fi
mkdir -p "$build"
if [ -n "$QAL_LOCALE" ]; then
  qal_user_locale "$build" "$QAL_LOCALE" || { echo "wine-run.sh: cannot make the locale $QAL_LOCALE" >&2; exit 1; }
  locales=$build/locale
  # (bash itself cannot take the locale from LOCPATH and would say so)
  { export LOCPATH=$locales LANG=$QAL_LOCALE.UTF-8 LC_ALL=$QAL_LOCALE.UTF-8; } 2>/dev/null
  kind=$kind-$QAL_LOCALE
fi
template=$build/wine-$kind

# Wine's own processes must not inherit a lock, or a persistent server would hold it forever.
(
  flock 9
  if [ ! -f "$template/.ready" ]; then
    rm -rf "$template"
    WINEPREFIX=$template DISPLAY= wineboot -i >/dev/null 2>&1 9>&- || true
    WINEPREFIX=$template wineserver -w 9>&-
    WINEPREFIX=$template wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d $driver /f >/dev/null 2>&1 9>&-
    WINEPREFIX=$template wineserver -w 9>&-
    qal_seal_prefix "$template"
    touch "$template/.ready"
  fi
) 9>"$build/.wine-lock-$kind"

# The first free slot; the running program keeps its slot's lock open until it ends.
slot=
for s in $(seq 0 63); do
  exec 8>"$build/.wine-slot-$kind-$s"
  if flock -n 8; then slot=$s; break; fi
  exec 8>&-
done
if [ -z "$slot" ]; then
  slot=0
  exec 8>"$build/.wine-slot-$kind-0"
  flock 8
fi
export WINEPREFIX=$build/wine-$kind-$slot
if [ ! -f "$WINEPREFIX/.ready" ]; then
  rm -rf "$WINEPREFIX"
  cp -al "$template" "$WINEPREFIX"
  # Only the registry is written to; the rest stays shared with the template.
  for f in "$WINEPREFIX"/*.reg; do cp --remove-destination "$template/${f##*/}" "$f"; done
  rm -f "$WINEPREFIX/.ready"
  sed -i "s|$template|$WINEPREFIX|g" "$WINEPREFIX"/*.reg 2>/dev/null || true
  touch "$WINEPREFIX/.ready"
fi
# Prefixes made before their shell folders were their own get them now.
qal_seal_prefix "$WINEPREFIX"
# When the server is new, Wine's background processes start here with their output closed,
# so that they never hold a test's pipes open.
if wineserver -p >/dev/null 2>&1 8>&-; then
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1 8>&- || true
fi
if [ -n "$QAL_SCREEN" ] && [ -z "$DISPLAY" ]; then
  exec "$here/with-xvfb.sh" wine "$@"
fi
exec wine "$@"
