#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, runs every test, then runs the whole suite once more
# under AddressSanitizer + UndefinedBehaviorSanitizer (clang) and runs each fuzzer briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

jobs=$(nproc)
# A compiler cache, where one is installed, makes the second build of the same sources cheap.
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
echo "== Build (build/)"
# Tests and benchmarks on explicitly: the demo may have configured build/ without them.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DCB_BENCH=ON "${launcher[@]}" >/dev/null
cmake --build build -j"$jobs"
echo "== Tests"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== Sanitizer build (build-asan/, clang, ASan + UBSan, fuzzers)"
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCB_SANITIZE=ON -DCB_FUZZ=ON -DCB_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build build-asan -j"$jobs"
echo "== Tests under sanitizers"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== Fuzzing (${CB_FUZZ_SECONDS:=20} s each)"
shopt -s nullglob
for fuzzer in build-asan/fuzz/fuzz_*; do
  name=$(basename "$fuzzer")
  corpus="build-asan/fuzz/corpus-$name"
  mkdir -p "$corpus"
  seeds="tests/fuzz-seeds/$name"
  [ -d "$seeds" ] || seeds=""
  echo "-- $name"
  "$fuzzer" -max_total_time="$CB_FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$corpus" $seeds 2>&1 | tail -n 12
done
echo "== All tests passed"
