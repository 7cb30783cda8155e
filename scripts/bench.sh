#!/usr/bin/env bash
# Builds the benchmarks (release) and runs them: every kernel's plane function
# in each instruction set and in its scalar form, a copy of as many bytes, and
# whole-filter GetFrame through the embedded host; then prints the ratio
# summary. Each benchmark runs 5 times, interleaved at random with the
# others, and the fastest repetition counts. Extra arguments go to Google
# Benchmark, e.g. --benchmark_filter=1920x1080 or --benchmark_repetitions=9.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/install-deps.sh

ensure_build_tools
ensure_packages libbenchmark-dev libgtest-dev

cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench -j 2 --target quorvant_bench
build/bench/bench/quorvant_bench --benchmark_repetitions=5 \
  --benchmark_enable_random_interleaving=true --benchmark_min_time=0.1 "$@"
