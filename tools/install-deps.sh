#!/bin/bash
# Installs what building, running and testing need, from Debian's packages; a no-op when all is there.
set -e
pkgs="cmake make ninja-build g++-mingw-w64-x86-64 libz-mingw-w64-dev googletest wine wine64 xvfb xauth imagemagick python3 locales fonts-dejavu-core openssl curl unzip"
missing=""
for p in $pkgs; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # wine32 is never wanted: 32-bit programs cannot run here and it breaks the 64-bit launcher.
  apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
