#!/bin/bash
# Installs what is missing, builds, and starts Qal.exe under Wine: on $DISPLAY, or under Xvfb.
set -e
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QAL_BUILD:-$root/build}
"$root/tools/install-deps.sh"
QAL_BUILD=$build "$root/tools/build.sh" --target Qal demo_store

# The vendor's download server on this machine (127.0.0.1 only), serving the demo store that the
# build made. The wizard runs from a folder of its own, which a self-update may replace, in a Wine
# prefix of its own that trusts the server's authority and reaches the vendor's host through it.
server=$root/tools/download-server.py
state=$build/demo-server
python3 "$server" start --state "$state" --root "$build/demo-store" --rules "$root/tools/demo-store/rules.json"
trap 'python3 "$server" stop --state "$state" >/dev/null' EXIT
rm -rf "$build/demo" && mkdir -p "$build/demo" && cp "$build/installer/Qal.exe" "$build/demo/"
export WINEPREFIX=$build/wine-demo WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe,winedbg.exe=d"
if [ ! -f "$WINEPREFIX/.ready" ]; then
  DISPLAY= wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  touch "$WINEPREFIX/.ready"
fi
python3 "$server" prepare --state "$state" --prefix "$WINEPREFIX"
# Wine has no firewall and no WMI network settings: in their place the prefix has the recording
# stand-in of the tests (tools/standins/StandinCom.cpp), which notes the ports opened in
# build/demo-com/calls.log and reports one loopback adapter for the static address.
com=$build/demo-com
mkdir -p "$com"
[ -f "$com/adapters.txt" ] || printf 'Description=Demo Loopback\r\nIPEnabled=True\r\nIPAddress=127.0.0.1\r\nIPSubnet=255.0.0.0\r\nDHCPServer=127.0.0.1\r\n' >"$com/adapters.txt"
wine regsvr32 /s "$(winepath -w "$build/bin/standin_com.dll")" >/dev/null 2>&1
export QAL_COM_STANDIN=$(winepath -w "$com")
# The server search probes the local address's /24: on this machine, loopback only.
export QAL_LOCAL_ADDRESS=127.0.0.1
# The wizard that a self-update starts outlives the first: wait for the prefix's last program.
launch=(bash -c 'cd "$0" && wine Qal.exe "$@"; wineserver -w' "$build/demo" "$@")
if [ -z "$DISPLAY" ]; then launch=("$root/tools/with-xvfb.sh" "${launch[@]}"); fi
"${launch[@]}"
