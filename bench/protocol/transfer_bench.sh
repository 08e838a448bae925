#!/usr/bin/env bash
# Uploads and downloads 1 MiB and 256 MiB through a reference service on loopback and prints
# MB/s each way and the client's peak memory for each size (one client process per size).
#   bench/protocol/transfer_bench.sh [BUILD_DIR] [--port N]
# Without --port a ravelind-server from BUILD_DIR (or $RAVELIND_SERVER) is started on a free
# port with a fresh data folder and stopped afterwards.
set -euo pipefail
build=${1:-build/release}
shift || true
tool="$build/bench/protocol/ravelind_transfer_bench"
[ -x "$tool" ] || { echo "build $tool first"; exit 1; }

port=""
if [ "${1:-}" = "--port" ]; then port=$2; fi

server_pid=""
work=$(mktemp -d)
cleanup() {
    if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

if [ -z "$port" ]; then
    server=${RAVELIND_SERVER:-$build/server/ravelind-server}
    [ -x "$server" ] || { echo "no server at $server (set RAVELIND_SERVER or pass --port)"; exit 1; }
    mkdir "$work/data"
    "$server" --data "$work/data" --port 0 > "$work/server.out" 2> "$work/server.err" &
    server_pid=$!
    for _ in $(seq 100); do
        [ -s "$work/server.out" ] && break
        sleep 0.1
    done
    port=$(head -n1 "$work/server.out" | grep -oE '[0-9]+$' || true)
    [ -n "$port" ] || { echo "server did not report its port"; cat "$work/server.err"; exit 1; }
fi

for mib in 1 256; do
    TMPDIR="$work" "$tool" --port "$port" --mib "$mib"
done
