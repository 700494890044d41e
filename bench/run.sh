#!/usr/bin/env bash
# Measures the Linux hq2hd on 64 MiB work files (code page 932, and UTF-8 with
# a byte-order mark) against cp of the same file (the copy floor) and sed -i
# (a one-line tool that rewrites in place), and on an empty work file against
# cp of an empty file (the start-up cost). Prints the medians, the ratios and
# PASS or FAIL for each target.
#
# Usage: bench/run.sh [options]
#   --runs N        timed runs of each command after the warm-up (default 5)
#   --empty-runs N  timed runs for the empty file (default 101; each takes ~1 ms)
#   --size-mib N    size of each work file (default 64)
#   --strict        exit 1 when a target is missed
#   --wine          also the figures of build/win32 and build/win64 hq2hd.exe
#                   under Wine, for information
#   --micro         also the stage benchmarks (codec_benchmarks) on the same files
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

runs=5
empty_runs=101
size_mib=64
strict=0
wine=0
micro=0
keep=0
while [[ $# -gt 0 ]]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --empty-runs) empty_runs="$2"; shift 2 ;;
    --size-mib) size_mib="$2"; shift 2 ;;
    --strict) strict=1; shift ;;
    --wine) wine=1; shift ;;
    --micro) micro=1; shift ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "unknown option: $1 (see --help)" >&2; exit 2 ;;
  esac
done
if (( runs < 5 || empty_runs < 5 )); then
  echo "at least 5 runs are needed for a median worth the name" >&2
  exit 2
fi

build_dir="$ROOT/${HQ2HD_BUILD_DIR:-build/linux}"
bench_build_dir="$ROOT/${HQ2HD_BENCH_BUILD_DIR:-build/linux-bench}"

# Configures DIR with PRESET unless it is configured already, then builds TARGET.
build() {
  local preset="$1" dir="$2" target="$3"
  mkdir -p "$dir"
  if [[ ! -f "$dir/CMakeCache.txt" ]]; then
    cmake --preset "$preset" -B "$dir" >"$dir/bench-configure.log" 2>&1 ||
      { cat "$dir/bench-configure.log" >&2; exit 1; }
  fi
  cmake --build "$dir" -j2 --target "$target" >"$dir/bench-build.log" 2>&1 ||
    { tail -30 "$dir/bench-build.log" >&2; echo "building $target in $dir failed" >&2; exit 1; }
}

echo "Building $build_dir/hq2hd (Release)"
build linux "$build_dir" hq2hd
readonly PROGRAM="$build_dir/hq2hd"

work="$(mktemp -d "${TMPDIR:-/tmp}/hq2hd-bench.XXXXXX")"
if (( keep )); then
  trap 'echo "Files kept in $work"' EXIT
else
  trap 'rm -rf "$work"' EXIT
fi
data="$work/data"
run="$work/run"

echo "Generating ${size_mib} MiB work files"
python3 "$ROOT/bench/make_work_files.py" "$data" --size-mib "$size_mib" | sed 's/^/  /'
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
    cp) cmd=(cp "$file" "$run/copy.txt") ;;
    sed) cmd=(sed -i -E "$SED_SCRIPT" "$run/sed.txt") ;;
  esac
}

prepare() {
  local tool="$1" file="$2"
  case "$tool" in
    hq2hd) prepare_program "$PROGRAM" "$file" ;;
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
# memory in KiB, then its user plus system time in seconds.
measured_run() {
  local tool="$1" file="$2"
  local -a cmd
  set_command "$tool" "$file"
  /usr/bin/time -v -o "$work/time.txt" "${cmd[@]}" >/dev/null 2>&1
  awk -F': ' '/Maximum resident set size/ { rss = $2 }
              /User time/ { cpu += $2 } /System time/ { cpu += $2 }
              END { print rss, cpu }' "$work/time.txt"
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
# user plus system time in seconds.
declare -A wall rss cpu

# Fills wall, rss and cpu with the medians over COUNT runs;
# the tools take turns, so a busy machine slows them alike.
measure() {
  local file="$1" count="$2" with_sed="$3"
  local tools=(hq2hd cp)
  (( with_sed )) && tools+=(sed)
  local tool i
  for tool in "${tools[@]}"; do
    : >"$work/wall.$tool"
    : >"$work/rss.$tool"
    : >"$work/cpu.$tool"
    prepare "$tool" "$file"
    timed_run "$tool" "$file" >/dev/null
  done
  for ((i = 0; i < count; i++)); do
    for tool in "${tools[@]}"; do
      prepare "$tool" "$file"
      timed_run "$tool" "$file" >>"$work/wall.$tool"
    done
  done
  for ((i = 0; i < (count < 5 ? count : 5); i++)); do
    for tool in "${tools[@]}"; do
      prepare "$tool" "$file"
      read -r rss cpu < <(measured_run "$tool" "$file")
      echo "$rss" >>"$work/rss.$tool"
      echo "$cpu" >>"$work/cpu.$tool"
    done
  done
  for tool in "${tools[@]}"; do
    wall[$tool]=$(median <"$work/wall.$tool")
    rss[$tool]=$(median <"$work/rss.$tool")
    cpu[$tool]=$(median <"$work/cpu.$tool")
  done
}

# --- reporting ---------------------------------------------------------------

failures=0

seconds() { awk -v us="$1" 'BEGIN { printf "%.3fs", us / 1e6 }'; }
millis() { awk -v us="$1" 'BEGIN { printf "%.2fms", us / 1e3 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

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

report_large() {
  local label="$1" name="$2"
  local file="$data/$name.txt"
  warm_up_program "$PROGRAM" "$file" "$data/$name.expected"
  measure "$file" "$runs" 1
  local bytes vs_cp vs_sed peak_mib vs_file
  bytes=$(file_bytes "$file")
  vs_cp=$(ratio "${wall[hq2hd]}" "${wall[cp]}")
  vs_sed=$(ratio "${wall[hq2hd]}" "${wall[sed]}")
  peak_mib=$(awk -v kib="${rss[hq2hd]}" 'BEGIN { printf "%.0f", kib / 1024 }')
  vs_file=$(ratio "$((rss[hq2hd] * 1024))" "$bytes")
  echo "${size_mib}MiB $label: hq2hd $(seconds "${wall[hq2hd]}"), cp $(seconds "${wall[cp]}") (${vs_cp}x)," \
    "sed $(seconds "${wall[sed]}") (${vs_sed}x); peak ${peak_mib}MiB (${vs_file}x file)"
  echo "  cpu (user+sys): hq2hd ${cpu[hq2hd]}s, cp ${cpu[cp]}s, sed ${cpu[sed]}s;" \
    "peak of cp $((rss[cp] / 1024))MiB, sed $((rss[sed] / 1024))MiB"
  check "wall time at most 4 times cp" "$vs_cp" 4
  check "wall time at most half of sed -i" "$vs_sed" 0.5
  check "peak resident memory at most 4 times the file" "$vs_file" 4
}

report_empty() {
  warm_up_program "$PROGRAM" "$data/empty.txt" "$data/empty.expected"
  measure "$data/empty.txt" "$empty_runs" 0
  local vs_cp
  vs_cp=$(ratio "${wall[hq2hd]}" "${wall[cp]}")
  echo "empty: hq2hd $(millis "${wall[hq2hd]}"), cp $(millis "${wall[cp]}") (${vs_cp}x);" \
    "peak hq2hd $((rss[hq2hd] / 1024))MiB, cp $((rss[cp] / 1024))MiB"
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

# The Windows program of build folder DIR under its wine-run, for information.
# No peak memory: /usr/bin/time does not see the 64-bit program's own process.
report_wine() {
  local dir="$1" preset="$2"
  build "$preset" "$dir" hq2hd
  local program="$dir/hq2hd.exe" launcher="$dir/wine-run" name
  warm_up_program "$program" "$data/empty.txt" "$data/empty.expected" "$launcher"
  local empty
  empty=$(wine_median "$program" "$launcher" "$data/empty.txt")
  echo "  $(basename "$dir")/hq2hd.exe, empty file: $(seconds "$empty") (Wine start-up)"
  for name in cp932 utf8; do
    warm_up_program "$program" "$data/$name.txt" "$data/$name.expected" "$launcher"
    echo "  $(basename "$dir")/hq2hd.exe, ${size_mib}MiB $name:" \
      "$(seconds "$(wine_median "$program" "$launcher" "$data/$name.txt")")"
  done
}

echo
echo "Median of $runs runs after a warm-up (${empty_runs} for the empty file); $(nproc) cores," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
report_large cp932 cp932
report_large "UTF-8" utf8
report_empty

if (( wine )); then
  echo
  echo "Under Wine, for information:"
  report_wine "$ROOT/${HQ2HD_WIN32_DIR:-build/win32}" win32
  report_wine "$ROOT/${HQ2HD_WIN64_DIR:-build/win64}" win64
fi

if (( micro )); then
  echo
  echo "Stage benchmarks (codec_benchmarks) on the same files:"
  build linux-bench "$bench_build_dir" codec_benchmarks
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
