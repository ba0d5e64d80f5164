#!/usr/bin/env python3
"""Where a programming run's time goes: the simulated chip and line, or the program.

Runs stm32flash and `zenta --flash` in alternating rounds against one devsim bootloader
that writes a trace (--trace), and splits each run's time on the port into:
  - host: from each reply of the chip to the program's next write. Between its start and
    its end this is the only part of a run the program decides: the chip's and the
    line's part is simulated and the same for both programs when they send the same
    exchanges;
  - start: from starting the command to its first write on the port (process start,
    opening and setting up the port); end: from the chip's last reply to the command's
    exit (closing the port, process exit);
  - replies: the replies the chip sent (both programs should need the same number);
  - wall: the whole command, process start and exit included.
Medians over the rounds, side by side.

  bench/isp_host_time.py build/tools/devsim/devsim build/src/app/zenta
      [--chip f1] [--kib 64] [--latency-ms 0] [--rounds 5] [--verify] [--same-file]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def image_bytes(size):
    return bytes(((i * 13 + (i >> 9)) & 0xFF) for i in range(size))


def hex_text(data, base=0x08000000):
    lines = []

    def record(kind, address, payload):
        fields = bytes([len(payload), (address >> 8) & 0xFF, address & 0xFF, kind]) + payload
        check = (-sum(fields)) & 0xFF
        lines.append(":" + (fields + bytes([check])).hex().upper())

    upper = None
    for offset in range(0, len(data), 16):
        address = base + offset
        if address >> 16 != upper:
            upper = address >> 16
            record(4, 0, upper.to_bytes(2, "big"))
        record(0, address & 0xFFFF, data[offset:offset + 16])
    record(1, 0, b"")
    return "\n".join(lines) + "\n"


def read_events(trace, offset):
    """The events of the run that ended last, once the simulator saw the port closed."""
    for _ in range(200):
        with open(trace) as f:
            f.seek(offset)
            text = f.read()
        close = text.find("close ")
        if close >= 0:
            break
        time.sleep(0.005)
    else:
        return [], offset
    end = text.find("\n", close) + 1 or len(text)
    text = text[:end]
    events = []
    for line in text.splitlines():
        parts = line.split()
        if len(parts) >= 2:
            events.append((parts[0], int(parts[1]), int(parts[2]) if len(parts) > 2 else 0))
    return events, offset + len(text.encode())


def edges(events, started, ended):
    """Seconds from the command's start to its first write, and from the last reply to exit."""
    first = next((t for kind, t, _ in events if kind == "rx"), None)
    last = next((t for kind, t, _ in reversed(events) if kind == "tx"), None)
    if first is None or last is None:
        return 0.0, 0.0
    return first / 1e6 - started, ended - last / 1e6


def host_time(events):
    """Microseconds from the chip's replies to the program's next writes, and the replies."""
    host = 0
    replies = 0
    last = None  # the last reply, while the program's next write is awaited
    for kind, t, _ in events:
        if kind == "tx":
            replies += 1
            last = t
        elif kind == "rx":
            if last is not None:
                host += t - last
            last = None
        else:
            last = None  # the port closed: the next run starts afresh
    return host, replies


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("devsim")
    ap.add_argument("zenta", nargs="+")
    ap.add_argument("--chip", default="f1")
    ap.add_argument("--kib", type=int, default=64)
    ap.add_argument("--latency-ms", type=int, default=0)
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--verify", action="store_true")
    ap.add_argument("--same-file", action="store_true",
                    help="give stm32flash the HEX file zenta reads instead of the binary")
    args = ap.parse_args()

    tmp = tempfile.mkdtemp(prefix="isp_host_")
    data = image_bytes(args.kib * 1024)
    binary = os.path.join(tmp, "image.bin")
    hexfile = os.path.join(tmp, "image.hex")
    with open(binary, "wb") as f:
        f.write(data)
    with open(hexfile, "w") as f:
        f.write(hex_text(data))
    link = os.path.join(tmp, "tty")
    trace = os.path.join(tmp, "trace")
    sim = subprocess.Popen([args.devsim, "bootloader", "--quiet", "--line-timing",
                            "--latency-ms", str(args.latency_ms), "--chip", args.chip,
                            "--link", link, "--trace", trace])
    for _ in range(500):
        if os.path.exists(link) and os.path.exists(trace):
            break
        time.sleep(0.01)

    tools = {"stm32flash": ["stm32flash", "-m", "8n1", "-b", "460800", "-w",
                            hexfile if args.same_file else binary]
             + (["-v"] if args.verify else []) + ["-g", "0x0", link]}
    for i, program in enumerate(args.zenta):
        name = "zenta" if len(args.zenta) == 1 else f"zenta{i + 1}"
        tools[name] = [program, "--flash", hexfile, link, "--baud", "460800", "--erase",
                       "pages", "--no-reset"] + ([] if args.verify else ["--no-verify"])
    figures = {name: {"wall": [], "host": [], "replies": [], "start": [], "end": []}
               for name in tools}
    offset = 0
    try:
        for _ in range(args.rounds):
            for name, cmd in tools.items():
                t0 = time.monotonic()
                done = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                t1 = time.monotonic()
                wall = t1 - t0
                if done.returncode != 0:
                    sys.exit(f"{name} failed with {done.returncode}")
                events, offset = read_events(trace, offset)
                host, replies = host_time(events)
                figures[name]["wall"].append(wall)
                figures[name]["host"].append(host / 1e6)
                figures[name]["replies"].append(replies)
                start, end = edges(events, t0, t1)
                figures[name]["start"].append(start)
                figures[name]["end"].append(end)
    finally:
        sim.terminate()
        sim.wait()
        shutil.rmtree(tmp, ignore_errors=True)

    print(f"{args.kib} KiB on {args.chip}, {args.latency_ms} ms latency, "
          f"verify {'on' if args.verify else 'off'}, medians of {args.rounds}")
    print(f"{'program':<12} {'wall s':>8} {'host s':>8} {'start ms':>9} {'end ms':>7} "
          f"{'replies':>8}   wall s per round")
    for name, f in figures.items():
        med = {k: statistics.median(v) for k, v in f.items()}
        rounds = " ".join(f"{w:.3f}" for w in f["wall"])
        print(f"{name:<12} {med['wall']:8.3f} {med['host']:8.4f} {med['start'] * 1e3:9.1f} "
              f"{med['end'] * 1e3:7.1f} {med['replies']:8.0f}   {rounds}")


if __name__ == "__main__":
    main()
