#!/bin/sh
# The browse window on folders of 10,000 and 100,000 files (select to painted list, the
# longest event-loop stall, sort, filter, select, memory a row) and a tree of 2,010 folders
# expanded level by level, against ravelind-server on loopback.
# Usage: bench/browse/run.sh [BUILD_DIR]   (a Release build with the target browse-bench)
set -eu
BUILD=${1:-build/release}
BENCH=$BUILD/bench/browse/browse-bench
[ -x "$BENCH" ] || { echo "missing $BENCH" >&2; exit 2; }
QT_QPA_PLATFORM=offscreen "$BENCH" 10000 100000
