#!/bin/bash
# Runs a command on a private Xvfb screen, which is torn down when the command ends.
set -e
for n in $(seq 90 140); do
  [ -e /tmp/.X$n-lock ] || { disp=$n; break; }
done
Xvfb :$disp -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
trap 'kill $xpid 2>/dev/null || true' EXIT
for i in $(seq 50); do [ -e /tmp/.X11-unix/X$disp ] && break; sleep 0.1; done
export DISPLAY=:$disp
"$@"
