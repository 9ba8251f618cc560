# Sourced by the benchmarks that run beside SQLite: fetches SQLite once into the -O2 bench tree
# and configures that tree with it. Expects $root; sets $build and $sqlite.
# SQLite comes as the amalgamation bundled in the npm package better-sqlite3 (SQLite 3.50.4),
# fetched once with npm into the bench tree and checked against the checksums below; it is
# built into the benchmarks only.
# The tree is ${QAL_BENCH_BUILD:-build-bench} (first run: several minutes); QAL_CCACHE=1
# compiles it through ccache.
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
