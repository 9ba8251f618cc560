#!/bin/bash
# Runs a command on a private Xvfb screen, which is torn down when the command ends.
set -e
# Xvfb takes the first free display itself and writes its number when ready: runs that start at
# the same time (parallel tests, other users of the machine) never share a screen.
numfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
xpid=$!
trap 'kill $xpid 2>/dev/null || true; rm -f "$numfile"' EXIT
disp=
for i in $(seq 100); do
  disp=$(tr -dc 0-9 <"$numfile")
  [ -n "$disp" ] && break
  kill -0 $xpid 2>/dev/null || break
  sleep 0.1
done
[ -n "$disp" ] || { echo "with-xvfb.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$disp
"$@"
