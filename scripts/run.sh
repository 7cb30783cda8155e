#!/usr/bin/env bash
# Builds the plugin and the runner `quorvant`, then runs it. With no
# arguments: the bundled example (examples/example.avs, all six functions
# over the built-in test pattern) into out/example.y4m. With arguments: the
# runner with those arguments, e.g.
#   scripts/run.sh -e 'TestPattern(640, 360, 100).Sign' -o out/signed.y4m
# Installs the Debian packages it needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/install-deps.sh

ensure_build_tools

build=${QUORVANT_BUILD_DIR:-build/run}
jobs=${QUORVANT_JOBS:-$(nproc)}
mkdir -p "$build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DQUORVANT_TESTS=OFF -DQUORVANT_BENCHMARKS=OFF > "$build/configure.log" 2>&1 ||
  { cat "$build/configure.log" >&2; exit 1; }
cmake --build "$build" -j "$jobs" --target quorvant_runner
runner="$build/quorvant"

if [ $# -gt 0 ]; then
  exec "$runner" "$@"
fi

mkdir -p out
"$runner" examples/example.avs -o out/example.y4m
echo
"$runner" examples/example.avs --info
echo
echo "Wrote $(pwd)/out/example.y4m"
echo "Watch it with: ffplay out/example.y4m   (or mpv, vlc)"
