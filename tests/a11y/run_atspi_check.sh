#!/usr/bin/env bash
# Runs Solvane the way a screen reader meets it and reads its accessibility
# tree over the real AT-SPI bus: a virtual X server, a private session bus,
# the AT-SPI bus launcher, a window manager and the FT-847 simulator, all
# started here and all stopped on the way out.
#
#   run_atspi_check.sh SOLVANE_BINARY SIMULATOR_BINARY
#
# Needs Xvfb, dbus-daemon, at-spi2-core, openbox and Debian's python3 with
# python3-pyatspi. Runs as root or not, with no display or sound server.
set -euo pipefail

SOLVANE="$(realpath "${1:?usage: $0 SOLVANE_BINARY SIMULATOR_BINARY}")"
SIM="$(realpath "${2:?usage: $0 SOLVANE_BINARY SIMULATOR_BINARY}")"
HERE="$(cd "$(dirname "$0")" && pwd)"
PYTHON=/usr/bin/python3 # Debian's, with pyatspi; not a pyenv one on PATH
BUS_LAUNCHER=/usr/libexec/at-spi-bus-launcher

# The simulator's radio, and what the window must then show and say.
SIM_FREQ=2107400 # 10 Hz units
EXPECT_TEXT="21.074.00"
SIM_SMETER=22
EXPECT_SMETER="S9+20"

WORK="$(mktemp -d)"
PIDS=()

stop_all() {
  local pid
  # Newest first: Solvane before the simulator, the buses last.
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do
    pid="${PIDS[i]}"
    kill -TERM "$pid" 2>/dev/null || true
  done
  for pid in "${PIDS[@]}"; do
    for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
  done
  rm -rf "$WORK"
}
trap stop_all EXIT
trap 'exit 130' INT TERM

fail() {
  echo "a11y: $*" >&2
  for log in "$WORK"/*.log; do
    [[ -s "$log" ]] && { echo "--- $(basename "$log")" >&2; tail -n 20 "$log" >&2; }
  done
  exit 1
}

# Polls `test` every 0.1 s for at most `tenths` tenths of a second.
wait_for() {
  local tenths="$1"; shift
  for _ in $(seq "$tenths"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

for tool in Xvfb dbus-daemon openbox "$BUS_LAUNCHER" "$PYTHON"; do
  command -v "$tool" >/dev/null || fail "missing $tool (scripts/setup.sh installs it)"
done
[[ -x "$SOLVANE" ]] || fail "no Solvane binary at $SOLVANE"
[[ -x "$SIM" ]] || fail "no simulator binary at $SIM"

export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export HOME="$WORK/home"
mkdir -p "$HOME"

# A free display: Xvfb picks it and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
PIDS+=($!)
wait_for 100 test -s "$WORK/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$WORK/display")"

# A private session bus, so nothing reaches or comes from the user's own.
dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$WORK/bus" >"$WORK/dbus.log" 2>&1 &
PIDS+=($!)
wait_for 50 test -s "$WORK/bus" || fail "the session bus did not start"
export DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$WORK/bus")"
unset AT_SPI_BUS_ADDRESS

# The accessibility bus, started now rather than on first use.
"$BUS_LAUNCHER" --launch-immediately >"$WORK/atspi.log" 2>&1 &
PIDS+=($!)
# Asking whether the name is owned, not calling it, so that the session bus
# never starts a second launcher of its own.
a11y_bus_up() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
}
wait_for 100 a11y_bus_up || fail "the AT-SPI bus did not come up"

# A window manager, so the window can be focused as on a desktop.
openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
PIDS+=($!)

# The simulator, mapped to port 2 in a throw-away settings directory.
"$SIM" --link "$WORK/ft847" --freq "$SIM_FREQ" --smeter "$SIM_SMETER" </dev/null >"$WORK/sim.log" 2>&1 &
PIDS+=($!)
wait_for 50 grep -q '^DEVICE ' "$WORK/sim.log" || fail "the simulator did not start"

# A free loopback port for the sharing server, through which the checker
# keys the radio as a program would.
RIG_PORT="$("$PYTHON" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"

export XDG_CONFIG_HOME="$WORK/config"
mkdir -p "$XDG_CONFIG_HOME" "$WORK/run"
# Quoted as QSettings writes it: unquoted, the commas would make it a list.
cat >"$XDG_CONFIG_HOME/Solvane.conf" <<CONF
[Ports]
COM2=$WORK/ft847

[Settings]
Commport=2
CommSpeed="57600,N,8,1"

[Network]
Port=$RIG_PORT
CONF

(cd "$WORK/run" && QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 exec "$SOLVANE") >"$WORK/solvane.log" 2>&1 &
PIDS+=($!)

# The checker waits (bounded) for Solvane on the bus, then reads the tree.
timeout 80 "$PYTHON" "$HERE/check_tree.py" --app Solvane --timeout 30 --settle 8 \
  --expect-text "$EXPECT_TEXT" --expect-smeter "$EXPECT_SMETER" --rig-port "$RIG_PORT" \
  || fail "the accessibility tree check failed"
echo "a11y: the tree over AT-SPI is as a screen reader needs it"
