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

# The whole suite once more, built with address and undefined-behaviour
# checks; any report aborts its test. Leak checking is off: Qt's font and
# platform libraries keep caches for the life of the process. The package is
# built and checked from the normal build below, not from this one, and so is
# the Windows compile check, which the sanitizers add nothing to.
BUILD_DIR="$ROOT/build-asan" BUILD_TYPE=Debug CMAKE_ARGS="-DSOLVANE_SANITIZE=ON" "$ROOT/scripts/build.sh"
(cd "$ROOT/build-asan" && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
   UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
   "$ROOT/scripts/with-pulseaudio.sh" ctest --output-on-failure --no-label-summary -j2 -LE "soak|package|demo|windows")

# No display and no sound server in CI: tests run offscreen, and a private
# PulseAudio server with a null sink is started around the suite. Among the
# tests, test_package runs `cpack -G DEB` here, leaving the package at
# build/solvane_<version>_<arch>.deb, and checks it.
export QT_QPA_PLATFORM=offscreen
cd "$BUILD_DIR"
"$ROOT/scripts/with-pulseaudio.sh" ctest --output-on-failure --no-label-summary -j2
