#!/bin/sh
# Times ravelind-diff against GNU diff, side by side in one run, on three deterministic pairs:
#   1M-line files with 1% of the lines changed at random places,
#   two unrelated 100,000-line files (the search's cost cut-off path),
#   a 50 MB file against a copy with one changed line in the middle.
# Runs both alternately RUNS times (default 10) and prints the median wall time, the largest
# peak resident memory (/usr/bin/time) and the ratios ravelind-diff / diff.
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
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed" >&2; exit 2; }

echo "data in $WORK"
"$GEN" changed 1000000 1 1 "$WORK/changed.a" "$WORK/changed.b"
"$GEN" unrelated 100000 1000 2 "$WORK/unrelated.a" "$WORK/unrelated.b"
"$GEN" big 50 3 "$WORK/big.a" "$WORK/big.b"

# One timed run: prints "<wall seconds> <peak KB>".
run_once() {
    start=$(date +%s.%N)
    /usr/bin/time -f %M -o "$WORK/time.txt" "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" -v m="$(tail -n 1 "$WORK/time.txt")" \
        'BEGIN { printf "%.4f %d\n", e - s, m }'
}

median() {
    sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The last case repeats the unrelated pair with GNU diff's own cost floor (4096 since diff
# 3.4; ours is 256), so both do the same search and must print the same script.
printf '%-16s %9s %9s %6s %10s %10s %6s %s\n' case "rdiff s" "diff s" ratio "rdiff KB" "diff KB" \
    ratio "same output"
for entry in changed unrelated big unrelated:--cost-floor=4096; do
    name=${entry%%:*}
    option=
    label=$name
    case $entry in *:*) option=${entry#*:} label="$name${option#--cost-floor=}" ;; esac
    a=$WORK/$name.a
    b=$WORK/$name.b
    # shellcheck disable=SC2086
    set -- "$RDIFF" $option
    : >"$WORK/$label.rdiff"
    : >"$WORK/$label.diff"
    # Interleaved, alternating which goes first, so both see the same machine load.
    "$@" "$a" "$b" >"$WORK/out.rdiff" || true
    "$DIFF" "$a" "$b" >"$WORK/out.diff" || true
    same=$(cmp -s "$WORK/out.rdiff" "$WORK/out.diff" && echo yes || echo no)
    i=0
    while [ $i -lt "$RUNS" ]; do
        if [ $((i % 2)) -eq 0 ]; then
            run_once "$@" "$a" "$b" >>"$WORK/$label.rdiff"
            run_once "$DIFF" "$a" "$b" >>"$WORK/$label.diff"
        else
            run_once "$DIFF" "$a" "$b" >>"$WORK/$label.diff"
            run_once "$@" "$a" "$b" >>"$WORK/$label.rdiff"
        fi
        i=$((i + 1))
    done
    rt=$(cut -d' ' -f1 "$WORK/$label.rdiff" | median)
    dt=$(cut -d' ' -f1 "$WORK/$label.diff" | median)
    rm=$(cut -d' ' -f2 "$WORK/$label.rdiff" | sort -n | tail -n 1)
    dm=$(cut -d' ' -f2 "$WORK/$label.diff" | sort -n | tail -n 1)
    awk -v n="$label" -v rt="$rt" -v dt="$dt" -v rm="$rm" -v dm="$dm" -v same="$same" 'BEGIN {
        printf "%-16s %9.3f %9.3f %6.2f %10d %10d %6.2f %s\n", n, rt, dt, rt / dt, rm, dm, rm / dm,
            same }'
done
