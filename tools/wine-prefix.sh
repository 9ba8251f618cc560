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

# Wine takes the Windows user locale from the Unix one when a process starts. The machine may have
# no such locale and no right to add one, so it is compiled into the build tree.
# qal_user_locale BUILD LOCALE: true when BUILD/locale/LOCALE.UTF-8 is there (made if needed);
# the caller then runs Wine with LOCPATH=BUILD/locale and LANG/LC_ALL=LOCALE.UTF-8.
qal_user_locale() {
  local locales=$1/locale name=$2
  mkdir -p "$locales"
  (
    flock 9
    if [ ! -f "$locales/$name.UTF-8/LC_CTYPE" ]; then
      # Made beside and moved into place, so that an interrupted run leaves no half locale.
      rm -rf "$locales/.new" "$locales/$name.UTF-8"
      localedef -i "$name" -f UTF-8 "$locales/.new" >/dev/null 2>&1 || true
      [ -f "$locales/.new/LC_CTYPE" ] && mv "$locales/.new" "$locales/$name.UTF-8"
    fi
    [ -f "$locales/$name.UTF-8/LC_CTYPE" ]
  ) 9>"$1/.locale-lock"
}
