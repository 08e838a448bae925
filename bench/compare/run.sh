#!/bin/sh
# Times ravelind-diff against GNU diff, side by side in one run, on three deterministic pairs:
#   1M-line files with 1% of the lines changed at random places,
#   two unrelated 100,000-line files (the search's cost cut-off path),
#   a 50 MB file against a copy with one changed line in the middle.
# Prints the median wall time (hyperfine) and the peak resident memory (/usr/bin/time) of
# both, and the ratios ravelind-diff / diff.
#
# Usage: bench/compare/run.sh [BUILD_DIR] [WORK_DIR]
#   BUILD_DIR: a Release build with the targets ravelind-diff and compare-benchgen
#              (default build-release); WORK_DIR: where the data goes (default a temp dir).
set -eu

BUILD=${1:-build-release}
WORK=${2:-$(mktemp -d)}
RDIFF=$BUILD/tools/ravelind-diff
GEN=$BUILD/bench/compare/compare-benchgen
DIFF=${DIFF:-/usr/bin/diff}
RUNS=${RUNS:-10}

for tool in "$RDIFF" "$GEN" "$DIFF"; do
    [ -x "$tool" ] || { echo "missing $tool" >&2; exit 2; }
done
command -v hyperfine >/dev/null || { echo "hyperfine is needed" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed" >&2; exit 2; }

echo "data in $WORK"
"$GEN" changed 1000000 1 1 "$WORK/changed.a" "$WORK/changed.b"
"$GEN" unrelated 100000 1000 2 "$WORK/unrelated.a" "$WORK/unrelated.b"
"$GEN" big 50 3 "$WORK/big.a" "$WORK/big.b"

peak_kb() {
    /usr/bin/time -f %M "$@" >/dev/null 2>"$WORK/time.txt" || true
    tail -n 1 "$WORK/time.txt"
}

median_s() {
    # $1 = json file, $2 = command index
    sed -n 's/.*"median": *\([0-9.e+-]*\).*/\1/p' "$1" | sed -n "$(($2 + 1))p"
}

printf '%-10s %12s %12s %7s %12s %12s %7s\n' case "rdiff s" "diff s" ratio "rdiff KB" "diff KB" ratio
for name in changed unrelated big; do
    a=$WORK/$name.a
    b=$WORK/$name.b
    # -i: exit status 1 means "differences", not failure.
    hyperfine -N -i --warmup 1 --runs "$RUNS" --export-json "$WORK/$name.json" \
        "$RDIFF $a $b" "$DIFF $a $b" >/dev/null
    rt=$(median_s "$WORK/$name.json" 0)
    dt=$(median_s "$WORK/$name.json" 1)
    rm=$(peak_kb "$RDIFF" "$a" "$b")
    dm=$(peak_kb "$DIFF" "$a" "$b")
    awk -v n="$name" -v rt="$rt" -v dt="$dt" -v rm="$rm" -v dm="$dm" 'BEGIN {
        printf "%-10s %12.4f %12.4f %7.2f %12d %12d %7.2f\n", n, rt, dt, rt / dt, rm, dm, rm / dm }' 
done
