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

# kelvo-devsim serves at most 5000 devices: one process per 5000.
relay_args=()
for ((part = 0; part * 5000 < count; part++)); do
    n=$((count - part * 5000 < 5000 ? count - part * 5000 : 5000))
    {
        printf '{"udp": "127.0.0.%d:0", "devices": [' $((2 + part))
        for ((k = 0; k < n; k++)); do
            i=$((part * 5000 + k))
            ((k)) && printf ','
            printf '{"type": 7, "mac": "02:4B:56:02:%02X:%02X", "ip": "127.0.%d.%d", "port": 0, "setup_port": 0}' \
                $((i / 256)) $((i % 256)) $((170 + i / 250)) $((1 + i % 250))
        done
        printf ']}\n'
    } >"$work/fleet$part.json"
    start_fleet "$work/fleet$part.json"
    relay_args+=(--devices "$fleet_udp")
done

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
