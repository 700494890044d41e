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
times=$(mktemp)
trap 'rm -f "$times"' EXIT
echo "install-deps $((SECONDS - started)) s" >> "$times"

# One Wine prefix for both Windows presets: the second need not make its own.
export HQ2HD_WINE_PREFIX="${HQ2HD_WINE_PREFIX:-$PWD/build/wineprefix}"
# Making the prefix takes Wine about 25 s, mostly waiting: it is made while the
# Linux preset builds, by the 64-bit preset's launcher (a kernel may run no
# 32-bit program, and then the 32-bit preset's tests that need Wine are disabled).
current="making the Wine prefix"
cmake --preset win64 >/dev/null
build/win64/wine-run cmd /c exit 0 > build/wineprefix.log 2>&1 &
wine_prefix_pid=$!

for preset in "${presets[@]}"; do
  current="preset $preset"
  echo "=== $preset"
  stage_started=$SECONDS
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j2
  built=$SECONDS
  if [ "$preset" = win32 ]; then
    current="making the Wine prefix"
    wait "$wine_prefix_pid" || { cat build/wineprefix.log >&2; false; }
    current="preset $preset"
  fi
  ctest --preset "$preset"
  echo "$preset build $((built - stage_started)) s, tests $((SECONDS - built)) s" >> "$times"
done

current="sanitizers, fuzzing and Valgrind"
echo "=== sanitizers, fuzzing, Valgrind"
STAGE_TIMES_FILE=$times scripts/test-extra.sh

elapsed=$((SECONDS - started))
echo "Time by stage:"
sed 's/^/  /' "$times"
echo "All ${#presets[@]} presets (${presets[*]}) and the extra checks passed in $((elapsed / 60)) min $((elapsed % 60)) s."
