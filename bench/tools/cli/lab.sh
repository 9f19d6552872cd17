# The device lab of the kelvo-cli benchmarks, sourced by them: a work folder,
# kelvo-devsim fleets and a kelvo-relay on loopback, all stopped at exit.
#   source lab.sh BUILD_DIR;  start_fleet FILE.json;  start_relay --devices "$fleet_udp"
tools="${1:?usage: source lab.sh BUILD_DIR}/tools"
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Waits for the first "127.x.x.x:PORT" a program prints to FILE; prints it.
endpoint_of() {
    for _ in $(seq 600); do [[ -s "$1" ]] && break; sleep 0.1; done
    grep -o '127\.[0-9.]*:[0-9]*' "$1" | head -1 || true
}

# Starts kelvo-devsim on a fleet file; sets $fleet_udp to its UDP endpoint.
start_fleet() {
    local out="$1.out"
    "$tools/kelvo-devsim" --fleet "$1" >"$out" 2>&1 &
    pids+=($!)
    fleet_udp=$(endpoint_of "$out")
    [[ -n "$fleet_udp" ]] || { echo "kelvo-devsim did not start: $(head -3 "$out")" >&2; exit 1; }
}

# Starts kelvo-relay on 127.0.0.1 with the given arguments; sets $relay.
start_relay() {
    "$tools/kelvo-relay" --listen 127.0.0.1:0 "$@" --verbose 0 >"$work/relay.out" &
    pids+=($!)
    relay=$(endpoint_of "$work/relay.out")
    [[ -n "$relay" ]] || { echo "kelvo-relay did not start" >&2; exit 1; }
}

# Starts N serial converters (no web server, so each needs one listener) from
# 127.0.170.1, MACs 02:4B:56:02:xx:xx, in one kelvo-devsim per 5000 (its
# limit); appends "--devices ENDPOINT" of each to the array relay_args.
start_serial_fleets() {
    local count=$1 part n k i
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
}
