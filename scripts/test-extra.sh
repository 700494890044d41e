#!/usr/bin/env bash
# The slower checks beside scripts/test.sh: the whole native suite under the
# address and undefined-behaviour sanitizers, each fuzz target for a minute,
# and end-to-end runs of the program under Valgrind memcheck. Stops at the
# first failure. Needs what scripts/install-deps.sh installs.
#   FUZZ_SECONDS   time per fuzz target (default 60)
#   STEPS          which of "sanitizers fuzzing valgrind" to run (default all)
#   BUILD_PREFIX   binary folders are build/<prefix>-asan and -fuzz, and
#                  Valgrind runs the plain build's program linked against the
#                  shared C library, build/<prefix>/dynamic/hq2hd (default:
#                  the preset names, build/linux-asan, ..., build/linux)
set -euo pipefail
cd "$(dirname "$0")/.."

fuzz_seconds=${FUZZ_SECONDS:-60}
steps=" ${STEPS:-sanitizers fuzzing valgrind} "
asan_dir=build/${BUILD_PREFIX:-linux}-asan
fuzz_dir=build/${BUILD_PREFIX:-linux}-fuzz
# The plain build that scripts/test.sh has made already: brought up to date, not made again.
valgrind_dir=build/${BUILD_PREFIX:-linux}

started=$SECONDS
current="setup"
trap 'echo "FAILED: $current, after $((SECONDS - started)) s." >&2' ERR
stage_started=$SECONDS
stage_times=()
# Notes how long the stage that just ended took, for the summary.
stage_done() {
  stage_times+=("$1 $((SECONDS - stage_started)) s")
  stage_started=$SECONDS
}

current="sanitizers"
if [[ $steps == *" sanitizers "* ]]; then
echo "=== native suite under address and undefined-behaviour sanitizers ($asan_dir)"
cmake --preset linux-asan -B "$asan_dir" >/dev/null
cmake --build "$asan_dir" -j2
# LeakSanitizer is on with ASan on Linux: a leak fails the test as well.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$asan_dir" --output-on-failure -j2
stage_done "sanitizers"
fi

current="fuzzing"
if [[ $steps == *" fuzzing "* ]]; then
echo "=== fuzz targets, ${fuzz_seconds} s each ($fuzz_dir)"
cmake --preset linux-fuzz -B "$fuzz_dir" >/dev/null
cmake --build "$fuzz_dir" -j2 --target CodecFuzzer PathFuzzer
# One target per core, side by side: each still gets its whole time.
fuzz_targets=(CodecFuzzer PathFuzzer)
fuzz_pids=()
for target in "${fuzz_targets[@]}"; do
  case $target in CodecFuzzer) seeds=tests/fuzz/corpus/codec ;; PathFuzzer) seeds=tests/fuzz/corpus/path ;; esac
  # New inputs go to a corpus in the build folder; the seeds stay as they are.
  work="$fuzz_dir/corpus-$target"
  mkdir -p "$work" "$fuzz_dir/crashes-$target"
  (cd "$fuzz_dir/crashes-$target" && "../tests/fuzz/$target" -max_total_time="$fuzz_seconds" \
      -rss_limit_mb=2048 -print_final_stats=1 "../corpus-$target" "$OLDPWD/$seeds" \
      > "../fuzz-$target.log" 2>&1) &
  fuzz_pids+=("$!")
done
fuzz_failed=0
for i in "${!fuzz_targets[@]}"; do
  target=${fuzz_targets[$i]}
  if wait "${fuzz_pids[$i]}"; then
    echo "--- $target"; tail -n 12 "$fuzz_dir/fuzz-$target.log"
  else
    echo "--- $target"; tail -n 60 "$fuzz_dir/fuzz-$target.log"
    echo "$target found a failing input in $fuzz_dir/crashes-$target: add it to the seeds" \
         "in tests/fuzz/corpus and make it pass" >&2
    fuzz_failed=1
  fi
done
[ "$fuzz_failed" = 0 ]
stage_done "fuzzing"
fi

current="valgrind"
if [[ $steps == *" valgrind "* ]]; then
echo "=== end-to-end runs under Valgrind memcheck ($valgrind_dir)"
# Valgrind needs the plain build: sanitizers and Valgrind do not mix.
[ -f "$valgrind_dir/CMakeCache.txt" ] || cmake --preset linux -B "$valgrind_dir" >/dev/null
# The shipped program links the C library in whole, whose heap Valgrind
# cannot follow: the same code, linked against the shared library.
cmake --build "$valgrind_dir" -j2 --target hq2hd_dynamic
program="$PWD/$valgrind_dir/dynamic/hq2hd"
sandbox=$(mktemp -d)
trap 'rm -rf "$sandbox"' EXIT
cases=0
# What the harness below cannot show: a link at the scratch copy's name and a
# line of 20 MB. Every row of tests/cases/work_files.txt (the work files, a
# missing one, a folder, a body that is not UTF-8) runs in the harness's
# test_codec_bytes under Valgrind.
# name | work file bytes (printf format) | how the folder is prepared
while IFS='|' read -r name bytes prepare; do
  folder="$sandbox/$name"
  mkdir -p "$folder"
  cp "$program" "$folder/hq2hd"
  case $prepare in
    link) printf "$bytes" > "$folder/JWC_TEMP.TXT"; ln -s JWC_TEMP.TXT "$folder/TEMP.TXT" ;;
    large) head -c 20000000 /dev/zero | tr '\0' 'a' > "$folder/JWC_TEMP.TXT" ;;
  esac
  (cd "$folder" && valgrind -q --error-exitcode=1 --leak-check=full \
      --errors-for-leak-kinds=definite,indirect ./hq2hd > stdout.txt) \
    || { echo "valgrind: case $name failed" >&2; cat "$folder/stdout.txt" >&2; false; }
  cases=$((cases + 1))
done <<'CASES'
scratch-link|a\r\nhq\r\n|link
twenty-megabytes||large
CASES
echo "valgrind: $cases end-to-end cases, no error and no leak"
echo "--- the end-to-end harness under Valgrind"
# Two halves side by side, one per core: the long modules, and the rest.
wrapper="valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect"
python3 tests/e2e/run_e2e.py --program "$program" --sandboxes "$sandbox/harness-long" \
  --wrapper "$wrapper" test_large_file test_overlap test_reports > "$sandbox/harness-long.log" 2>&1 &
long_pid=$!
python3 tests/e2e/run_e2e.py --program "$program" --sandboxes "$sandbox/harness" \
  --wrapper "$wrapper" test_codec_bytes test_rewrite_rule test_program_folder \
  test_output_handles test_path_checks
wait "$long_pid" || { cat "$sandbox/harness-long.log" >&2; false; }
cat "$sandbox/harness-long.log"
stage_done "valgrind"
fi

elapsed=$((SECONDS - started))
echo "Extra checks passed in $((elapsed / 60)) min $((elapsed % 60)) s."
# For scripts/test.sh's summary.
if [ -n "${STAGE_TIMES_FILE:-}" ]; then printf '%s\n' "${stage_times[@]}" >> "$STAGE_TIMES_FILE"; fi
