#!/usr/bin/env bash
# Builds everything and runs every test: the release build, then the same
# tests under AddressSanitizer and UndefinedBehaviorSanitizer. Installs the
# Debian packages it needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/install-deps.sh

ensure_build_tools
ensure_packages libgtest-dev libbenchmark-dev

jobs=$(nproc)

# --- Windows: Quorvant.dll and its conformance run under Wine -----------------
# The release build below also builds Quorvant.dll (clang, lld-link,
# llvm-dlltool) and its ctest runs the conformance host under 32-bit Wine.
echo "== Windows cross toolchain and Wine"
ensure_packages clang lld llvm
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  if [ "$(id -u)" -ne 0 ]; then sudo dpkg --add-architecture i386; else dpkg --add-architecture i386; fi
  unset QUORVANT_APT_UPDATED  # the package lists must now include i386
fi
ensure_packages wine wine32:i386
export QUORVANT_REQUIRE_WINE=1  # the Wine tests must run, not skip
# -------------------------------------------------------------------------------

# --- Runner: interoperation with ffmpeg ---------------------------------------
# The runner's tests labelled ffmpeg pipe Y4M through Debian's ffmpeg in both
# directions; they run in the builds below and fail, not skip, without it.
echo "== ffmpeg for the runner's interoperation tests"
ensure_packages ffmpeg
export QUORVANT_REQUIRE_FFMPEG=1
# -------------------------------------------------------------------------------

echo "== release build and tests"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$jobs"
ctest --test-dir build/release --output-on-failure -j "$jobs"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVANT_SANITIZE=address,undefined -DQUORVANT_BENCHMARKS=OFF
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs"

# --- Hardening: fuzzing and ThreadSanitizer ---------------------------------
# Each fuzz target runs for QUORVANT_FUZZ_SECONDS (default 60) under
# AddressSanitizer and UndefinedBehaviorSanitizer, from a copy of its corpus.
echo "== fuzzing with libFuzzer (clang), ASan + UBSan"
ensure_packages clang
ensure_packages "libclang-rt-$(clang++ -dumpversion | cut -d. -f1)-dev"
CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVANT_FUZZ=ON -DQUORVANT_SANITIZE=address,undefined \
  -DQUORVANT_TESTS=OFF -DQUORVANT_BENCHMARKS=OFF \
  -DQUORVANT_FUZZ_SECONDS="${QUORVANT_FUZZ_SECONDS:-60}"
cmake --build build/fuzz -j "$jobs"
ctest --test-dir build/fuzz/fuzz -L fuzz --no-tests=error --output-on-failure -j "$jobs"


# Threads asking filters for frames at once: the tests labelled concurrency.
echo "== ThreadSanitizer: concurrency tests"
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVANT_SANITIZE=thread -DQUORVANT_BENCHMARKS=OFF
cmake --build build/tsan -j "$jobs"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build/tsan -L concurrency --no-tests=error --output-on-failure -j "$jobs"
