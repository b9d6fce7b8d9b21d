#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in their own build directory and
# runs each one for a bounded time on a copy of its seed corpus. Exits
# non-zero if a target fails to build or reports anything (crash, sanitizer
# error, leak, timeout, out of memory).
#
# Layout of a fuzz target:
#   fuzz/<name>/CMakeLists.txt   defines one or more executables fuzz_<x>,
#                                built into that folder's build directory
#   fuzz/<name>/corpus/          seed inputs, shared by the fuzz_* of <name>
#   fuzz/<name>/fuzz_<x>.dict    optional libFuzzer dictionary
#   fuzz/CMakeLists.txt          add_subdirectory(<name>)
# Every fuzz_* executable found under <build>/fuzz/<name>/ is run.
#
# Environment:
#   FUZZ_SECONDS     run time per target (default 20)
#   FUZZ_TIMEOUT     seconds one input may take before it counts as a hang (10)
#   FUZZ_BUILD_DIR   build directory (default <repo>/build-fuzz)
#   FUZZ_SOURCE_DIR  CMake project to configure (default the repository)
#   CC, CXX          compilers (default clang-14, clang++-14)
# A failing input is kept in <build>/fuzz-artifacts/<target>/.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SOURCE_DIR="${FUZZ_SOURCE_DIR:-$ROOT}"
BUILD_DIR="${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"
SECONDS_PER_TARGET="${FUZZ_SECONDS:-20}"
TIMEOUT="${FUZZ_TIMEOUT:-10}"
export CC="${CC:-clang-14}" CXX="${CXX:-clang++-14}"

cmake -S "$SOURCE_DIR" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="$CXX" -DSOLVANE_BUILD_FUZZERS=ON -DSOLVANE_BUILD_TESTS=OFF >/dev/null

# Only the fuzz targets are built, so the rest of the tree need not compile
# under clang.
mapfile -t targets < <(cmake --build "$BUILD_DIR" --target help \
  | grep -oE '\bfuzz_[A-Za-z0-9_]+' | grep -v '_autogen' | sort -u)
if [ "${#targets[@]}" -eq 0 ]; then
  echo "run-fuzzers: no fuzz_* targets configured in $BUILD_DIR" >&2
  exit 1
fi
cmake --build "$BUILD_DIR" -j"$(nproc)" --target "${targets[@]}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
for target in "${targets[@]}"; do
  binary="$(find "$BUILD_DIR/fuzz" -type f -perm -u+x -name "$target" | head -n1)"
  if [ -z "$binary" ]; then
    echo "run-fuzzers: $target built but not found under $BUILD_DIR/fuzz" >&2
    failed=1
    continue
  fi
  name="$(basename "$(dirname "$binary")")"
  corpus="$ROOT/fuzz/$name/corpus"
  run_dir="$work/$target"
  mkdir -p "$run_dir/corpus" "$run_dir/artifacts"
  if [ -d "$corpus" ]; then
    cp -R "$corpus/." "$run_dir/corpus/"
  else
    echo "run-fuzzers: $target has no fuzz/$name/corpus; starting empty" >&2
  fi
  extra=()
  dict="$ROOT/fuzz/$name/$target.dict"
  [ -f "$dict" ] && extra+=("-dict=$dict")

  echo "== $target (fuzz/$name, ${SECONDS_PER_TARGET}s)"
  log="$run_dir/log.txt"
  rc=0
  "$binary" -max_total_time="$SECONDS_PER_TARGET" -timeout="$TIMEOUT" \
    -print_final_stats=1 -artifact_prefix="$run_dir/artifacts/" "${extra[@]}" \
    "$run_dir/corpus" >"$log" 2>&1 || rc=$?
  # A clean run can still have printed a sanitizer report from a recovered
  # check; treat that as a failure too.
  if [ "$rc" -ne 0 ] || grep -qE 'runtime error:|ERROR: (Address|Leak|Undefined)Sanitizer|ERROR: libFuzzer' "$log"; then
    echo "FAILED: $target (exit $rc)"
    tail -n 40 "$log"
    keep="$BUILD_DIR/fuzz-artifacts/$target"
    mkdir -p "$keep"
    cp -R "$run_dir/artifacts/." "$keep/" 2>/dev/null || true
    cp "$log" "$keep/"
    echo "inputs and log kept in $keep"
    failed=1
  else
    runs="$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo '?')"
    echo "ok: $target, $runs executions, corpus $(ls "$run_dir/corpus" | wc -l) inputs"
  fi
done
exit "$failed"
