#!/usr/bin/env python3
"""Receive cost at an everyday rate, and memory after a flood.

Feeds a pseudo-terminal at 200,000 B/s (2,000 bytes of 80-character text lines every
10 ms) for 30 s into the zenta program (window shown on the offscreen platform, port
opened from its settings file), in text and in HEX display, and reports the program's
CPU use from /proc/PID/stat. The same feed into `cat` (a plain reader) runs in the same
invocation as the reference.

With --flood, also runs the end-to-end flood benchmark once per display mode, each in
its own process, and reports its throughput, the raw pty ceiling and the peak RSS.

  bench/paced_receive.py build/src/app/zenta [--seconds 30] [--flood build/bench/e2e_receive_bench]
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time
import tty

CLK_TCK = os.sysconf("SC_CLK_TCK")


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def holds(pid, path):
    try:
        for fd in os.listdir(f"/proc/{pid}/fd"):
            try:
                if os.readlink(f"/proc/{pid}/fd/{fd}") == path:
                    return True
            except OSError:
                pass
    except OSError:
        pass
    return False


def text_lines(total):
    line = bytes((ord("0") + (i % 75)) for i in range(78)) + b"\r\n"
    out = bytearray()
    n = 0
    while len(out) < total:
        out += b"%06d " % n + line[7:]
        n += 1
    return bytes(out[:total])


def write_settings(folder, port, hex_display):
    lines = [
        "N100=,English",
        "N80=," + port,
        "N81=,115200",
        "N59=," + ("Y" if hex_display else "N"),
        ";end",
    ]
    with open(os.path.join(folder, "zenta5.ini"), "wb") as f:
        f.write("\r\r\n".join(lines).encode("gb18030"))


def paced_feed(master, pid, seconds, chunk=2000, period=0.010):
    """Writes `chunk` bytes every `period` s; returns the reader's CPU % over the feed."""
    payload = text_lines(chunk * 100)
    t0 = time.monotonic()
    c0 = cpu_ticks(pid)
    next_at = t0
    i = 0
    while True:
        now = time.monotonic()
        if now - t0 >= seconds:
            break
        if next_at > now:
            time.sleep(next_at - now)
        off = (i % 100) * chunk
        os.write(master, payload[off:off + chunk])
        i += 1
        next_at += period
    wall = time.monotonic() - t0
    return 100.0 * (cpu_ticks(pid) - c0) / CLK_TCK / wall


def open_pty():
    master, slave = os.openpty()
    tty.setraw(slave)
    return master, slave, os.ttyname(slave)


def run_zenta(zenta, seconds, hex_display, idle_seconds):
    master, slave, path = open_pty()
    # Published as a /tmp/tty* link, the way a simulator publishes a virtual port.
    link = f"/tmp/ttyZENTA_paced_{os.getpid()}"
    if os.path.lexists(link):
        os.unlink(link)
    os.symlink(path, link)
    with tempfile.TemporaryDirectory() as folder:
        write_settings(folder, link, hex_display)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", ZENTA_CONFIG_DIR=folder)
        proc = subprocess.Popen([zenta], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 20
            while not holds(proc.pid, path) and time.monotonic() < deadline:
                time.sleep(0.05)
            if not holds(proc.pid, path):
                return None, None
            os.close(slave)
            time.sleep(2)  # start-up work settles
            c0 = cpu_ticks(proc.pid)
            time.sleep(idle_seconds)
            idle = 100.0 * (cpu_ticks(proc.pid) - c0) / CLK_TCK / idle_seconds
            busy = paced_feed(master, proc.pid, seconds)
            return busy, idle
        finally:
            proc.terminate()
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                proc.kill()
            os.close(master)
            os.unlink(link)


def run_cat(seconds):
    master, slave, path = open_pty()
    proc = subprocess.Popen(["cat", path], stdout=subprocess.DEVNULL)
    try:
        while not holds(proc.pid, path):
            time.sleep(0.02)
        os.close(slave)
        return paced_feed(master, proc.pid, seconds)
    finally:
        proc.kill()
        proc.wait()
        os.close(master)


def run_flood(bench, nbytes, mode):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    out = subprocess.run([bench, str(nbytes), mode], env=env, capture_output=True, text=True)
    return out.stdout.strip()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("zenta")
    ap.add_argument("--seconds", type=float, default=30)
    ap.add_argument("--idle", type=float, default=5)
    ap.add_argument("--flood", help="path of e2e_receive_bench")
    ap.add_argument("--flood-bytes", type=int, default=128 << 20)
    args = ap.parse_args()

    print(f"paced feed: 200000 B/s in 2000-byte writes every 10 ms, {args.seconds:.0f} s each")
    ref = run_cat(args.seconds)
    print(f"  cat (plain reader)   : {ref:5.1f} % CPU")
    for hex_display in (False, True):
        busy, idle = run_zenta(args.zenta, args.seconds, hex_display, args.idle)
        name = "HEX " if hex_display else "text"
        if busy is None:
            print(f"  zenta {name}           : port did not open")
            continue
        print(f"  zenta {name} display   : {busy:5.1f} % CPU   (idle, port open: {idle:4.1f} %)")
    sys.stdout.flush()
    if args.flood:
        print(f"flood: {args.flood_bytes} bytes, one process per display mode")
        for mode in ("text", "hex"):
            print(run_flood(args.flood, args.flood_bytes, mode))
            sys.stdout.flush()


if __name__ == "__main__":
    main()
