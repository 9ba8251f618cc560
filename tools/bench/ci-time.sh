#!/bin/bash
# Times the CI run (.ci/run) of one commit in a fresh clone, as a CI machine would see it: once on
# two cores (taskset -c 0,1) and once on every core. Prints, per run, the seconds of each phase
# (installing packages, configuring, building, testing), the CPU seconds the compiler took, and how
# many cores the test phase kept busy on average.
#   tools/bench/ci-time.sh [--cores 2|all|both] [COMMIT]     (default: both runs, HEAD)
# Wall seconds depend on what else the machine runs; CPU seconds much less so.
# No ccache; a temporary folder per run, removed afterwards (QAL_CI_TIME_KEEP=1 keeps it).
set -e
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cores=both
if [ "$1" = --cores ]; then cores=$2; shift 2; fi
commit=$(git -C "$root" rev-parse "${1:-HEAD}")
real_cmake=$(command -v cmake)
real_ctest=$(command -v ctest)

now() { date +%s.%N; }

# Prints "user+sys" CPU seconds of the processes still alive that run in PREFIX (Wine's servers
# and background programs, which leave the process tree of the test that started them).
stray_cpu() {
  local prefix=$1 total=0 pid tick
  tick=$(getconf CLK_TCK)
  for pid in $(pgrep -u "$(id -u)" .); do
    if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -q "^WINEPREFIX=$prefix"; then
      total=$(awk -v t="$total" -v tick="$tick" '{ print t + ($14 + $15) / tick }' "/proc/$pid/stat" 2>/dev/null || echo "$total")
    fi
  done
  echo "$total"
}

run_once() {
  local label=$1; shift
  local tmp log shims start end
  tmp=$(mktemp -d /tmp/qal-ci-time.XXXXXX)
  log=$tmp/phases
  shims=$tmp/shims
  mkdir -p "$shims"
  git clone -q "$root" "$tmp/src"
  git -C "$tmp/src" checkout -q "$commit"
  # Shims in front of PATH: each phase's wall time and the CPU time of all it started.
  cat >"$shims/cmake" <<EOF
#!/bin/bash
phase=configure
for a in "\$@"; do [ "\$a" = --build ] && phase=build; done
s=\$(date +%s.%N)
/usr/bin/time -o "$log.\$\$" -f "%U %S" "$real_cmake" "\$@"; rc=\$?
echo "\$phase \$s \$(date +%s.%N) \$(tail -1 "$log.\$\$")" >>"$log"; rm -f "$log.\$\$"
exit \$rc
EOF
  cat >"$shims/ctest" <<EOF
#!/bin/bash
s=\$(date +%s.%N)
/usr/bin/time -o "$log.\$\$" -f "%U %S" "$real_ctest" "\$@" | tee "$tmp/ctest.out"; rc=\${PIPESTATUS[0]}
echo "test \$s \$(date +%s.%N) \$(tail -1 "$log.\$\$")" >>"$log"; rm -f "$log.\$\$"
exit \$rc
EOF
  # The compiler's own CPU time, per translation unit.
  cat >"$shims/compile" <<EOF
#!/bin/bash
exec /usr/bin/time -a -o "$tmp/compile" -f "%U %S" "\$@"
EOF
  chmod +x "$shims"/*
  echo "== $label: .ci/run of ${commit:0:10} in $tmp"
  start=$(now)
  set +e
  (cd "$tmp/src" && PATH=$shims:$PATH CI=true CCACHE_DISABLE=1 QAL_CCACHE= QAL_BUILD= \
     CMAKE_CXX_COMPILER_LAUNCHER=$shims/compile CMAKE_C_COMPILER_LAUNCHER=$shims/compile \
     "$@" bash .ci/run >"$tmp/ci.log" 2>&1)
  local rc=$?
  set -e
  end=$(now)
  local stray
  stray=$(stray_cpu "$tmp/src/build/wine-")
  # Stop the persistent wineservers of the clone's prefixes before the folder goes.
  for p in "$tmp"/src/build/wine-*/; do
    [ -f "$p/.ready" ] && WINEPREFIX=${p%/} wineserver -k 2>/dev/null || true
  done
  local ncores
  ncores=$("$@" nproc)
  awk -v start="$start" -v end="$end" -v stray="$stray" -v n="$ncores" -v compile="$tmp/compile" '
    { wall[$1] += $3 - $2; cpu[$1] += $4 + $5; if (!($1 in first)) first[$1] = $2 }
    END {
      while ((getline line < compile) > 0) { split(line, f, " "); cc += f[1] + f[2]; units++ }
      install = ("configure" in first ? first["configure"] : end) - start
      printf "  cores             %d\n", n
      printf "  install           %7.1f s\n", install
      printf "  configure         %7.1f s\n", wall["configure"]
      printf "  build             %7.1f s   (CPU %.0f s)\n", wall["build"], cpu["build"]
      printf "  compiler CPU      %7.1f s   (%d compiler runs, %.1f s each)\n", cc, units, units ? cc / units : 0
      printf "  test              %7.1f s   (CPU %.0f s: tests %.0f, Wine servers %.0f)\n", wall["test"], cpu["test"] + stray, cpu["test"], stray
      if (wall["test"] > 0)
        printf "  test core use     %7.0f %%  of %d cores\n", 100 * (cpu["test"] + stray) / (wall["test"] * n), n
      printf "  total             %7.1f s\n", end - start
    }' "$log"
  grep -E "tests passed|tests failed out of" "$tmp/ci.log" | tail -1 | sed 's/^/  /'
  if [ $rc -ne 0 ]; then
    echo "  .ci/run failed ($rc); last lines of its log:"
    tail -20 "$tmp/ci.log" | sed 's/^/    /'
  fi
  if [ -n "$QAL_CI_TIME_KEEP" ]; then echo "  kept $tmp"; else rm -rf "$tmp"; fi
  return $rc
}

status=0
if [ "$cores" = 2 ] || [ "$cores" = both ]; then run_once "2 cores" taskset -c 0,1 || status=1; fi
if [ "$cores" = all ] || [ "$cores" = both ]; then run_once "all cores" env || status=1; fi
exit $status
