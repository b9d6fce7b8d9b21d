#!/usr/bin/env bash
# Installs, builds and runs the benchmark; prints its tables. BENCH_SECONDS
# sets each CPU and many-client window (default 60). The CPU rows under Xvfb
# come from a second run of the program under xvfb-run, started by the first;
# the sharing table runs the real program and Debian's rigctld on loopback.
# Arguments go to the program and choose its tables, which add up:
# --window-only, --network-only, --slow-only (a silent and a late radio),
# --transmit-only (keying, unkeying, a keying program killed),
# --satellite-only (gpredict's Doppler cycle), --report-only (a key at the
# radio's microphone, the poll's rounds with the transmitter watch, the FM
# settings), --exit-race-only (a keying program leaving just before SIGTERM,
# BENCH_RUNS runs each way, default 100), --dispatcher-only (the
# headless server with and without QT_NO_GLIB=1; BENCH_RUNS runs each),
# --quit-only (quitting after Speak, BENCH_RUNS children each way, default
# 100, under a private PulseAudio server).
# The rows of system calls per poll round and per request come from
# `strace -c` attached to the program measured; strace is installed if missing.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
"$ROOT/scripts/setup.sh"
if ! command -v strace >/dev/null; then
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO="sudo"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends strace
fi
"$ROOT/scripts/build.sh"
BENCH="${BUILD_DIR:-$ROOT/build}/bench/solvane-bench"
# Quitting after Speak needs a sound server: a private one with a null sink.
case " $* " in
  *" --quit-only "*) exec "$ROOT/scripts/with-pulseaudio.sh" "$BENCH" "$@" ;;
esac
"$BENCH" "$@"
