#!/usr/bin/env python3
"""Hostile load on a running kelvo-relay, from loopback only.

Floods the relay with malformed and valid datagrams for a bounded time while
one well-behaved client keeps searching through it, and samples the relay's
memory (VmRSS) and open descriptors from /proc. Prints the figures and exits
non-zero when the client went unserved or the memory grew.

    relay_flood.py --relay 127.0.0.1:PORT --pid PID --devices N [--seconds 60]
"""
import argparse
import os
import random
import socket
import struct
import sys
import threading
import time

SEARCH = b"\xff" * 6 + b"IIIIMMMMFFFFWWWWUC12345678(c)" + b"marvane.local"
MAX_DATAGRAMS = 5_000_000  # hard bound on what the flood sends, whatever the rate


def crc16(data):
    crc = 0
    for b in data:
        crc ^= b << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) & 0xFFFF if crc & 0x8000 else (crc << 1) & 0xFFFF
    return crc


def header(kind, payload, name=b"flood", crc=None):
    c = crc16(payload) if crc is None else crc
    return bytes([kind]) + name[:15].ljust(16, b"\0") + bytes([c & 0xFF, c >> 8]) + payload


def loopback(address):
    return address.startswith("127.")


class Flood(threading.Thread):
    """Sends a mix of malformed datagrams (and a few valid searches)."""

    def __init__(self, target, deadline, rate, valid_per_second, seed):
        super().__init__(daemon=True)
        self.target = target
        self.deadline = deadline
        self.rate = rate
        self.valid_per_second = valid_per_second
        self.rng = random.Random(seed)
        self.sent = 0
        self.valid = 0
        self.kinds = {}
        # A few prepared payloads: computing CRCs in Python for every datagram
        # would limit the rate more than the relay does.
        self.prepared = self.prepare()

    def prepare(self):
        r = self.rng
        out = []
        for _ in range(200):
            junk = bytes(r.randrange(256) for _ in range(r.randrange(0, 600)))
            out.append(("random", junk))
            out.append(("short_header", junk[: r.randrange(0, 19)]))
            out.append(("bad_crc", header(1, SEARCH, crc=(crc16(SEARCH) ^ 0x5A5A))))
            out.append(("bad_kind", header(r.choice([0, 3, 7, 255]), SEARCH)))
            short = junk[: r.randrange(0, 48)]
            out.append(("short_payload", header(1, short)))
            setup = bytes(r.randrange(256) for _ in range(r.randrange(48, 300)))
            out.append(("random_setup", header(2, setup)))
            # Any client name goes; a setup is forwarded and forgotten.
            out.append(("odd_name_setup", header(2, setup, name=bytes(r.randrange(1, 256) for _ in range(16)))))
        out.append(("oversize", header(1, b"\0" * 60000)))
        return out

    def run(self):
        socks = [socket.socket(socket.AF_INET, socket.SOCK_DGRAM) for _ in range(8)]
        for s in socks:
            s.bind(("127.0.0.1", 0))
            s.setblocking(False)
        valid = header(1, SEARCH)
        interval = 1.0 / self.rate
        next_valid = time.monotonic()
        start = time.monotonic()
        while time.monotonic() < self.deadline and self.sent < MAX_DATAGRAMS:
            now = time.monotonic()
            if self.valid_per_second and now >= next_valid:
                kind, data = "valid_search", valid
                next_valid = now + 1.0 / self.valid_per_second
                self.valid += 1
            else:
                kind, data = self.prepared[self.rng.randrange(len(self.prepared))]
            try:
                self.rng.choice(socks).sendto(data, self.target)
            except (BlockingIOError, OSError):
                pass
            self.sent += 1
            self.kinds[kind] = self.kinds.get(kind, 0) + 1
            # Pace to the rate: never a busy loop faster than asked.
            ahead = start + self.sent * interval - time.monotonic()
            if ahead > 0:
                time.sleep(ahead)
        for s in socks:
            s.close()


def client_search(target, devices, timeout):
    """One search through the relay; the number of distinct devices answering."""
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", 0))
    s.settimeout(0.2)
    s.sendto(header(1, SEARCH, name=b"Mvx-Config"), target)
    macs = set()
    end = time.monotonic() + timeout
    while time.monotonic() < end and len(macs) < devices:
        try:
            data, source = s.recvfrom(2048)
        except socket.timeout:
            continue
        if source == target and len(data) >= 48:
            macs.add(data[:6])
    s.close()
    return len(macs)


def proc_figures(pid):
    rss = None
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                rss = int(line.split()[1])
    fds = len(os.listdir(f"/proc/{pid}/fd"))
    return rss, fds


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--relay", required=True, help="ADDR:PORT of the relay (loopback)")
    ap.add_argument("--pid", type=int, required=True, help="process id of the relay")
    ap.add_argument("--devices", type=int, required=True, help="devices behind the relay")
    ap.add_argument("--seconds", type=float, default=60)
    ap.add_argument("--rate", type=float, default=20000, help="flood datagrams per second")
    ap.add_argument("--valid-rate", type=float, default=50,
                    help="valid searches per second in the flood (each holds a relay slot for its linger time)")
    a = ap.parse_args()
    host, port = a.relay.rsplit(":", 1)
    if not loopback(host):
        sys.exit("relay_flood: the relay must be on a 127.x.x.x address")
    a.seconds = min(max(a.seconds, 1), 3600)
    target = (host, int(port))

    rss0, fds0 = proc_figures(a.pid)
    # Warm up: the first searches settle the relay's allocations.
    for _ in range(3):
        client_search(target, a.devices, 2.0)
    rss_warm, fds_warm = proc_figures(a.pid)

    deadline = time.monotonic() + a.seconds
    floods = [Flood(target, deadline, a.rate / 2, a.valid_rate / 2, seed) for seed in (1, 2)]
    for f in floods:
        f.start()
    searches = served = partly = 0
    samples = []
    while time.monotonic() < deadline:
        found = client_search(target, a.devices, 2.0)
        searches += 1
        served += found == a.devices
        partly += 0 < found < a.devices
        samples.append(proc_figures(a.pid))
        time.sleep(0.5)
    for f in floods:
        f.join()
    time.sleep(2.5)  # let the relay's pending searches run out
    rss_end, fds_end = proc_figures(a.pid)

    sent = sum(f.sent for f in floods)
    kinds = {}
    for f in floods:
        for k, v in f.kinds.items():
            kinds[k] = kinds.get(k, 0) + v
    rss_values = [s[0] for s in samples]
    print(f"flood: {sent} datagrams in {a.seconds:.0f} s ({sent / a.seconds:.0f}/s), of them "
          + ", ".join(f"{k} {v}" for k, v in sorted(kinds.items())))
    print(f"client: {served}/{searches} searches answered by all {a.devices} devices, "
          f"{partly} by some, {searches - served - partly} by none")
    print(f"relay VmRSS kB: start {rss0}, after warm-up {rss_warm}, during min {min(rss_values)} "
          f"max {max(rss_values)}, end {rss_end}")
    print(f"relay open fds: start {fds0}, after warm-up {fds_warm}, during max {max(s[1] for s in samples)}, end {fds_end}")
    # UDP under overload may lose a datagram here and there (the client does
    # not repeat its request); a starved client or growing memory fails.
    ok = served >= 0.9 * searches and rss_end <= rss_warm + 2048 and fds_end <= fds_warm
    print("relay flood:", "OK" if ok else "FAILED")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
