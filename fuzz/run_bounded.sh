#!/usr/bin/env bash
# run_bounded.sh FUZZER CORPUS SECONDS CRASH_DIR [DICTIONARY]
# Fuzzes for SECONDS, starting from a copy of CORPUS so that the seeds in the
# repository stay as they are. An input that fails is kept in CRASH_DIR; add
# it to the corpus as a regression case once the fault is fixed.
set -euo pipefail
fuzzer=$1 corpus=$2 seconds=$3 crashes=$4 dictionary=${5:-}
options=(-max_total_time="$seconds" -timeout=20 -print_final_stats=1 -artifact_prefix="$crashes/")
[ -f "$dictionary" ] && options+=(-dict="$dictionary")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$crashes"
cp -R "$corpus"/. "$work/corpus"/

"$fuzzer" "${options[@]}" "$work/corpus"
