#!/usr/bin/env bash
# "kelvo-cli set" for N simulated devices (default 100) through a real
# kelvo-relay: one command for all of them (--from FILE) beside the figure of
# one command per device, measured on a few devices and scaled to N.
# Everything runs on loopback addresses; every process is stopped at the end.
#
#   bench/tools/cli/set_bench.sh BUILD_DIR [N] [SINGLES]
set -euo pipefail

build=${1:?usage: set_bench.sh BUILD_DIR [N] [SINGLES]}
count=${2:-100}
singles=${3:-3}
source "$(dirname "$0")/lab.sh" "$build"

mac() { printf '02:4B:56:01:%02X:%02X' $(($1 / 256)) $(($1 % 256)); }

# count thermometers (type 2) on 127.0.160.x, ports chosen by the system
{
    printf '{"udp": "127.0.0.2:0", "devices": ['
    for ((i = 0; i < count; i++)); do
        ((i)) && printf ','
        printf '{"type": 2, "mac": "%s", "ip": "127.0.%d.%d", "port": 0, "setup_port": 0, "name": "Unit %d"}' \
            "$(mac "$i")" $((160 + i / 250)) $((1 + i % 250)) $((i + 1))
    done
    printf ']}\n'
} >"$work/fleet.json"

start_fleet "$work/fleet.json"
start_relay --devices "$fleet_udp"

now() { date +%s.%N; }

# One command per device, as before: a few of them, scaled to N.
start=$(now)
for ((i = 0; i < singles; i++)); do
    "$tools/kelvo-cli" set "$(mac "$i")" --name "Single $i" --relay "$relay" --no-names --quiet \
        >/dev/null
done
single=$(echo "($(now) - $start) / $singles" | bc -l)

# All of them in one command.
{
    echo "MAC,Name,Port"
    for ((i = 0; i < count; i++)); do echo "$(mac "$i"),Batch $i,"; done
} >"$work/fleet.csv"
set +e
timeout 600 /usr/bin/time -f '%e %M' -o "$work/time.txt" \
    "$tools/kelvo-cli" set --from "$work/fleet.csv" --relay "$relay" --no-names --quiet \
    >"$work/result.txt"
rc=$?
set -e
read -r batch peak_kb <"$work/time.txt"
confirmed=$(grep -c '  confirmed$' "$work/result.txt" || true)
per_device_total=$(echo "$single * $count" | bc -l)
printf 'kelvo-cli set, %d devices: one command %.1fs (exit %d, %d confirmed, peak_rss %sKiB); ' \
    "$count" "$batch" "$rc" "$confirmed" "$peak_kb"
printf 'one command per device %.1fs each -> %.0fs for all (measured on %d); ratio %.0fx\n' \
    "$single" "$per_device_total" "$singles" "$(echo "$per_device_total / $batch" | bc -l)"
exit "$rc"
