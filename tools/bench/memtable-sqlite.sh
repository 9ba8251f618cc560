#!/bin/bash
# One million records (id, 10-letter Turkish name, one in a thousand with punctuation or an
# accent, amount with two decimals, date) through the in-memory table's storage and through
# SQLite's in-memory database (journal off, the storage's Turkish collation registered), in one
# process: load, index on the name (the two orders checked equal), 100,000 lookups, a records view
# sorted by the name and filtered (orders and ids checked against SQLite's), 10,000
# deleted one by one from the middle, 10% deleted at random, stored and read back. Prints each
# step's time and the ratio to SQLite for the first round (fresh memory) and the medians of the
# later ones (memory reused, the sides in turn first), and both sides' memory per record. Runs
# under a Turkish user, whose name order the index keeps.
#   memtable-sqlite.sh [records] [rounds]
# SQLite comes as the amalgamation bundled in the npm package better-sqlite3 (SQLite 3.50.4),
# fetched once with npm into the bench tree and checked against the checksums below; it is
# built into the benchmark only.
# Builds its own -O2 tree (first run: several minutes) in ${QAL_BENCH_BUILD:-build-bench};
# QAL_CCACHE=1 compiles it through ccache, QAL_BENCH_JOBS caps the jobs (default 4).
set -e
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${QAL_BENCH_BUILD:-$root/build-bench}
package=better-sqlite3@12.4.1
package_sha256=14398acbf00d1e8fe0a2753df7d4f15c13138e4b874f4e6e96791f65b4536d0d
sqlite_sha256=90b7189566ea710ee18361b25d893f5cda3fcf43033223a16384762f53e99a85
sqlite=$build/_sqlite
mkdir -p "$build"
if [ ! -f "$sqlite/sqlite3.c" ] || ! echo "$sqlite_sha256  $sqlite/sqlite3.c" | sha256sum -c --quiet; then
  rm -rf "$sqlite" && mkdir -p "$sqlite"
  (cd "$sqlite" && npm pack "$package" --silent >/dev/null)
  tarball=$(ls "$sqlite"/better-sqlite3-*.tgz)
  echo "$package_sha256  $tarball" | sha256sum -c --quiet
  tar xzf "$tarball" -C "$sqlite" --strip-components=3 package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
  echo "$sqlite_sha256  $sqlite/sqlite3.c" | sha256sum -c --quiet
  rm -f "$tarball"
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  launcher=()
  if [ -n "$QAL_CCACHE" ] && command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$root" -B "$build" -G Ninja "${launcher[@]}" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Bench \
    -DCMAKE_CXX_FLAGS_BENCH=-O2 -DCMAKE_C_FLAGS_BENCH=-O2 -DQAL_TESTS=OFF >/dev/null
fi
cmake "$build" -DQAL_SQLITE_DIR="$sqlite" >/dev/null
cmake --build "$build" -j "${QAL_BENCH_JOBS:-4}" --target memtable_bench
QAL_LOCALE=tr_TR "$root/tools/wine-run.sh" "$build/bin/memtable_bench.exe" "$@"
