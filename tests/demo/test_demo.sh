#!/usr/bin/env bash
# The README's first command, headless: scripts/demo.sh must start the
# simulator and Solvane on a port that opens, so the simulator's log shows
# Solvane taking control and polling. Usage: test_demo.sh ROOT BUILD_DIR
set -euo pipefail
ROOT="$1"
BUILD="$2"
WORK="$(mktemp -d)"
DEMO_PID=""
cleanup() {
  if [[ -n "$DEMO_PID" ]]; then
    kill -TERM -- "-$DEMO_PID" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 -- "-$DEMO_PID" 2>/dev/null || break; sleep 0.1; done
    kill -KILL -- "-$DEMO_PID" 2>/dev/null || true
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT

export QT_QPA_PLATFORM=offscreen BUILD_DIR="$BUILD" SOLVANE_SIM_ARGS="--log $WORK/sim.log"
# Its own process group, so the demo, Solvane and the simulator stop together.
setsid "$ROOT/scripts/demo.sh" >"$WORK/demo.out" 2>&1 </dev/null &
DEMO_PID=$!

polls=0
for _ in $(seq 1200); do # at most 120 s: set-up and build have nothing to do here
  polls=$(grep -c ' 03$' "$WORK/sim.log" 2>/dev/null || true)
  [[ "${polls:-0}" -ge 10 ]] && break
  kill -0 "$DEMO_PID" 2>/dev/null || break
  sleep 0.1
done

if [[ "${polls:-0}" -lt 10 ]]; then
  echo "FAIL: the demo did not poll the simulator (polls seen: ${polls:-0})"
  echo "--- demo output"; cat "$WORK/demo.out"
  echo "--- simulator log"; cat "$WORK/sim.log" 2>/dev/null || true
  exit 1
fi
first="$(head -n 1 "$WORK/sim.log")"
if [[ "$first" != "00 00 00 00 00" ]]; then
  echo "FAIL: the first command was '$first', not take-control"
  exit 1
fi
if grep -q '^OVERLAP\|^PARTIAL' "$WORK/sim.log"; then
  echo "FAIL: overlapping or partial commands"; grep '^OVERLAP\|^PARTIAL' "$WORK/sim.log"
  exit 1
fi
echo "1 passed, 0 failed: the demo took control and polled $polls times"
