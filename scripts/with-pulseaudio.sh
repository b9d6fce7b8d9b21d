#!/usr/bin/env bash
# Runs a command against a private PulseAudio server whose default sink is a
# null sink named "solvane_test" (its monitor: solvane_test.monitor).
# Usage: scripts/with-pulseaudio.sh <command> [args...]
# The server lives in its own temporary XDG_RUNTIME_DIR and HOME, so nothing
# is written to the user's ~/.config/pulse; it is stopped by its process id
# afterwards. Exit status: the command's.
set -uo pipefail
[ $# -ge 1 ] || { echo "usage: $0 <command> [args...]" >&2; exit 2; }
command -v pulseaudio >/dev/null || { echo "with-pulseaudio: pulseaudio not found" >&2; exit 127; }

PA_DIR="$(mktemp -d -t solvane-pulse.XXXXXX)"
chmod 700 "$PA_DIR"
mkdir -p "$PA_DIR/run" "$PA_DIR/home"
chmod 700 "$PA_DIR/run"
PA_PID=""
cleanup() {
  if [ -n "$PA_PID" ] && kill -0 "$PA_PID" 2>/dev/null; then
    kill "$PA_PID" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$PA_PID" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$PA_PID" 2>/dev/null || true
    wait "$PA_PID" 2>/dev/null || true
  fi
  rm -rf "$PA_DIR"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# -n: no default.pa (no hardware probing); --daemonize=no keeps the pid ours.
# As root pulseaudio only warns ("not intended to be run as root") and runs.
HOME="$PA_DIR/home" XDG_RUNTIME_DIR="$PA_DIR/run" XDG_CONFIG_HOME="$PA_DIR/home/.config" \
  pulseaudio --daemonize=no -n --exit-idle-time=-1 --disallow-exit \
    --use-pid-file=no --disable-shm=yes --log-target=file:"$PA_DIR/pulse.log" \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$PA_DIR/run/native" \
    --load="module-null-sink sink_name=solvane_test rate=44100 channels=2" &
PA_PID=$!

export XDG_RUNTIME_DIR="$PA_DIR/run"
export PULSE_SERVER="unix:$PA_DIR/run/native"
export PULSE_COOKIE="$PA_DIR/home/cookie"     # anonymous auth; keeps clients out of ~/.config
export SOLVANE_TEST_SINK=solvane_test

ready=0
for _ in $(seq 100); do
  if pactl info >/dev/null 2>&1; then ready=1; break; fi
  kill -0 "$PA_PID" 2>/dev/null || break
  sleep 0.1
done
if [ "$ready" != 1 ]; then
  echo "with-pulseaudio: server did not start; log:" >&2
  cat "$PA_DIR/pulse.log" >&2 2>/dev/null
  exit 1
fi
pactl set-default-sink solvane_test >/dev/null

"$@"
