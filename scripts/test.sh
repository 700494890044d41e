#!/usr/bin/env bash
# Builds and tests every preset, the Windows ones under Wine, stopping at the
# first failure. Installs what is missing first (needs root for that).
set -euo pipefail
cd "$(dirname "$0")/.."

presets=(linux win32 win64)

started=$SECONDS
current="install-deps"
trap 'echo "FAILED: $current, after $((SECONDS - started)) s." >&2' ERR
scripts/install-deps.sh

for preset in "${presets[@]}"; do
  current="preset $preset"
  echo "=== $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j2
  ctest --preset "$preset"
done

current="sanitizers, fuzzing and Valgrind"
echo "=== sanitizers, fuzzing, Valgrind"
scripts/test-extra.sh

elapsed=$((SECONDS - started))
echo "All ${#presets[@]} presets (${presets[*]}) and the extra checks passed in $((elapsed / 60)) min $((elapsed % 60)) s."
