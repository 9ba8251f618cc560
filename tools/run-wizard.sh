#!/bin/bash
# Installs what is missing, builds, and starts Qal.exe under Wine: on $DISPLAY, or under Xvfb.
#   run-wizard.sh [--reset] [ARGS...]
# The demo's files (build/demo with its logs, the prefix build/wine-demo with what was installed
# there) stay from one start to the next, so that an update finds the installation; --reset
# starts them afresh. ARGS go to Qal.exe.
set -e
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QAL_BUILD:-$root/build}
. "$root/tools/wine-prefix.sh"
reset=
if [ "$1" = --reset ]; then reset=1; shift; fi
"$root/tools/install-deps.sh"
QAL_BUILD=$build "$root/tools/build.sh" --target Qal demo_store uidrive

# The vendor's download server on this machine (127.0.0.1 only), serving the demo store that the
# build made. The wizard runs from a folder of its own, which a self-update may replace, in a Wine
# prefix of its own that trusts the server's authority and reaches the vendor's host through it.
server=$root/tools/download-server.py
state=$build/demo-server
python3 "$server" start --state "$state" --root "$build/demo-store" --rules "$root/tools/demo-store/rules.json"
trap 'python3 "$server" stop --state "$state" >/dev/null' EXIT
export WINEPREFIX=$build/wine-demo WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe,winedbg.exe=d"
# The wizard's users are Turkish: Wine runs under a Turkish user locale (its formats, the language
# of the system's and the framework's boxes), compiled into the build tree when the machine has none.
if qal_user_locale "$build" tr_TR; then
  # (bash itself cannot take the locale from LOCPATH and would say so)
  { export LOCPATH=$build/locale LANG=tr_TR.UTF-8 LC_ALL=tr_TR.UTF-8; } 2>/dev/null
else
  echo "run-wizard.sh: the Turkish locale cannot be made here (localedef); the wizard runs in English boxes"
fi
if [ -n "$reset" ]; then
  wineserver -k 2>/dev/null || true
  rm -rf "$build/demo" "$WINEPREFIX" "$build/demo-com"
  echo "run-wizard.sh: the demo starts afresh"
fi
# The wizard is replaced by the one just built; its logs beside it stay.
mkdir -p "$build/demo" && cp "$build/installer/Qal.exe" "$build/demo/"
if [ ! -f "$WINEPREFIX/.ready" ]; then
  DISPLAY= wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  touch "$WINEPREFIX/.ready"
fi
qal_seal_prefix "$WINEPREFIX"
python3 "$server" prepare --state "$state" --prefix "$WINEPREFIX"
# Wine has no firewall and no WMI network settings: in their place the prefix has the recording
# stand-in of the tests (tools/standins/StandinCom.cpp), which notes the ports opened in
# build/demo-com/calls.log and reports one adapter for the static address.
com=$build/demo-com
mkdir -p "$com"
# The adapter carries the address the wizard finds as its own (the route's towards a public host;
# nothing is sent), so that "İp Sabitlensin" has an adapter to make static.
own=$(python3 -c 'import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
try:
    s.connect(("1.1.1.1", 80)); print(s.getsockname()[0])
except OSError:
    print("127.0.0.1")' 2>/dev/null || echo 127.0.0.1)
printf 'Description=Demo Loopback\r\nIPEnabled=True\r\nIPAddress=%s\r\nIPSubnet=255.0.0.0\r\nDHCPServer=127.0.0.1\r\n' "$own" >"$com/adapters.txt"
wine regsvr32 /s "$(winepath -w "$build/bin/standin_com.dll")" >/dev/null 2>&1
export QAL_COM_STANDIN=$(winepath -w "$com")
# The server search probes the local address's /24: narrowed here to loopback (the variable is
# taken only as a loopback address and only by the search).
export QAL_LOCAL_ADDRESS=127.0.0.1
# The wizard that a self-update starts outlives the first: wait for the prefix's last program.
if [ -n "$DISPLAY" ]; then
  bash -c 'cd "$0" && wine Qal.exe "$@"; wineserver -w' "$build/demo" "$@"
  exit
fi
# No display: nobody could see or operate the wizard. It runs on a private screen and is driven
# through its demo there; the pictures of its steps and its log say what it did.
if [ -d "$WINEPREFIX/drive_c/Zelkor 6.0" ]; then
  echo "run-wizard.sh: there is no display (DISPLAY is empty), and the demo's installation is there"
  echo "  already (C:\\Zelkor 6.0 of build/wine-demo): nothing is driven. Start with --reset to drive a"
  echo "  new installation on a private screen, or with a display to run its update yourself."
  exit 0
fi
cat <<MSG
run-wizard.sh: there is no display (DISPLAY is empty), so the wizard cannot be shown to you.
  It now runs on a private screen (Xvfb) and is driven there: its self-update, then a new server
  installation of 6.0 with the Market demo data. Pictures of each step go to $build/artifacts/.
  To operate it yourself, start this script again with a display (a desktop session, or ssh -X).
MSG
"$root/tools/with-xvfb.sh" bash "$root/tools/demo-drive.sh" "$build"
wineserver -w
echo "Log: $(ls "$build"/demo/Qal_*.log 2>/dev/null | tail -1)"
