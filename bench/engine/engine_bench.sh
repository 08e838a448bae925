#!/usr/bin/env bash
# The engine's runs against a reference service on loopback: get -r of 1,000 small files, and
# check-in and get of 1 MiB and 256 MiB (one client process each), with the split of the time
# between the client, the service and the wire.
#   bench/engine/engine_bench.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build/release}
tool="$build/bench/engine/ravelind_engine_bench"
server=${RAVELIND_SERVER:-$build/server/ravelind-server}
[ -x "$tool" ] || { echo "build $tool first"; exit 1; }
[ -x "$server" ] || { echo "no server at $server (set RAVELIND_SERVER)"; exit 1; }

work=$(mktemp -d)
server_pid=""
cleanup() {
    if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
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

TMPDIR="$work" "$tool" --port "$port" --server-pid "$server_pid" --files 1000
[ "${ENGINE_BENCH_FILES_ONLY:-}" = 1 ] && exit 0
for mib in 1 256; do
    TMPDIR="$work" "$tool" --port "$port" --server-pid "$server_pid" --mib "$mib"
done
