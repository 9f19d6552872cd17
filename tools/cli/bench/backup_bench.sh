#!/usr/bin/env bash
# Time and peak memory of "kelvo-cli backup" against N simulated devices that
# all keep a setup document (default 100), through a real kelvo-relay.
# Everything runs on loopback addresses; every process is stopped at the end.
#
#   tools/cli/bench/backup_bench.sh BUILD_DIR [N]
set -euo pipefail

build=${1:?usage: backup_bench.sh BUILD_DIR [N]}
count=${2:-100}
tools="$build/tools"
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

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

"$tools/kelvo-devsim" --fleet "$work/fleet.json" >"$work/devsim.out" &
pids+=($!)
for _ in $(seq 100); do [[ -s "$work/devsim.out" ]] && break; sleep 0.1; done
fleet_udp=$(head -1 "$work/devsim.out" | grep -o '127\.[0-9.]*:[0-9]*' | head -1)
[[ -n "$fleet_udp" ]] || { echo "kelvo-devsim did not start" >&2; exit 1; }

"$tools/kelvo-relay" --listen 127.0.0.1:0 --devices "$fleet_udp" --verbose 0 >"$work/relay.out" &
pids+=($!)
for _ in $(seq 100); do [[ -s "$work/relay.out" ]] && break; sleep 0.1; done
relay=$(head -1 "$work/relay.out" | grep -o '127\.[0-9.]*:[0-9]*' | head -1)
[[ -n "$relay" ]] || { echo "kelvo-relay did not start" >&2; exit 1; }

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
