#!/usr/bin/env bash
# Installs what is missing, builds zenta and the device simulator, and starts zenta.
# Without serial hardware a simulated telemetry board is published at /tmp/ttyZENTA0
# first, so there is data to watch; it stops when zenta exits.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target zenta devsim -j "$(nproc)"

# USB adapters are what people plug boards into; built-in ttyS ports of a desktop or a
# virtual machine are usually not connected to anything.
has_serial_hardware() {
  compgen -G '/dev/ttyUSB*' >/dev/null && return 0
  compgen -G '/dev/ttyACM*' >/dev/null && return 0
  return 1
}

SIM_PID=""
stop_simulator() {
  if [ -n "$SIM_PID" ]; then
    kill "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
  fi
}

if ! has_serial_hardware; then
  LINK=/tmp/ttyZENTA0
  echo "No serial hardware found: starting the simulated board at $LINK"
  build/tools/devsim/devsim telemetry --link "$LINK" &
  SIM_PID=$!
  trap stop_simulator EXIT
  for _ in $(seq 50); do
    [ -e "$LINK" ] && break
    sleep 0.1
  done
fi

# On the very first start, point zenta at the simulated board (a settings file holding
# only the port name; zenta completes it on start).
INI=build/src/app/zenta5.ini
if [ -n "$SIM_PID" ] && [ ! -e "$INI" ]; then
  printf ';zenta\r\r\nN80=,%s\r\r\n;end' "$LINK" >"$INI"
fi

build/src/app/zenta "$@"
