#!/usr/bin/env bash
# Builds the release zips for Windows users:
#   dist/hq2hd-<version>-win32.zip, dist/hq2hd-<version>-win64.zip, dist/SHA256SUMS
# The version is the one in project() of CMakeLists.txt.
#
# Usage: scripts/package.sh [--check] [--build-prefix NAME]
#   --check              build everything a second time from scratch, in other folders,
#                        and fail unless both releases are byte-identical
#   --build-prefix NAME  build in build/NAME-win32 and build/NAME-win64 (default: release)
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
prefix=release
while [ $# -gt 0 ]; do
  case "$1" in
    --check) check=1 ;;
    --build-prefix)
      [ $# -ge 2 ] || { echo "package.sh: --build-prefix needs a name" >&2; exit 2; }
      prefix="$2"
      shift
      ;;
    *) echo "usage: scripts/package.sh [--check] [--build-prefix NAME]" >&2; exit 2 ;;
  esac
  shift
done

# Every zip entry carries the time of the commit, so a rebuild of the same commit
# gives the same bytes.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
export SOURCE_DATE_EPOCH

cached_version() {
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}

# build_release <build prefix> <dist folder> <fresh: 0|1>; sets version.
build_release() {
  local build_prefix="$1" dist="$2" fresh="$3" bits dir
  rm -rf "$dist"
  mkdir -p "$dist"
  for bits in 32 64; do
    dir="build/$build_prefix-win$bits"
    if [ "$fresh" = 1 ]; then rm -rf "$dir"; fi
    cmake --preset "win$bits" -B "$dir" -DHQ2HD_TESTS=OFF
    cmake --build "$dir" --target hq2hd -j2
    version=$(cached_version "$dir")
    python3 packaging/make_package.py --exe "$dir/hq2hd.exe" --bits "$bits" \
      --version "$version" --out-dir "$dist"
  done
  (cd "$dist" && sha256sum "hq2hd-$version-win32.zip" "hq2hd-$version-win64.zip" >SHA256SUMS)
}

version=""
build_release "$prefix" dist "$check"

if [ "$check" = 1 ]; then
  again="build/$prefix-again-dist"
  build_release "$prefix-again" "$again" 1
  for file in "hq2hd-$version-win32.zip" "hq2hd-$version-win64.zip" SHA256SUMS; do
    cmp "dist/$file" "$again/$file"
  done
  echo "Two clean builds gave byte-identical packages."
fi

echo "Packages in dist/:"
cat dist/SHA256SUMS
