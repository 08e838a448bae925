#!/usr/bin/env bash
# Encodes and decodes the same 100 MB of random data with coreutils base64 and with
# Ravelind's codec, file to file, in one run, and prints the wall time and MB/s of each.
#   bench/protocol/base64_vs_coreutils.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
build=${1:-build/release}
tool="$build/bench/protocol/ravelind_base64_bench"
[ -x "$tool" ] || { echo "build $tool first (cmake --build $build --target ravelind_base64_bench)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c 100000000 /dev/urandom > "$work/raw"
mb=100

seconds() { local s e; s=$(date +%s.%N); "$@"; e=$(date +%s.%N); echo "$e - $s" | bc -l; }
report() { printf '%-28s %6.3f s  %5.0f MB/s\n' "$1" "$2" "$(echo "$mb / $2" | bc -l)"; }

cat "$work/raw" > /dev/null # warm the page cache for both
t=$(seconds sh -c "base64 '$work/raw' > '$work/core.b64'");  report "coreutils base64" "$t"
t=$(seconds sh -c "'$tool' encode '$work/raw' '$work/rav.b64' > /dev/null"); report "ravelind encode" "$t"
t=$(seconds sh -c "base64 -d '$work/core.b64' > '$work/core.out'"); report "coreutils base64 -d" "$t"
t=$(seconds sh -c "'$tool' decode '$work/rav.b64' '$work/rav.out' > /dev/null"); report "ravelind decode" "$t"
cmp "$work/raw" "$work/core.out" && cmp "$work/raw" "$work/rav.out" && echo "round trips identical"
# Same text apart from the line ends (coreutils writes LF, the service's form is CR LF).
{ tr -d '\r' < "$work/rav.b64"; echo; } | cmp - "$work/core.b64" && echo "texts agree apart from CR"
