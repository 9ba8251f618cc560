#!/bin/bash
# Drives the demo wizard on a screen nobody sees (run by run-wizard.sh when there is no display):
# the self-update, then a new server installation of 6.0 with the Market demo data, through the
# UI driver, saving a picture of each step into build/artifacts/. Runs inside the demo's prefix.
#   demo-drive.sh BUILD
set -e
build=$1
art=$build/artifacts
mkdir -p "$art"
# Turkish letters on the command line need a UTF-8 locale; under the Turkish user locale that
# run-wizard.sh sets, the boxes answer with Turkish buttons.
[ -n "$LC_ALL" ] || export LANG=C.UTF-8
case $LC_ALL in
  tr_TR*) yes='&Evet' ok='Tamam' ;;
  *) yes='&Yes' ok='OK' ;;
esac
ui() { wine "$build/bin/uidrive.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# A picture of the window SELECTOR as build/artifacts/demo-NAME.png.
shot() {
  local bmp=$art/demo-$1.bmp
  ui capture "${2:-TfrmQalMain}" "$(winepath -w "$bmp")" >/dev/null || return 0
  python3 "$here/bmp-to-png.py" "$bmp" && rm -f "$bmp" && echo "  ${bmp%.bmp}.png"
}
exe=$(winepath -w "$build/demo/Qal.exe")
(cd "$build/demo" && ui start "$exe" >/dev/null)
# The first wizard updates itself from the demo store and hands over to the new one: the form
# that stays with its inputs enabled is the new one's.
enabled=0
for i in $(seq 120); do
  if [ "$(ui state 'TfrmQalMain > TButton:Güncelle' | cut -d' ' -f1)" = enabled ]; then
    enabled=$((enabled + 1))
    [ $enabled -ge 3 ] && break
  else
    enabled=0
  fi
  sleep 1
done
[ $enabled -ge 3 ] || { echo "demo-drive.sh: the wizard did not become ready" >&2; exit 1; }
echo "Screens:"
shot 1-start
ui click 'TfrmQalMain > TGroupButton: &Yeni Kurulum' >/dev/null
ui click 'TfrmQalMain > TGroupButton:6.0 (PostgreSQL)' >/dev/null
ui click 'TfrmQalMain > TGroupButton: &Sunucu' >/dev/null
demo='TfrmQalMain > TDBCheckBoxKv: Örnek Veritabanı (DEMO)'
case $(ui state "$demo") in *unchecked*) ui click "$demo" >/dev/null ;; esac
sleep 1
ui click 'TfrmQalMain > TGroupButton:Market' >/dev/null || true
sleep 1
shot 2-options
ui click 'TfrmQalMain > TButton:Qal' >/dev/null
ui --timeout 30000 answer 'TMessageForm' "$yes" >/dev/null
# The installation runs; it ends with its message box.
ui --timeout 600000 wait 'TMessageForm' >/dev/null
shot 3-log
shot 4-end TMessageForm
ui --timeout 10000 answer 'TMessageForm' "$ok" >/dev/null
# A run that ended well closes the wizard; after a failure it stays open with its log.
if ! ui --timeout 60000 gone 'TfrmQalMain' >/dev/null; then
  shot 5-after-failure
  ui close 'TfrmQalMain' >/dev/null || true
fi
echo "The log's last line: $(tail -1 "$(ls "$build"/demo/Qal_*.log | tail -1)" | tr -d '\r')"
