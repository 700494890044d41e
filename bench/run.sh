#!/usr/bin/env bash
# Measures the Linux hq2hd on 64 MiB work files (code page 932, and UTF-8 with
# a byte-order mark) against the floor (bench/io_floor.c: the input and output
# that a run must do, nothing else) and sed -i (a one-line tool that rewrites in
# place), with its user CPU time and peak memory; the same text as UTF-16 LE and
# BE against the floor on that file; the peak memory of an invalid code page
# 932 file, of one line of the full size, and of one blank line of that size
# around hq; an empty work file against cp of an empty file; code page 932
# and UTF-8 work files of each size from 1 KiB to 64 MiB against the floor.
# Prints the medians, the ratios and PASS or FAIL for each target.
#
# Usage: bench/run.sh [options]
#   --runs N        timed runs of each command after the warm-up (default 11:
#                   at 64 MiB the median of 5 ranged from 0.98 to 1.22 in one
#                   day's runs)
#   --empty-runs N  timed runs for the empty file (default 101; each takes ~1 ms)
#   --size-mib N    size of each work file (default 64)
#   --sizes LIST    sizes of the work files timed against the floor one by
#                   one, at most 1.10 times it (default "1K 16K 64K 256K 1M
#                   4M 16M 64M"; a number alone is bytes; "" for none)
#   --size-runs N   timed runs of each command at each of those sizes
#                   (default 41: the flushes make single runs differ by
#                   more than the program adds)
#   --large-size-runs N
#                   the same from 16 MiB on (default 101: there a single
#                   round's ratio spreads by about 0.12 either way, and the
#                   median of 41 still moves by 0.02 from run to run)
#   --strict        exit 1 when a target is missed
#   --wine          also the win32 and win64 hq2hd.exe under Wine, each
#                   against the floor built for Windows (kernel32)
#   --large         also the growth from 16 MiB to 1 GiB, and the largest work
#                   file the format allows (2^31 - 1 bytes) through the Linux
#                   program, the win64 and the win32 exe under Wine (needs
#                   about 9 GiB free in TMPDIR and several minutes)
#   --micro         also the stage benchmarks (codec_benchmarks) on the same files
#   --phases        also, at each of --sizes, the pass alone of the program and
#                   of the floor (bench/phase_stamps.c: from the work file's
#                   delete to the new file's flush), median of --size-runs
#                   runs: what the program spends there is its own, without
#                   the flushes, which vary from run to run by more
#   --keep          keep the generated files and print where they are
#
# Build folders, relative to the repository: HQ2HD_BUILD_DIR (default
# build/linux), HQ2HD_BENCH_BUILD_DIR (build/linux-bench), HQ2HD_WIN32_DIR
# (build/win32), HQ2HD_WIN64_DIR (build/win64). A folder without a build is
# configured with its preset and built; one with a build is brought up to date.
set -euo pipefail
export LC_ALL=C

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
readonly ROOT
readonly SED_SCRIPT='s/^[[:space:][:cntrl:]]*[hH][qQ][[:space:][:cntrl:]]*$/hd/'

runs=11
empty_runs=101
size_mib=64
sizes="1K 16K 64K 256K 1M 4M 16M 64M"
size_runs=41
large_size_runs=101
strict=0
wine=0
large=0
micro=0
phases=0
keep=0
while [[ $# -gt 0 ]]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --empty-runs) empty_runs="$2"; shift 2 ;;
    --size-mib) size_mib="$2"; shift 2 ;;
    --sizes) sizes="$2"; shift 2 ;;
    --size-runs) size_runs="$2"; shift 2 ;;
    --large-size-runs) large_size_runs="$2"; shift 2 ;;
    --strict) strict=1; shift ;;
    --wine) wine=1; shift ;;
    --large) large=1; shift ;;
    --micro) micro=1; shift ;;
    --phases) phases=1; shift ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "unknown option: $1 (see --help)" >&2; exit 2 ;;
  esac
done
if (( runs < 5 || empty_runs < 5 || size_runs < 5 || large_size_runs < 5 )); then
  echo "at least 5 runs are needed for a median worth the name" >&2
  exit 2
fi

# Bytes of a size in --sizes: 16K is 16 KiB, 4M 4 MiB, a number alone bytes.
size_bytes() {
  case "$1" in
    *[!0-9KM]* | [KM]* | *[KM]?*) return 1 ;;
    *K) echo $((${1%K} * 1024)) ;;
    *M) echo $((${1%M} * 1048576)) ;;
    *) echo "$1" ;;
  esac
}
for size in $sizes; do
  if ! size_bytes "$size" >/dev/null || (( $(size_bytes "$size") < 16 )); then
    echo "not a size of at least 16 bytes: $size (see --help)" >&2
    exit 2
  fi
done

build_dir="$ROOT/${HQ2HD_BUILD_DIR:-build/linux}"
bench_build_dir="$ROOT/${HQ2HD_BENCH_BUILD_DIR:-build/linux-bench}"

# Configures DIR with PRESET unless it is configured already, then builds TARGET.
# Further arguments go to the configuring, such as -DHQ2HD_BENCH=ON.
build() {
  local preset="$1" dir="$2" target="$3"
  shift 3
  mkdir -p "$dir"
  if [[ ! -f "$dir/CMakeCache.txt" ]]; then
    cmake --preset "$preset" -B "$dir" "$@" >"$dir/bench-configure.log" 2>&1 ||
      { cat "$dir/bench-configure.log" >&2; exit 1; }
  fi
  cmake --build "$dir" -j2 --target "$target" >"$dir/bench-build.log" 2>&1 ||
    { tail -30 "$dir/bench-build.log" >&2; echo "building $target in $dir failed" >&2; exit 1; }
}

echo "Building $build_dir/hq2hd (Release)"
build linux "$build_dir" hq2hd
readonly PROGRAM="$build_dir/hq2hd"
readonly FLOOR="$build_dir/io_floor"
cc -O2 -o "$FLOOR" "$ROOT/bench/io_floor.c"
readonly PHASE_STAMPS="$build_dir/phase_stamps.so"
# The stamps are loaded by the dynamic loader: the pass is timed in the same
# code linked against the shared C library.
readonly PHASES_PROGRAM="$build_dir/dynamic/hq2hd"
if (( phases )); then
  build linux "$build_dir" hq2hd_dynamic
  cc -O2 -shared -fPIC -o "$PHASE_STAMPS" "$ROOT/bench/phase_stamps.c" -ldl
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/hq2hd-bench.XXXXXX")"
if (( keep )); then
  trap 'echo "Files kept in $work"' EXIT
else
  trap 'rm -rf "$work"' EXIT
fi
data="$work/data"
run="$work/run"

echo "Generating ${size_mib} MiB work files"
python3 "$ROOT/bench/make_work_files.py" "$data" --size-mib "$size_mib" --extra | sed 's/^/  /'
: >"$data/empty.txt"
: >"$data/empty.expected"

# --- measuring ---------------------------------------------------------------

now_us() { echo "${EPOCHREALTIME/./}"; }

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# A fresh folder with the program and a fresh work file; made before timing.
prepare_program() {
  local program="$1" file="$2"
  rm -rf "$run"
  mkdir -p "$run"
  cp "$program" "$run/"
  cp "$file" "$run/JWC_TEMP.TXT"
}

prepare_floor() {
  rm -rf "$run"
  mkdir -p "$run"
  cp "$1" "$run/JWC_TEMP.TXT"
}

prepare_cp() {
  rm -rf "$run"
  mkdir -p "$run"
}

prepare_sed() {
  rm -rf "$run"
  mkdir -p "$run"
  cp "$1" "$run/sed.txt"
}

# Sets `cmd` to the command line of TOOL on FILE. sed runs in the C locale
# (LC_ALL=C is exported above), as a byte-wise tool should.
set_command() {
  local tool="$1" file="$2"
  case "$tool" in
    hq2hd) cmd=("$run/$(basename "$PROGRAM")") ;;
    floor) cmd=("$FLOOR" "$run") ;;
    cp) cmd=(cp "$file" "$run/copy.txt") ;;
    sed) cmd=(sed -i -E "$SED_SCRIPT" "$run/sed.txt") ;;
  esac
}

prepare() {
  local tool="$1" file="$2"
  case "$tool" in
    hq2hd) prepare_program "$PROGRAM" "$file" ;;
    floor) prepare_floor "$file" ;;
    cp) prepare_cp ;;
    sed) prepare_sed "$file" ;;
  esac
  # Dirty pages of the last run are written out now, not during the next one.
  sync
}

# Runs TOOL once on FILE and prints its wall time in microseconds. The program
# reports a failure on stdout with exit code 0, so its stdout must stay empty.
timed_run() {
  local tool="$1" file="$2" start end
  local -a cmd
  set_command "$tool" "$file"
  start=$(now_us)
  "${cmd[@]}" >"$work/stdout" 2>&1
  end=$(now_us)
  if [[ -s "$work/stdout" ]]; then
    echo "$tool printed: $(head -c 300 "$work/stdout")" >&2
    exit 1
  fi
  echo $((end - start))
}

# Runs TOOL once on FILE under /usr/bin/time -v and prints its peak resident
# memory in KiB, its user plus system time and its user time in seconds.
measured_run() {
  local tool="$1" file="$2"
  local -a cmd
  set_command "$tool" "$file"
  /usr/bin/time -v -o "$work/time.txt" "${cmd[@]}" >/dev/null 2>&1
  awk -F': ' '/Maximum resident set size/ { rss = $2 }
              /User time/ { cpu += $2; user = $2 } /System time/ { cpu += $2 }
              END { print rss, cpu, user }' "$work/time.txt"
}

# The warm-up run of the program on FILE, which must leave EXPECTED behind.
warm_up_program() {
  local program="$1" file="$2" expected="$3" launcher="${4:-}"
  prepare_program "$program" "$file"
  (cd "$run" && $launcher "./$(basename "$program")") >"$work/stdout" 2>&1
  if [[ -s "$work/stdout" ]]; then
    echo "$(basename "$program") printed: $(head -c 300 "$work/stdout")" >&2
    exit 1
  fi
  if ! cmp -s "$run/JWC_TEMP.TXT" "$expected"; then
    echo "$(basename "$program") left a work file unlike $(basename "$expected")" >&2
    exit 1
  fi
  if [[ -e "$run/TEMP.TXT" ]]; then
    echo "$(basename "$program") left its scratch copy behind" >&2
    exit 1
  fi
}

# Medians per tool: wall time in microseconds, peak resident memory in KiB,
# user plus system time and user time in seconds.
declare -A wall rss cpu user

# Fills wall, rss and cpu with the medians over COUNT runs of each TOOL on
# FILE; the tools take turns, so a busy machine slows them alike, in the
# opposite order every other round, so that none always runs after another.
measure() {
  local file="$1" count="$2"
  shift 2
  local tools=("$@") tool i k
  for tool in "${tools[@]}"; do
    : >"$work/wall.$tool"
    : >"$work/rss.$tool"
    : >"$work/cpu.$tool"
    : >"$work/user.$tool"
    prepare "$tool" "$file"
    timed_run "$tool" "$file" >/dev/null
  done
  for ((i = 0; i < count; i++)); do
    for ((k = 0; k < ${#tools[@]}; k++)); do
      tool=${tools[i % 2 ? ${#tools[@]} - 1 - k : k]}
      prepare "$tool" "$file"
      timed_run "$tool" "$file" >>"$work/wall.$tool"
    done
  done
  # 11 runs under /usr/bin/time (fewer only for --large): it gives CPU time in
  # steps of 10 ms, and the system splits it into user and system time by
  # where its clock ticks fall, so single runs of the same program differ by
  # a step or two.
  for ((i = 0; i < (count < 5 ? count : 11); i++)); do
    for tool in "${tools[@]}"; do
      prepare "$tool" "$file"
      read -r rss cpu user_s < <(measured_run "$tool" "$file")
      echo "$rss" >>"$work/rss.$tool"
      echo "$cpu" >>"$work/cpu.$tool"
      echo "$user_s" >>"$work/user.$tool"
    done
  done
  for tool in "${tools[@]}"; do
    wall[$tool]=$(median <"$work/wall.$tool")
    rss[$tool]=$(median <"$work/rss.$tool")
    cpu[$tool]=$(median <"$work/cpu.$tool")
    user[$tool]=$(median <"$work/user.$tool")
  done
}

# Prints the median time of the pass, in milliseconds, of each TOOL over
# COUNT runs on FILE, each stamped by the phase_stamps library: from the end
# of the first delete (the work file's) to the start of the next flush.
measure_pass() {
  local file="$1" count="$2" tool i
  shift 2
  local -a cmd
  for tool in "$@"; do : >"$work/phases.$tool"; done
  for ((i = 0; i < count; i++)); do
    for tool in "$@"; do
      if [[ $tool == hq2hd ]]; then
        prepare_program "$PHASES_PROGRAM" "$file"
      else
        prepare "$tool" "$file"
      fi
      set_command "$tool" "$file"
      HQ2HD_PHASES="$work/phases.$tool" LD_PRELOAD="$PHASE_STAMPS" "${cmd[@]}" >"$work/stdout" 2>&1
      if [[ -s "$work/stdout" ]]; then
        echo "$tool printed: $(head -c 300 "$work/stdout")" >&2
        exit 1
      fi
    done
  done
  for tool in "$@"; do
    awk '$1 == "--" { if (deleted != "" && flush != "") print flush - deleted; deleted = flush = ""; next }
         deleted == "" && ($1 == "unlink" || $1 == "unlinkat") { deleted = $2 + $3; next }
         deleted != "" && flush == "" && $1 == "fsync" { flush = $2 }' "$work/phases.$tool" \
      >"$work/pass.$tool"
    if (( $(wc -l <"$work/pass.$tool") != count )); then
      echo "$tool: the pass of $count runs was not stamped in each" >&2
      exit 1
    fi
    median <"$work/pass.$tool"
  done
}

# --- reporting ---------------------------------------------------------------

failures=0

seconds() { awk -v us="$1" 'BEGIN { printf "%.3fs", us / 1e6 }'; }
millis() { awk -v us="$1" 'BEGIN { printf "%.2fms", us / 1e3 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

# The wall time of TOOL against that of BASE in the last measure: the median
# of the two's ratio in each round. Runs of one round are close in time, so
# the machine's slower and faster spells divide out.
paired_ratio() {
  paste "$work/wall.$1" "$work/wall.$2" |
    awk '{ print ($2 > 0 ? $1 / $2 : 0) }' | median | awk '{ printf "%.2f", $1 }'
}

# Prints PASS or FAIL for a target: NAME, measured ratio, largest allowed ratio.
check() {
  local name="$1" measured="$2" limit="$3" verdict
  if awk -v m="$measured" -v l="$limit" 'BEGIN { exit !(m <= l) }'; then
    verdict=PASS
  else
    verdict=FAIL
    failures=$((failures + 1))
  fi
  printf '  %s  %-44s %6sx (at most %sx)\n' "$verdict" "$name" "$measured" "$limit"
}

file_bytes() { stat -c %s "$1"; }

mib() { awk -v kib="$1" 'BEGIN { printf "%.0f", kib / 1024 }'; }

# Prints PASS or FAIL for peak memory: NAME, peak in KiB, largest allowed MiB.
check_peak() {
  local name="$1" kib="$2" limit="$3" verdict=PASS
  if (( kib > limit * 1024 )); then
    verdict=FAIL
    failures=$((failures + 1))
  fi
  printf '  %s  %-44s %5sMiB (at most %sMiB)\n' "$verdict" "$name" "$(mib "$kib")" "$limit"
}

# Prints PASS or FAIL for the program's user CPU time: seconds, largest ms.
check_user() {
  local seconds="$1" limit="$2" verdict=PASS ms
  ms=$(awk -v s="$seconds" 'BEGIN { printf "%.0f", s * 1000 }')
  if (( ms > limit )); then
    verdict=FAIL
    failures=$((failures + 1))
  fi
  printf '  %s  %-44s %6sms (at most %sms)\n' "$verdict" "user CPU time of hq2hd" "$ms" "$limit"
}

report_large() {
  local label="$1" name="$2"
  local file="$data/$name.txt"
  warm_up_program "$PROGRAM" "$file" "$data/$name.expected"
  measure "$file" "$runs" hq2hd floor sed
  local bytes vs_floor vs_sed
  bytes=$(file_bytes "$file")
  vs_floor=$(paired_ratio hq2hd floor)
  vs_sed=$(paired_ratio hq2hd sed)
  echo "${size_mib}MiB $label: hq2hd $(seconds "${wall[hq2hd]}"), floor $(seconds "${wall[floor]}")" \
    "(${vs_floor}x), sed $(seconds "${wall[sed]}") (${vs_sed}x); peak $(mib "${rss[hq2hd]}")MiB" \
    "($(ratio "$((rss[hq2hd] * 1024))" "$bytes")x file)"
  echo "  cpu (user+sys): hq2hd ${cpu[hq2hd]}s (user ${user[hq2hd]}s), floor ${cpu[floor]}s," \
    "sed ${cpu[sed]}s; peak of floor $(mib "${rss[floor]}")MiB, sed $(mib "${rss[sed]}")MiB"
  check "wall time at most 1.2 times the floor" "$vs_floor" 1.2
  check_user "${user[hq2hd]}" 40
  check "wall time at most half of sed -i" "$vs_sed" 0.5
  echo "        (the floor itself is $(paired_ratio floor sed)x sed -i: sed neither" \
    "copies nor flushes)"
  check_peak "peak resident memory" "${rss[hq2hd]}" 16
}

# The same text as UTF-16: against the floor on that file, and its peak memory.
report_utf16() {
  local label="$1" name="$2" file="$data/$2.txt" vs_floor
  warm_up_program "$PROGRAM" "$file" "$data/$name.expected"
  measure "$file" "$runs" hq2hd floor
  vs_floor=$(paired_ratio hq2hd floor)
  echo "$label ($(($(file_bytes "$file") / 1048576))MiB): hq2hd $(seconds "${wall[hq2hd]}")," \
    "floor $(seconds "${wall[floor]}") (${vs_floor}x); user ${user[hq2hd]}s;" \
    "peak $(mib "${rss[hq2hd]}")MiB"
  check "wall time at most 1.5 times the floor" "$vs_floor" 1.5
  check_peak "peak resident memory" "${rss[hq2hd]}" 16
}

# Peak memory alone, median of 3 runs; LIMIT in MiB, none: the figure only.
report_peak() {
  local label="$1" name="$2" limit="${3:-}" file="$data/$2.txt" i peak
  warm_up_program "$PROGRAM" "$file" "$data/$name.expected"
  : >"$work/rss.peak"
  for ((i = 0; i < 3; i++)); do
    prepare hq2hd "$file"
    read -r rss_kib _ < <(measured_run hq2hd "$file")
    echo "$rss_kib" >>"$work/rss.peak"
  done
  peak=$(median <"$work/rss.peak")
  echo "$label ($(($(file_bytes "$file") / 1048576))MiB): peak $(mib "$peak")MiB"
  if [[ -n "$limit" ]]; then
    check_peak "peak resident memory" "$peak" "$limit"
  else
    echo "        (a line that may still be hq is held whole: its own figure)"
  fi
}

# Each size of --sizes, code page 932 and UTF-8: the run against the floor.
# The work files of the main size are reused; the others are made and removed.
report_sizes() {
  local size bytes folder name label vs_floor rounds
  echo "By size, against the floor (medians of $size_runs rounds each, $large_size_runs from" \
    "16 MiB on; the ratio is the median of the rounds' ratios):"
  for size in $sizes; do
    bytes=$(size_bytes "$size")
    rounds=$size_runs
    (( bytes < 16 * 1048576 )) || rounds=$large_size_runs
    label="${size/%K/KiB}"
    label="${label/%M/MiB}"
    if (( bytes == size_mib * 1048576 )); then
      folder="$data"
    else
      folder="$work/sizes"
      python3 "$ROOT/bench/make_work_files.py" "$folder" --size-bytes "$bytes" >/dev/null
    fi
    for name in cp932 utf8; do
      warm_up_program "$PROGRAM" "$folder/$name.txt" "$folder/$name.expected"
      measure "$folder/$name.txt" "$rounds" hq2hd floor
      vs_floor=$(paired_ratio hq2hd floor)
      echo "  $label $name: hq2hd $(millis "${wall[hq2hd]}"), floor $(millis "${wall[floor]}")" \
        "(${vs_floor}x); user hq2hd ${user[hq2hd]}s, floor ${user[floor]}s"
      check "$label $name at most 1.10 times the floor" "$vs_floor" 1.10
      if (( phases )); then
        local -a pass
        mapfile -t pass < <(measure_pass "$folder/$name.txt" "$rounds" hq2hd floor)
        awk -v p="${pass[0]}" -v f="${pass[1]}" -v mib="$((bytes / 1048576))" 'BEGIN {
          printf "        the pass alone: hq2hd %.2fms, floor %.2fms (%+.2fms", p, f, p - f
          if (mib > 0) printf ", %.2fms per MiB", (p - f) / mib
          print ")" }'
      fi
    done
    [[ "$folder" == "$data" ]] || rm -rf "$folder"
  done
}

report_empty() {
  warm_up_program "$PROGRAM" "$data/empty.txt" "$data/empty.expected"
  measure "$data/empty.txt" "$empty_runs" hq2hd cp floor
  local vs_cp
  vs_cp=$(paired_ratio hq2hd cp)
  echo "empty: hq2hd $(millis "${wall[hq2hd]}"), cp $(millis "${wall[cp]}") (${vs_cp}x)," \
    "floor with its flushes $(millis "${wall[floor]}"); peak hq2hd $(mib "${rss[hq2hd]}")MiB"
  check "empty file at most 2 times cp of an empty file" "$vs_cp" 2
}

# Median wall time in microseconds of PROGRAM under LAUNCHER on FILE.
wine_median() {
  local program="$1" launcher="$2" file="$3" i start end
  : >"$work/wall.wine"
  for ((i = 0; i < runs; i++)); do
    prepare_program "$program" "$file"
    sync
    start=$(now_us)
    (cd "$run" && "$launcher" "./$(basename "$program")") >/dev/null 2>&1
    end=$(now_us)
    echo $((end - start)) >>"$work/wall.wine"
  done
  median <"$work/wall.wine"
}

# The Windows program of build folder DIR under its wine-run, against the
# floor built for the same Windows (its compiler named by TRIPLE).
# No peak memory: /usr/bin/time does not see the 64-bit program's own process.
report_wine() {
  local dir="$1" preset="$2" triple="$3"
  build "$preset" "$dir" hq2hd
  local program="$dir/hq2hd.exe" launcher="$dir/wine-run" floor="$dir/io_floor.exe" name
  # A kernel without 32-bit programs cannot start the 32-bit loader.
  if ! "$launcher" --version >/dev/null 2>&1; then
    echo "  $(basename "$dir")/hq2hd.exe: not run, Wine does not start here" \
      "($("$launcher" --version 2>&1 | tail -1))"
    return
  fi
  "$triple-gcc" -O2 -municode -o "$floor" "$ROOT/bench/io_floor.c"
  warm_up_program "$program" "$data/empty.txt" "$data/empty.expected" "$launcher"
  local empty
  empty=$(wine_median "$program" "$launcher" "$data/empty.txt")
  echo "  $(basename "$dir")/hq2hd.exe, empty file: $(seconds "$empty") (Wine start-up)"
  for name in cp932 utf8; do
    warm_up_program "$program" "$data/$name.txt" "$data/$name.expected" "$launcher"
    local exe_us floor_us
    exe_us=$(wine_median "$program" "$launcher" "$data/$name.txt")
    floor_us=$(wine_median "$floor" "$launcher" "$data/$name.txt")
    echo "  $(basename "$dir")/hq2hd.exe, ${size_mib}MiB $name: $(seconds "$exe_us")," \
      "floor $(seconds "$floor_us")"
    check "$(basename "$dir") $name at most 1.3 times its floor" \
      "$(ratio "$exe_us" "$floor_us")" 1.3
  done
}

# Runs PROGRAM (under LAUNCHER, if any) once on the large FILE and checks
# that it left EXPECTED; prints the wall time and, for a native program, the
# peak memory.
large_run() {
  local label="$1" program="$2" file="$3" expected="$4" launcher="${5:-}" start end
  prepare_program "$program" "$file"
  sync
  start=$(now_us)
  if [[ -z "$launcher" ]]; then
    (cd "$run" && /usr/bin/time -v -o "$work/time.txt" "./$(basename "$program")") \
      >"$work/stdout" 2>&1
  else
    (cd "$run" && "$launcher" "./$(basename "$program")") >"$work/stdout" 2>&1
  fi
  end=$(now_us)
  local verdict=rewritten
  if [[ -s "$work/stdout" ]] || [[ -e "$run/TEMP.TXT" ]] || ! cmp -s "$run/JWC_TEMP.TXT" "$expected"; then
    verdict="NOT rewritten ($(head -c 200 "$work/stdout"))"
  fi
  local peak=""
  if [[ -z "$launcher" ]]; then
    peak=", peak $(mib "$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")")MiB"
  fi
  echo "  $label: $(seconds $((end - start)))$peak, $verdict"
  rm -rf "$run"
  [[ "$verdict" == rewritten ]]
}

large_check() {
  local name="$1" verdict=PASS
  shift
  if ! large_run "$@"; then
    verdict=FAIL
    failures=$((failures + 1))
  fi
  printf '  %s  %s\n' "$verdict" "$name"
}

report_growth() {
  local folder="$work/large" small_us big_us small_per big_per growth
  echo "Growth, code page 932 (median of $runs runs at 16 MiB, 3 at 1 GiB):"
  python3 "$ROOT/bench/make_work_files.py" "$folder/16" --size-mib 16 --only cp932 >/dev/null
  warm_up_program "$PROGRAM" "$folder/16/cp932.txt" "$folder/16/cp932.expected"
  measure "$folder/16/cp932.txt" "$runs" hq2hd
  small_us=${wall[hq2hd]}
  rm -rf "$folder/16"
  python3 "$ROOT/bench/make_work_files.py" "$folder/1024" --size-mib 1024 --only cp932 >/dev/null
  warm_up_program "$PROGRAM" "$folder/1024/cp932.txt" "$folder/1024/cp932.expected"
  measure "$folder/1024/cp932.txt" 3 hq2hd
  big_us=${wall[hq2hd]}
  rm -rf "$folder/1024"
  small_per=$(awk -v us="$small_us" 'BEGIN { printf "%.2f", us / 1e3 / 16 }')
  big_per=$(awk -v us="$big_us" 'BEGIN { printf "%.2f", us / 1e3 / 1024 }')
  growth=$(ratio "$big_per" "$small_per")
  echo "  16MiB $(seconds "$small_us") (${small_per}ms/MiB), 1GiB $(seconds "$big_us")" \
    "(${big_per}ms/MiB); peak at 1GiB $(mib "${rss[hq2hd]}")MiB"
  check "wall time per MiB at 1 GiB at most 1.25 times 16 MiB" "$growth" 1.25
}

report_largest() {
  local folder="$work/large" bytes=2147483647
  echo "The largest work file, $bytes bytes of code page 932 (one run each, compared with" \
    "the expected file):"
  python3 "$ROOT/bench/make_work_files.py" "$folder" --size-bytes "$bytes" --only cp932 >/dev/null
  large_check "2^31 - 1 bytes, Linux program" "Linux" "$PROGRAM" \
    "$folder/cp932.txt" "$folder/cp932.expected"
  check_peak "peak resident memory, Linux program" \
    "$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")" 16
  local win64="$ROOT/${HQ2HD_WIN64_DIR:-build/win64}" win32="$ROOT/${HQ2HD_WIN32_DIR:-build/win32}"
  build win64 "$win64" hq2hd
  large_check "2^31 - 1 bytes, win64 exe under Wine" "win64" "$win64/hq2hd.exe" \
    "$folder/cp932.txt" "$folder/cp932.expected" "$win64/wine-run"
  build win32 "$win32" hq2hd
  large_check "2^31 - 1 bytes, win32 exe under Wine" "win32" "$win32/hq2hd.exe" \
    "$folder/cp932.txt" "$folder/cp932.expected" "$win32/wine-run"
  rm -rf "$folder"
}

echo
echo "Median of $runs runs after a warm-up (${empty_runs} for the empty file); $(nproc) cores," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
report_large cp932 cp932
report_large "UTF-8" utf8
report_utf16 "UTF-16 LE" utf16le
report_utf16 "UTF-16 BE" utf16be
report_peak "code page 932 with 200 invalid pairs" cp932-invalid 16
report_peak "one line of code page 932 characters" long-line 16
report_peak "one blank line around hq" blank-hq-line
report_empty
[[ -z "${sizes// /}" ]] || report_sizes

if (( wine )); then
  echo
  echo "Under Wine, against the floor built for Windows:"
  report_wine "$ROOT/${HQ2HD_WIN32_DIR:-build/win32}" win32 i686-w64-mingw32
  report_wine "$ROOT/${HQ2HD_WIN64_DIR:-build/win64}" win64 x86_64-w64-mingw32
fi

if (( large )); then
  echo
  report_growth
  report_largest
fi

if (( micro )); then
  echo
  echo "Stage benchmarks (codec_benchmarks) on the same files:"
  build linux "$bench_build_dir" codec_benchmarks -DHQ2HD_BENCH=ON
  "$bench_build_dir/bench/codec_benchmarks" "$data" --benchmark_counters_tabular=true 2>/dev/null
fi

echo
if (( failures > 0 )); then
  echo "$failures target(s) missed"
  (( strict )) && exit 1
else
  echo "All targets met"
fi
exit 0
