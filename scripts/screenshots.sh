#!/usr/bin/env bash
# Takes the pictures of the README from the real program, in both interface languages,
# on a virtual X screen: the receive window fed by the simulated sensor board, the
# chart with a waveform, and the STM32 programmer during a run on the simulated
# bootloader. Writes docs/screenshot-{receive,chart,programmer}-{zh,en}.png.
#
#   bash scripts/screenshots.sh [BUILD_DIR]      (default build)
#
# Needs xvfb-run (xvfb), xdotool and ImageMagick's import/convert. The clicks go to
# fixed spots of the window at its default size (850x600 on a 1280x800 screen).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${1:-build}

if [ -z "${ZENTA_SHOTS_INSIDE:-}" ]; then
  for tool in xvfb-run xdotool import convert; do
    if ! command -v "$tool" >/dev/null; then
      echo "screenshots: '$tool' is missing (apt-get install xvfb xdotool imagemagick)" >&2
      exit 1
    fi
  done
  if [ ! -x "$BUILD/src/app/zenta" ] || [ ! -x "$BUILD/tools/devsim/devsim" ]; then
    cmake --build "$BUILD" --target zenta devsim
  fi
  # A screen of its own, so nothing else on the desktop shows up in the pictures. Without
  # -noreset the server resets whenever its last client leaves (between two pictures),
  # and a program connecting during the reset fails to start.
  ZENTA_SHOTS_INSIDE=1 exec xvfb-run -a -s '-screen 0 1280x800x24 -noreset' \
    bash "$0" "$BUILD"
fi

ZENTA="$ROOT/$BUILD/src/app/zenta"
DEVSIM="$ROOT/$BUILD/tools/devsim/devsim"
LINK=/tmp/ttyZENTASHOT
WORK=/tmp/zenta-shots
rm -rf "$WORK"
mkdir -p "$WORK"
SIM=""
APP=""

stop_all() {
  if [ -n "$APP" ]; then
    kill "$APP" 2>/dev/null || true
    wait "$APP" 2>/dev/null || true
    APP=""
  fi
  if [ -n "$SIM" ]; then
    kill "$SIM" 2>/dev/null || true
    wait "$SIM" 2>/dev/null || true
    SIM=""
  fi
}
trap 'stop_all; rm -rf "$WORK"' EXIT

# A 64 KiB program for the simulated chip, as an Intel HEX file.
python3 - "$WORK/blink.hex" <<'EOF'
import random, sys
random.seed(7)
data = bytes(random.getrandbits(8) for _ in range(65536))
def rec(kind, addr, payload):
    b = [len(payload), (addr >> 8) & 255, addr & 255, kind] + list(payload)
    return ':' + ''.join('%02X' % x for x in b) + '%02X' % (-sum(b) & 255)
lines = [rec(4, 0, b'\x08\x00')]
lines += [rec(0, a, data[a:a + 16]) for a in range(0, len(data), 16)]
lines.append(rec(1, 0, b''))
open(sys.argv[1], 'w').write('\r\n'.join(lines) + '\r\n')
EOF

# start_sim ARGS...: the simulator on $LINK, waiting until the link is there.
start_sim() {
  "$DEVSIM" "$@" --link "$LINK" --force --quiet &
  SIM=$!
  for _ in $(seq 50); do
    [ -e "$LINK" ] && return 0
    sleep 0.1
  done
  echo "screenshots: the simulator did not publish $LINK" >&2
  exit 1
}

# start_app LANG: zenta on the simulator with fresh settings; sets WID.
start_app() {
  local cfg="$WORK/config-$1-$RANDOM"
  mkdir -p "$cfg"
  "$ZENTA" "$LINK" --config-dir "$cfg" --lang "$1" 2>/dev/null &
  APP=$!
  WID=""
  for _ in $(seq 100); do
    WID=$(xdotool search --onlyvisible --name '^ZENTA' 2>/dev/null | head -1 || true)
    [ -n "$WID" ] && break
    sleep 0.1
  done
  if [ -z "$WID" ]; then
    echo "screenshots: zenta's window did not appear" >&2
    exit 1
  fi
  sleep 1
}

click() {
  xdotool mousemove --window "$WID" "$1" "$2" click 1
  sleep 0.3
}

# shot NAME: the main window alone, as a small PNG.
shot() {
  import -window "$WID" "$WORK/raw.png"
  convert "$WORK/raw.png" -strip -colors 128 "PNG8:docs/$1"
  echo "docs/$1 $(stat -c %s "docs/$1") bytes"
}

for lang in zh en; do
  # Spots of the controls whose place depends on the caption widths.
  if [ "$lang" = zh ]; then
    show_chart=341
    real_time=385
  else
    show_chart=314
    real_time=363
  fi

  # The receive window with text lines from the sensor board.
  start_sim telemetry --interval 400
  start_app "$lang"
  sleep 5
  shot "screenshot-receive-$lang.png"
  stop_all

  # The chart of a sine wave, the bytes shown as HEX beside it.
  start_sim telemetry --wave sine --wave-rate 200
  start_app "$lang"
  click 247 514       # HEX display
  sleep 4
  click "$real_time" 434
  click "$show_chart" 434
  sleep 2
  shot "screenshot-chart-$lang.png"
  stop_all

  # The programmer page two seconds into flashing 64 KiB; line timing and a USB
  # adapter's reply delay make the run last long enough to be seen.
  start_sim bootloader --line-timing --latency-ms 3
  start_app "$lang"
  click 796 434       # side panel
  click 682 16        # stm32ISP page
  click 20 434        # file name
  xdotool type --delay 5 "$WORK/blink.hex"
  click 691 48        # start
  sleep 2
  shot "screenshot-programmer-$lang.png"
  stop_all
done
