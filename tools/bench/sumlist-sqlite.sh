#!/bin/bash
# The summary producer's five summaries of a currency amount over 1,000 to 1,000,000 records, one
# edited record posted at a time: the producer's update, the full pass after every post, and
# SQLite's UPDATE plus aggregate SELECT on the same edits, with the values compared after every
# step. The records sit in the framework's test dataset until the in-memory table exists.
#   sumlist-sqlite.sh [largest records] [posts]
# SQLite and the -O2 bench tree come from sqlite-tree.sh; QAL_BENCH_JOBS caps the jobs (default 4).
set -e
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
. "$root/tools/bench/sqlite-tree.sh"
cmake --build "$build" -j "${QAL_BENCH_JOBS:-4}" --target sumlist_bench
"$root/tools/wine-run.sh" "$build/bin/sumlist_bench.exe" "$@"
