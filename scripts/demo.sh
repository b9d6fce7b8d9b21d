#!/usr/bin/env bash
# Installs, builds and starts Solvane against the bundled FT-847 simulator.
# The simulator's device is mapped to port 2 in a throw-away settings
# directory, so your own stored settings are not touched. Quitting Solvane
# ends the simulator. SOLVANE_SIM_ARGS adds simulator options, for example
# "--baud 4800" for a radio at a real line rate, or "--log FILE".
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
"$ROOT/scripts/setup.sh"
"$ROOT/scripts/build.sh"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"

WORK="$(mktemp -d)"
SIM_PID=""
cleanup() {
  [[ -n "$SIM_PID" ]] && kill "$SIM_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# The simulator prints "DEVICE /dev/pts/N" when it is ready.
# shellcheck disable=SC2086 # the extra options are words
"$BUILD_DIR/simulator/ft847-sim" --link "$WORK/ft847" ${SOLVANE_SIM_ARGS:-} </dev/null >"$WORK/sim.out" 2>&1 &
SIM_PID=$!
for _ in $(seq 50); do
  grep -q '^DEVICE ' "$WORK/sim.out" 2>/dev/null && break
  sleep 0.1
done
grep -q '^DEVICE ' "$WORK/sim.out" || { echo "simulator did not start"; cat "$WORK/sim.out"; exit 1; }

export XDG_CONFIG_HOME="$WORK/config"
mkdir -p "$XDG_CONFIG_HOME"
cat >"$XDG_CONFIG_HOME/Solvane.conf" <<CONF
[Ports]
COM2=$WORK/ft847

[Settings]
Commport=2
CommSpeed=57600,N,8,1
CONF

mkdir -p "$WORK/run"
cp "$ROOT/demo/Memories.txt" "$WORK/run/"
cp "$ROOT"/sounds/*.wav "$WORK/run/" 2>/dev/null || true
cd "$WORK/run"
if [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "No display found: starting Solvane on a virtual X server (xvfb-run)."
  xvfb-run -a "$BUILD_DIR/src/app/solvane"
else
  "$BUILD_DIR/src/app/solvane"
fi
