#!/bin/sh
# The comparison window on 100,000 and 1,000,000 lines (1% changed): time until shown from
# the end of the fetch, time to scroll a page, peak memory against the files' size.
# Usage: bench/diffview/run.sh [BUILD_DIR]   (a Release build with the target diffview-bench)
set -eu
BUILD=${1:-build/release}
BENCH=$BUILD/bench/diffview/diffview-bench
[ -x "$BENCH" ] || { echo "missing $BENCH" >&2; exit 2; }
for lines in 100000 1000000; do
    QT_QPA_PLATFORM=offscreen "$BENCH" "$lines" "${RUNS:-3}"
done
