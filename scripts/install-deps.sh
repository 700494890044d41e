#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine, as root.
# Only what is missing is installed, so a second run is quick.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  stale=1
fi

for p in cmake ninja-build g++ googletest libgtest-dev libgmock-dev libbenchmark-dev \
         g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
         wine wine32:i386 wine64 locales procps time zip unzip valgrind \
         clang libclang-rt-14-dev clang-format xxd python3; do
  have "$p" || need+=("$p")
done

# A mirror in the middle of a sync serves an index that does not match its
# release file, and apt-get update fails; a later try may not. After three,
# the install goes on with the lists there are, and fails if they lack a package.
update_lists() {
  local try
  for try in 1 2 3; do
    apt-get update -q && return 0
    [ "$try" = 3 ] || sleep 15
  done
  echo "apt-get update failed three times: installing from the lists there are" >&2
}

if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  update_lists
  apt-get install -y -q --no-install-recommends "${need[@]}"
elif [ "${stale:-0}" = 1 ]; then
  update_lists
fi

# Wine turns Unix file names into Windows ones with the C library's locale;
# without ja_JP.UTF-8 a folder with Japanese characters cannot be used.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
# Under en_US.UTF-8 Wine gives the Windows programs ANSI code page 1252: the
# end-to-end tests run them there too, as on a Western Windows.
if ! locale -a 2>/dev/null | grep -qi '^en_US\.utf-\?8$'; then
  localedef -i en_US -f UTF-8 en_US.UTF-8
fi
