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
# SQLite and the -O2 bench tree come from sqlite-tree.sh; QAL_BENCH_JOBS caps the jobs (default 4).
set -e
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
. "$root/tools/bench/sqlite-tree.sh"
cmake --build "$build" -j "${QAL_BENCH_JOBS:-4}" --target memtable_bench
QAL_LOCALE=tr_TR "$root/tools/wine-run.sh" "$build/bin/memtable_bench.exe" "$@"
