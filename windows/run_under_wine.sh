#!/bin/sh
# Runs a Windows program under Wine for CTest: run_under_wine.sh PREFIX PROGRAM ARGS...
# The Wine prefix is PREFIX (created on first use). Exits with 77, which
# CTest reports as skipped, when Wine is not installed, unless
# QUORVANT_REQUIRE_WINE is set: then a missing Wine is a failure.
set -eu
prefix=$1
shift

wine=""
for candidate in wine wine-stable wine32 /usr/lib/wine/wine; do
  if command -v "$candidate" >/dev/null 2>&1; then
    wine=$(command -v "$candidate")
    break
  fi
done
if [ -z "$wine" ]; then
  if [ -n "${QUORVANT_REQUIRE_WINE:-}" ]; then
    echo "Wine is required (QUORVANT_REQUIRE_WINE) but not installed" >&2
    exit 1
  fi
  echo "Wine is not installed: skipped"
  exit 77
fi

mkdir -p "$prefix"
WINEPREFIX=$prefix
WINEDEBUG=-all
# No prompts to install Mono or Gecko: the programs need neither.
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
exec "$wine" "$@"
