#!/usr/bin/env bash
# Time and peak memory of "kelvo-cli backup" against N simulated devices that
# all keep a setup document (default 100), through a real kelvo-relay.
# Everything runs on loopback addresses; every process is stopped at the end.
#
#   bench/tools/cli/backup_bench.sh BUILD_DIR [N]
set -euo pipefail

build=${1:?usage: backup_bench.sh BUILD_DIR [N]}
count=${2:-100}
source "$(dirname "$0")/lab.sh" "$build"

# count thermometers (type 2) on 127.0.150.x / 127.0.151.x, ports chosen by the system
{
    printf '{"udp": "127.0.0.2:0", "devices": ['
    for ((i = 0; i < count; i++)); do
        ((i)) && printf ','
        printf '{"type": 2, "ip": "127.0.%d.%d", "port": 0, "setup_port": 0, "name": "Unit %d"}' \
            $((150 + i / 250)) $((1 + i % 250)) $((i + 1))
    done
    printf ']}\n'
} >"$work/fleet.json"

start_fleet "$work/fleet.json"
start_relay --devices "$fleet_udp"

set +e
timeout 600 /usr/bin/time -f '%e %M' -o "$work/time.txt" \
    "$tools/kelvo-cli" backup "$work/backup" --relay "$relay" --quiet >"$work/summary.txt"
rc=$?
set -e
read -r seconds peak_kb <"$work/time.txt"
saved=$(find "$work/backup" -name '*.xml' | wc -l)
bytes=$(du -sb "$work/backup" | cut -f1)
tail -1 "$work/summary.txt"
echo "kelvo-cli backup: devices=$count saved=$saved exit=$rc wall=${seconds}s peak_rss=${peak_kb}KiB files=${bytes}B"
exit "$rc"
