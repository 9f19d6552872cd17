#!/usr/bin/env bash
# "kelvo-cli watch" over N simulated devices (default 10000) through a real
# kelvo-relay, a search every S seconds (default 15) for D seconds (default
# 300; 3600 for the hour). Five known devices live in a kelvo-devsim of their
# own: in each round one of them gets a new IP by a real "kelvo-cli set", then
# the five go silent (their simulator stopped) and come back (started again
# with the addresses they have now). Prints the events counted against the
# real changes, the RSS of watch after its first search and at the end, and
# its CPU time per refresh. Everything runs on loopback; every process is
# stopped at the end.
#
#   bench/tools/cli/watch_bench.sh BUILD_DIR [N] [S] [D]
set -euo pipefail

build=${1:?usage: watch_bench.sh BUILD_DIR [N] [S] [D]}
count=${2:-10000}
interval=${3:-15}
duration=${4:-300}
source "$(dirname "$0")/lab.sh" "$build"
known=5
rest=$((count - known))

relay_args=()
start_serial_fleets "$rest"

# The five known devices, written with the addresses they have now.
ips=(127.0.230.1 127.0.230.2 127.0.230.3 127.0.230.4 127.0.230.5)
known_udp="127.0.0.9:0"
write_known() {
    {
        printf '{"udp": "%s", "devices": [' "$known_udp"
        for ((k = 0; k < known; k++)); do
            ((k)) && printf ','
            printf '{"type": 7, "mac": "02:4B:56:0F:00:%02X", "ip": "%s", "port": 0, "setup_port": 0}' \
                $((k + 1)) "${ips[k]}"
        done
        printf ']}\n'
    } >"$work/known.json"
}
write_known
start_fleet "$work/known.json"
known_pid=${pids[-1]}
known_udp=$fleet_udp
relay_args+=(--devices "$known_udp")
start_relay "${relay_args[@]}"

events="$work/events.jsonl"
"$tools/kelvo-cli" watch --format json --interval "$interval" --relay "$relay" --quiet \
    --inventory "$work/inventory.json" >"$events" 2>"$work/watch.err" &
watch_pid=$!
pids+=("$watch_pid")

count_of() { grep -c "\"event\":\"$1\"" "$events" || true; }
# Waits (at most `2`: seconds) until `1` events of the kind in `3` are out.
wait_for() {
    local until=$((SECONDS + $2))
    while (($(count_of "$3") < $1 && SECONDS < until)); do sleep 0.5; done
}
rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$watch_pid/status"; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$watch_pid/stat"; }

begin=$SECONDS
wait_for "$count" 120 appeared
first_search=$((SECONDS - begin))
rss_start=$(rss_kb)
cpu_start=$(cpu_ticks)
steady=$SECONDS
changes=0
rounds=0
rss_rounds=""
while ((SECONDS - begin + 9 * interval < duration)); do
    rounds=$((rounds + 1))
    k=$(((rounds - 1) % known))
    ips[k]="127.0.231.$rounds"
    "$tools/kelvo-cli" set "02:4B:56:0F:00:$(printf %02X $((k + 1)))" --ip "${ips[k]}" \
        --relay "$relay" --yes --quiet --no-names >/dev/null 2>>"$work/set.err" &&
        changes=$((changes + 1))
    wait_for "$changes" $((4 * interval)) changed
    kill "$known_pid"
    wait "$known_pid" 2>/dev/null || true
    wait_for $((rounds * known)) $((6 * interval)) gone
    write_known
    rm -f "$work/known.json.out"
    start_fleet "$work/known.json"
    known_pid=${pids[-1]}
    wait_for $((rounds * known)) $((3 * interval)) back
    rss_rounds+=" $(rss_kb)"
done
while ((SECONDS - begin < duration)); do sleep 1; done
rss_end=$(rss_kb)
cpu_end=$(cpu_ticks)
refreshes=$(((SECONDS - steady) / interval))
kill "$watch_pid"
wait "$watch_pid" && rc=0 || rc=$?

hz=$(getconf CLK_TCK)
appeared=$(count_of appeared)
changed=$(count_of changed)
gone=$(count_of gone)
back=$(count_of back)
echo "kelvo-cli watch: devices=$count interval=${interval}s duration=${duration}s first_search=${first_search}s exit=$rc"
echo "events: appeared=$appeared (expected $count) changed=$changed (expected $changes)" \
    "gone=$gone back=$back (expected $((rounds * known)) each, $rounds rounds)"
if ((appeared == count && changed == changes && gone == rounds * known && back == rounds * known)); then
    echo "exactly one event per real change: yes"
else
    echo "exactly one event per real change: NO"
fi
echo "rss: after the first search ${rss_start} KiB, after each round${rss_rounds} KiB, at the end ${rss_end} KiB"
echo "cpu per refresh: $(awk -v t=$((cpu_end - cpu_start)) -v n="$refreshes" -v hz="$hz" \
    'BEGIN {printf "%.3f s (%d refreshes)", n ? t / hz / n : 0, n}')"
cat "$work/watch.err" "$work/set.err" 2>/dev/null | sort | uniq -c | head -5
