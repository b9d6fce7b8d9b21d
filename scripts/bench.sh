#!/usr/bin/env bash
# Installs, builds and runs the benchmark; prints its table.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
"$ROOT/scripts/setup.sh"
"$ROOT/scripts/build.sh"
"${BUILD_DIR:-$ROOT/build}/bench/solvane-bench"
