# Sourced by the scripts that make Wine prefixes (wine-run.sh, run-wizard.sh).
# A new prefix's shell folders (Desktop, Documents, Downloads...) are links into the user's home,
# and Wine's menu builder turns every shortcut into a .desktop file there: a program run in the
# prefix would write outside the build tree. The links become folders of the prefix and the menu
# builder is turned off in the prefix's registry, whatever environment a program is started with.
# qal_seal_prefix PREFIX: once per prefix (marked by PREFIX/.sealed); its wineserver may run.
qal_seal_prefix() {
  local prefix=$1 link
  [ -f "$prefix/.sealed" ] && return 0
  for link in "$prefix"/drive_c/users/*/*; do
    [ -L "$link" ] || continue
    rm -f "$link" && mkdir -p "$link"
  done
  WINEPREFIX=$prefix wine reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /d '' /f \
    </dev/null >/dev/null 2>&1 8>&- 9>&- || return 1
  WINEPREFIX=$prefix wineserver -w 8>&- 9>&-
  touch "$prefix/.sealed"
}
