#!/usr/bin/env bash
# Devices found, wall time and peak memory of "kelvo-cli search" against N
# simulated devices (default 10000) through a real kelvo-relay. The devices
# are serial converters (no web server), so each needs one listener. Everything runs on loopback; every process is stopped at the end.
#
#   tools/cli/bench/search_bench.sh BUILD_DIR [N]
set -euo pipefail

build=${1:?usage: search_bench.sh BUILD_DIR [N]}
count=${2:-10000}
tools="$build/tools"
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

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
    "$tools/kelvo-devsim" --fleet "$work/fleet$part.json" >"$work/devsim$part.out" 2>&1 &
    pids+=($!)
    for _ in $(seq 600); do [[ -s "$work/devsim$part.out" ]] && break; sleep 0.1; done
    fleet_udp=$(grep -o '127\.[0-9.]*:[0-9]*' "$work/devsim$part.out" | head -1 || true)
    [[ -n "$fleet_udp" ]] || { echo "kelvo-devsim did not start: $(head -3 "$work/devsim$part.out")" >&2; exit 1; }
    relay_args+=(--devices "$fleet_udp")
done

"$tools/kelvo-relay" --listen 127.0.0.1:0 "${relay_args[@]}" --verbose 0 >"$work/relay.out" &
pids+=($!)
for _ in $(seq 100); do [[ -s "$work/relay.out" ]] && break; sleep 0.1; done
relay=$(grep -o '127\.[0-9.]*:[0-9]*' "$work/relay.out" | head -1 || true)
[[ -n "$relay" ]] || { echo "kelvo-relay did not start" >&2; exit 1; }

set +e
timeout 300 /usr/bin/time -f '%e %M' -o "$work/time.txt" \
    "$tools/kelvo-cli" search --format csv --relay "$relay" --quiet >"$work/list.csv" 2>"$work/err.txt"
rc=$?
set -e
read -r seconds peak_kb <"$work/time.txt"
found=$(($(wc -l <"$work/list.csv") - 1))
echo "kelvo-cli search: devices=$count found=$found exit=$rc wall=${seconds}s peak_rss=${peak_kb}KiB ($((peak_kb / 1024)) MiB)"
[[ -s "$work/err.txt" ]] && cat "$work/err.txt"
exit "$rc"
