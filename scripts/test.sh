#!/usr/bin/env bash
# Installs, builds and runs every test. Exits non-zero on any failure; the
# last lines are CTest's summary.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
"$ROOT/scripts/setup.sh"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
"$ROOT/scripts/build.sh"

# Bounded fuzz runs of the parsers, with address and undefined-behaviour
# checks (clang's libFuzzer, its own build directory).
FUZZ_SECONDS="${FUZZ_SECONDS:-20}" "$ROOT/scripts/run-fuzzers.sh"

# No display and no sound server in CI: tests run offscreen, and a private
# PulseAudio server with a null sink is started around the suite.
export QT_QPA_PLATFORM=offscreen
cd "$BUILD_DIR"
"$ROOT/scripts/with-pulseaudio.sh" ctest --output-on-failure --no-label-summary -j2
