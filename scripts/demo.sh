#!/usr/bin/env bash
# Builds the Linux program and runs it on the sample work files in examples/,
# each in a folder of its own, as the host application would run it. The
# program alone is built, without the tests, so no test framework is needed.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v cmake >/dev/null || ! command -v ninja >/dev/null || ! command -v g++ >/dev/null ||
  ! command -v iconv >/dev/null; then
  apt-get update
  apt-get install -y --no-install-recommends cmake ninja-build g++ libc-bin
fi

cmake --preset linux -B build/demo -DHQ2HD_TESTS=OFF
cmake --build build/demo --target hq2hd -j2
program="$PWD/build/demo/hq2hd"

demo_root="$(mktemp -d)"
trap 'rm -rf "$demo_root"' EXIT

# A work file as UTF-8 text, one line each, without its mark and line breaks,
# tabs shown as \t so that the blanks around "hq" can be seen.
readable_lines() {
  iconv -f "$2" -t UTF-8 "$1" | sed -e 's/^\xEF\xBB\xBF//' -e 's/\r$//' -e 's/\t/\\t/g'
}

# The raw bytes of line $2 of file $1, line break included, in hex.
line_hex() {
  sed -n "$2p" "$1" | od -An -tx1 -v | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}

# The first three bytes of a file in hex: EF BB BF is the UTF-8 mark.
head_hex() {
  head -c 3 "$1" | od -An -tx1 -v | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}

# A fresh program folder holding the program (and the work file, if given).
new_program_folder() {
  local folder
  folder="$(mktemp -d -p "$demo_root")"
  cp "$program" "$folder/hq2hd"
  echo "$folder"
}

show_run() {
  local example="examples/$1" encoding="$2" folder output status=0
  folder="$(new_program_folder)"
  cp "$example" "$folder/JWC_TEMP.TXT"

  echo "=== $example ($encoding), run in $folder"
  output="$(cd / && "$folder/hq2hd")" || status=$?
  echo "output: ${output:-(none)}; exit code $status"

  local -a before after changed=()
  mapfile -t before < <(readable_lines "$example" "$encoding")
  mapfile -t after < <(readable_lines "$folder/JWC_TEMP.TXT" "$encoding")
  local i
  for i in "${!before[@]}"; do
    if [ "${before[$i]}" = "${after[$i]-}" ]; then
      printf '    %3d  [%s]\n' "$((i + 1))" "${before[$i]}"
    else
      printf '  * %3d  [%s]  ->  [%s]\n' "$((i + 1))" "${before[$i]}" "${after[$i]-}"
      changed+=("$((i + 1))")
    fi
  done
  if [ "${#after[@]}" -ne "${#before[@]}" ]; then
    echo "  (line count changed: ${#before[@]} -> ${#after[@]})"
  fi
  echo "  bytes of the changed lines (* above):"
  for i in "${changed[@]}"; do
    printf '    %3d  before: %s\n' "$i" "$(line_hex "$example" "$i")"
    printf '         after:  %s\n' "$(line_hex "$folder/JWC_TEMP.TXT" "$i")"
  done
  echo "  first bytes: before $(head_hex "$example"), after $(head_hex "$folder/JWC_TEMP.TXT")"
  echo "  files left in the folder: $(cd "$folder" && echo *)"
  echo
}

show_run shift-jis.txt CP932
show_run utf8-bom.txt UTF-8

folder="$(new_program_folder)"
echo "=== no work file, run in $folder"
echo "output: $(cd / && "$folder/hq2hd" | iconv -f CP932 -t UTF-8 | tr -d "\r")"
