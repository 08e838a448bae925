#!/usr/bin/env bash
# `ravelind-cli get -r` of a server folder of 1,000 small files on loopback: files per second,
# from the program's start to its end (logon excluded). The folder is added once with
# `ravelind-cli add`, then got into a fresh local folder RUNS times; the best and the median
# run are printed.
#   bench/cli/get_bench.sh [BUILD_DIR] [FILES] [RUNS]
# A ravelind-server from BUILD_DIR (or $RAVELIND_SERVER) is started on a free port with a
# fresh data folder and stopped afterwards.
set -euo pipefail
build=${1:-build/release}
files=${2:-1000}
runs=${3:-5}
cli="$build/tools/ravelind-cli"
server=${RAVELIND_SERVER:-$build/server/ravelind-server}
[ -x "$cli" ] || { echo "build $cli first"; exit 1; }
[ -x "$server" ] || { echo "no server at $server (set RAVELIND_SERVER)"; exit 1; }

server_pid=""
work=$(mktemp -d)
cleanup() {
    if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/data"
"$server" --data "$work/data" --port 0 > "$work/server.out" 2> "$work/server.err" &
server_pid=$!
for _ in $(seq 100); do
    [ -s "$work/server.out" ] && break
    sleep 0.1
done
port=$(head -n1 "$work/server.out" | grep -oE '[0-9]+$' || true)
[ -n "$port" ] || { echo "server did not report its port"; cat "$work/server.err"; exit 1; }

run_cli() { "$cli" --server "http://127.0.0.1:$port/Service.asmx" --user-id bench "$@"; }
run_cli logon > /dev/null

# 1,000 files of 100 to 2,000 bytes.
mkdir -p "$work/src/small"
for i in $(seq -w 1 "$files"); do
    head -c $((100 + 10#$i * 19 % 1900)) /dev/urandom > "$work/src/small/file$i.txt"
done
run_cli add -m bench / "$work/src/small" > "$work/add.log" \
    || { echo "the add failed:"; grep -v 'was added' "$work/add.log" | head; exit 1; }

# One series of runs; TMPDIR for the client's temporary files and the folder the files go to
# are the caller's, so the cost of the disk can be told from the cost of the program.
series() {
    local label=$1 tmp=$2 into=$3
    local rates=() run target start end got
    for run in $(seq 1 "$runs"); do
        target="$into/got$run"
        start=$(date +%s.%N)
        TMPDIR=$tmp run_cli get -r -C "$target" small > "$work/get.log"
        end=$(date +%s.%N)
        got=$(grep -c ' was fetched\.$' "$work/get.log" || true)
        [ "$got" = "$files" ] || { echo "run $run fetched $got of $files files"; exit 1; }
        diff -r "$work/src/small" "$target" > /dev/null || { echo "run $run: fetched files differ"; exit 1; }
        rates+=("$(echo "$files / ($end - $start)" | bc -l)")
        chmod -R u+w "$target"
        rm -rf "$target"
    done
    local sorted best median
    sorted=$(printf '%s\n' "${rates[@]}" | sort -g)
    best=$(echo "$sorted" | tail -n1)
    median=$(echo "$sorted" | sed -n "$(( (runs + 1) / 2 ))p")
    printf '%-44s median %4.0f files/s, best %4.0f files/s\n' "$label" "$median" "$best"
}

echo "ravelind-cli get -r of $files small files on loopback, $runs runs each (goal 200 files/s):"
series "temporary files and target on $(df --output=fstype "${TMPDIR:-/tmp}" | tail -n1) (as used)" \
    "${TMPDIR:-/tmp}" "$work"
# The same on a memory file system, when there is one: what the program itself costs.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    shm=$(mktemp -d /dev/shm/ravelind-bench-XXXXXX)
    series "temporary files and target on tmpfs" "$shm" "$shm"
    series "temporary files on tmpfs, target as used" "$shm" "$work"
    rm -rf "$shm"
fi
