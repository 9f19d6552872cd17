#!/usr/bin/env bash
# Devices found, wall time and peak memory of "kelvo-cli search" against N
# simulated devices (default 10000) through a real kelvo-relay. The devices
# are serial converters (no web server), so each needs one listener.
# Everything runs on loopback; every process is stopped at the end.
#
#   bench/tools/cli/search_bench.sh BUILD_DIR [N]
set -euo pipefail

build=${1:?usage: search_bench.sh BUILD_DIR [N]}
count=${2:-10000}
source "$(dirname "$0")/lab.sh" "$build"

relay_args=()
start_serial_fleets "$count"

start_relay "${relay_args[@]}"

set +e
timeout 300 /usr/bin/time -f '%e %M' -o "$work/time.txt" \
    "$tools/kelvo-cli" search --format csv --relay "$relay" --quiet >"$work/list.csv" 2>"$work/err.txt"
rc=$?
set -e
read -r seconds peak_kb <"$work/time.txt"
found=$(($(wc -l <"$work/list.csv") - 1))
echo "kelvo-cli search: devices=$count found=$found exit=$rc wall=${seconds}s peak_rss=${peak_kb}KiB ($((peak_kb / 1024)) MiB)"
cat "$work/err.txt"
exit "$rc"
