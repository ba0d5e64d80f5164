#!/usr/bin/env python3
"""Receive cost at an everyday rate, and memory after a flood.

Feeds a pseudo-terminal at 200,000 B/s (2,000 bytes of 80-character lines every 10 ms)
into the zenta program (window shown, port opened from its settings file) and reports
the program's CPU use over the feed and while idle with the port open before it. The
same feed into `cat` (a plain reader) runs in the same invocation as the reference.

Display modes: text and HEX of ASCII lines, UTF-8 text with CJK characters, and
coloured UTF-8 log lines (colour sequences shown as colours). Several programs can be
given (for example a reference build and a new one): every repeat runs each program in
each mode one after the other, so a noisy machine loads them alike; medians are shown.

With --flood, also runs the end-to-end flood benchmark once per display mode, each in
its own process, and reports its throughput, the raw pty ceiling and the peak RSS.

  bench/paced_receive.py build/src/app/zenta [other/zenta ...] [--seconds 30]
      [--modes text,hex,utf8,colour] [--repeat 3] [--platform xcb]
      [--flood build/bench/e2e_receive_bench]
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
import tty

CLK_TCK = os.sysconf("SC_CLK_TCK")
MODES = ("text", "hex", "utf8", "colour")


def cpu_seconds(pid):
    """CPU time of every live thread of `pid`, from the scheduler's nanosecond counts."""
    total = 0
    try:
        for tid in os.listdir(f"/proc/{pid}/task"):
            try:
                with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                    total += int(f.read().split()[0])
            except OSError:
                pass
    except OSError:
        pass
    if total:
        return total / 1e9
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLK_TCK  # utime + stime


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


def ascii_lines(total):
    line = bytes((ord("0") + (i % 75)) for i in range(78)) + b"\r\n"
    out = bytearray()
    n = 0
    while len(out) < total:
        out += b"%06d " % n + line[7:]
        n += 1
    return bytes(out[:total])


def utf8_lines(total):
    words = ["温度", "湿度", "压力", "Grüße", "naïve", "设备就绪", "电压", "café", "数据", "ok"]
    out = bytearray()
    n = 0
    while len(out) < total:
        body = "%06d " % n
        k = n
        while len(body) < 60:
            body += words[k % len(words)] + "=" + str(k % 997) + " "
            k += 7
        out += body.encode("utf-8") + b"\r\n"
        n += 1
    return bytes(out[:total])


def colour_lines(total):
    levels = [("\x1b[0;32m", "I"), ("\x1b[0;33m", "W"), ("\x1b[0;31m", "E"), ("", "D")]
    tags = ["wifi", "传感器", "main", "mqtt", "电源"]
    out = bytearray()
    n = 0
    while len(out) < total:
        colour, level = levels[n % len(levels)]
        tag = tags[n % len(tags)]
        msg = "reading %d: 温度=%d.%d°C humidity=%d%% state ✓" % (n, n % 40, n % 10, n % 100)
        line = "%s%s (%d) %s: %s" % (colour, level, n * 10, tag, msg)
        if colour:
            line += "\x1b[0m"
        out += line.encode("utf-8") + b"\r\n"
        n += 1
    # The repeated feed must not cut a sequence or a character: whole lines only.
    cut = out.rfind(b"\r\n", 0, total) + 2
    return bytes(out[:cut])


def payload(mode, total):
    if mode == "utf8":
        return utf8_lines(total)
    if mode == "colour":
        return colour_lines(total)
    return ascii_lines(total)


def write_settings(folder, port, mode):
    lines = [
        "N100=,English",
        "N80=," + port,
        "N81=,115200",
        "N59=," + ("Y" if mode == "hex" else "N"),
        ";end",
    ]
    with open(os.path.join(folder, "zenta5.ini"), "wb") as f:
        f.write("\r\r\n".join(lines).encode("gb18030"))
    encoding = "UTF-8" if mode in ("utf8", "colour") else "GB18030"
    with open(os.path.join(folder, "zenta-ext.ini"), "w") as f:
        f.write(f"[receive]\nencoding={encoding}\nansiColours=true\n")


def paced_feed(master, pid, seconds, data, chunk=2000, period=0.010):
    """Writes about `chunk` bytes every `period` s; returns the reader's CPU % over the feed."""
    t0 = time.monotonic()
    c0 = cpu_seconds(pid)
    next_at = t0
    off = 0
    while True:
        now = time.monotonic()
        if now - t0 >= seconds:
            break
        if next_at > now:
            time.sleep(next_at - now)
        piece = data[off:off + chunk]
        off += chunk
        if off >= len(data):
            off = 0
        os.write(master, piece)
        next_at += period
    wall = time.monotonic() - t0
    return 100.0 * (cpu_seconds(pid) - c0) / wall


def open_pty():
    master, slave = os.openpty()
    tty.setraw(slave)
    return master, slave, os.ttyname(slave)


def run_zenta(zenta, seconds, mode, idle_seconds, platform):
    master, slave, path = open_pty()
    # Published as a /tmp/tty* link, the way a simulator publishes a virtual port.
    link = f"/tmp/ttyZENTA_paced_{os.getpid()}"
    if os.path.lexists(link):
        os.unlink(link)
    os.symlink(path, link)
    data = payload(mode, 2000 * 100)
    with tempfile.TemporaryDirectory() as folder:
        write_settings(folder, link, mode)
        env = dict(os.environ, QT_QPA_PLATFORM=platform, ZENTA_CONFIG_DIR=folder)
        proc = subprocess.Popen([zenta], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 20
            while not holds(proc.pid, path) and time.monotonic() < deadline:
                time.sleep(0.05)
            if not holds(proc.pid, path):
                return None, None
            os.close(slave)
            slave = None
            time.sleep(2)  # start-up work settles
            idle = None
            if idle_seconds > 0:
                c0 = cpu_seconds(proc.pid)
                time.sleep(idle_seconds)
                idle = 100.0 * (cpu_seconds(proc.pid) - c0) / idle_seconds
            busy = paced_feed(master, proc.pid, seconds, data)
            return busy, idle
        finally:
            proc.terminate()
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                proc.kill()
            if slave is not None:
                os.close(slave)
            os.close(master)
            os.unlink(link)


def run_cat(seconds):
    master, slave, path = open_pty()
    proc = subprocess.Popen(["cat", path], stdout=subprocess.DEVNULL)
    try:
        while not holds(proc.pid, path):
            time.sleep(0.02)
        os.close(slave)
        return paced_feed(master, proc.pid, seconds, ascii_lines(2000 * 100))
    finally:
        proc.kill()
        proc.wait()
        os.close(master)


def run_flood(bench, nbytes, mode, platform):
    env = dict(os.environ, QT_QPA_PLATFORM=platform)
    out = subprocess.run([bench, str(nbytes), mode], env=env, capture_output=True, text=True)
    return out.stdout.strip()


def fmt(values):
    values = [v for v in values if v is not None]
    if not values:
        return "   -  "
    return f"{statistics.median(values):6.2f}"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("zenta", nargs="+", help="programs to compare, run alternately")
    ap.add_argument("--seconds", type=float, default=30)
    ap.add_argument("--idle", type=float, default=5)
    ap.add_argument("--modes", default="text,hex", help="of " + ",".join(MODES))
    ap.add_argument("--repeat", type=int, default=1)
    ap.add_argument("--platform", default="offscreen",
                    help="Qt platform: offscreen, or xcb (uses DISPLAY)")
    ap.add_argument("--flood", help="path of e2e_receive_bench")
    ap.add_argument("--flood-bytes", type=int, default=128 << 20)
    args = ap.parse_args()
    modes = [m for m in args.modes.split(",") if m]
    for m in modes:
        if m not in MODES:
            ap.error(f"unknown mode {m}")

    print(f"paced feed: 200000 B/s in 2000-byte writes every 10 ms, {args.seconds:.0f} s each, "
          f"{args.platform} platform, {args.repeat} repeat(s), medians")
    ref = run_cat(args.seconds)
    print(f"  cat (plain reader): {ref:5.2f} % CPU")
    sys.stdout.flush()
    busy = {(z, m): [] for z in args.zenta for m in modes}
    idle = {(z, m): [] for z in args.zenta for m in modes}
    for r in range(args.repeat):
        for m in modes:
            for z in args.zenta:
                b, i = run_zenta(z, args.seconds, m, args.idle, args.platform)
                if b is None:
                    print(f"  {z} {m}: port did not open")
                    continue
                busy[(z, m)].append(b)
                idle[(z, m)].append(i)
                print(f"  [{r + 1}] {m:6} {z}: {b:6.2f} % CPU, idle {i if i is not None else 0:5.3f} %",
                      file=sys.stderr)
    print(f"  {'mode':6}  {'paced % CPU':>12}  {'idle % CPU':>11}  program")
    for m in modes:
        for z in args.zenta:
            print(f"  {m:6}  {fmt(busy[(z, m)]):>12}  {fmt(idle[(z, m)]):>11}  {z}")
    sys.stdout.flush()
    if args.flood:
        print(f"flood: {args.flood_bytes} bytes, one process per display mode")
        for mode in ("ascii", "hex", "text", "log"):
            print(run_flood(args.flood, args.flood_bytes, mode, args.platform))
            sys.stdout.flush()


if __name__ == "__main__":
    main()
