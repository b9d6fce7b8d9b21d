#!/usr/bin/env bash
# Regenerates docs/screenshot.png: Solvane on a virtual X server, showing a
# live reading from the simulator; docs/screenshot-satellite-tx.png: the
# same window in satellite mode while a program keys the radio through the
# sharing server; then docs/screenshot-settings.png: the Settings dialog,
# opened by pressing Settings through the accessibility bus as a screen
# reader would.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
WORK="$(mktemp -d)"
PIDS=()
cleanup() { for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$WORK"; }
trap cleanup EXIT

"$BUILD_DIR/simulator/ft847-sim" --link "$WORK/ft847" --freq 1420750 --mode 01 --smeter 17 --power 22 </dev/null >"$WORK/sim.out" 2>&1 &
PIDS+=($!)
for _ in $(seq 50); do grep -q '^DEVICE ' "$WORK/sim.out" && break; sleep 0.1; done

export XDG_CONFIG_HOME="$WORK/config"
mkdir -p "$XDG_CONFIG_HOME"
RIG_PORT="$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
printf '[Ports]\nCOM2=%s\n\n[Network]\nPort=%s\n' "$WORK/ft847" "$RIG_PORT" >"$XDG_CONFIG_HOME/Solvane.conf"
mkdir -p "$WORK/run" && cp "$ROOT/demo/Memories.txt" "$WORK/run/"

Xvfb :93 -screen 0 700x620x24 >/dev/null 2>&1 &
PIDS+=($!)
sleep 1
export DISPLAY=:93
# A private session bus; the accessibility bus starts on it when asked.
eval "$(dbus-launch --sh-syntax)"
PIDS+=("$DBUS_SESSION_BUS_PID")
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
(cd "$WORK/run" && exec "$BUILD_DIR/src/app/solvane") &
PIDS+=($!)
sleep 3
import -window root -crop 637x550+0+0 "$ROOT/docs/screenshot.png"
echo "wrote docs/screenshot.png"

# A program turns satellite mode on and keys the radio, as gpredict and
# WSJT-X would; the picture is taken while it transmits, then it lets go.
/usr/bin/python3 - "$RIG_PORT" "$ROOT/docs/screenshot-satellite-tx.png" <<'PY'
import socket, subprocess, sys, time
sock = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=5)
replies = sock.makefile("r")
def ask(request):
    sock.sendall(request.encode() + b"\n")
    return replies.readline().strip()
for request in ("S 1 VFOB", "T 1"):
    if ask(request) != "RPRT 0":
        sys.exit(f"the radio did not take {request!r}")
time.sleep(1.5)
subprocess.run(["import", "-window", "root", "-crop", "637x550+0+0", sys.argv[2]], check=True)
ask("T 0")
ask("S 0 VFOA")
PY
echo "wrote docs/screenshot-satellite-tx.png"
sleep 1

/usr/bin/python3 - <<'PY'
import sys, time
import pyatspi

desktop = pyatspi.Registry.getDesktop(0)
for _ in range(50):
    for app in desktop:
        if app is None or not app.name.lower().startswith("solvane"):
            continue
        button = pyatspi.findDescendant(
            app, lambda n: n.getRoleName() == "push button" and n.name.replace("&", "") == "Settings")
        if button is not None:
            button.queryAction().doAction(0)
            sys.exit(0)
    time.sleep(0.2)
sys.exit("no Settings button on the accessibility bus")
PY
for _ in $(seq 50); do xwininfo -name "Solvane - Settings" >/dev/null 2>&1 && break; sleep 0.1; done
sleep 1
import -window "Solvane - Settings" "$ROOT/docs/screenshot-settings.png"
echo "wrote docs/screenshot-settings.png"
