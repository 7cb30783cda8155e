#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks the layout: the
# runner in <prefix>/bin, the plugin in <prefix>/lib/avisynth (where Linux
# hosts look for plugins), and the installed runner finding that plugin.
# Usage: install_test.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" --component runtime > /dev/null
test -x "$prefix/bin/quorvant" || { echo "no $prefix/bin/quorvant"; exit 1; }
test -f "$prefix/lib/avisynth/libquorvant.so" || { echo "no plugin in lib/avisynth"; exit 1; }
test -f "$prefix/share/quorvant/examples/example.avs" || { echo "no example"; exit 1; }
info=$("$prefix/bin/quorvant" --info "$prefix/share/quorvant/examples/example.avs")
echo "$info"
grep -qx "frames: 150" <<< "$info"
