#!/usr/bin/env bash
# Builds the whole suite with clang's sanitizers and runs every test under
# each, one build after the other (both are heavy):
#   build-asan  AddressSanitizer + UndefinedBehaviorSanitizer, with the fuzz
#               targets, each then fuzzed for FUZZ_SECONDS (default 30)
#   build-tsan  ThreadSanitizer
# Any sanitizer report fails the test that caused it, and the script fails.
# Time limits in the tests are stretched by QUIMBREL_TEST_TIME_SCALE, since
# instrumented code runs several times slower.
#
#   scripts/run-sanitizers.sh [asan|tsan|fuzz]...   (default: all three)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps.sh clang libclang-rt-14-dev

jobs=${JOBS:-2}
fuzz_seconds=${FUZZ_SECONDS:-30}
steps=("$@")
((${#steps[@]})) || steps=(asan fuzz tsan)

configure_and_build() {
  local dir=$1 sanitize=$2 fuzz=$3
  CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUIMBREL_SANITIZE="$sanitize" -DQUIMBREL_FUZZ="$fuzz" -DQUIMBREL_BENCH=OFF >/dev/null
  cmake --build "$dir" -j "$jobs"
}

run_tests() {
  local dir=$1
  # Window tests draw on Qt's offscreen platform: no display is needed.
  (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
}

asan_environment() {
  export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export QUIMBREL_TEST_TIME_SCALE=${QUIMBREL_TEST_TIME_SCALE_ASAN:-4}
}

for step in "${steps[@]}"; do
  case $step in
  asan)
    echo "== AddressSanitizer + UndefinedBehaviorSanitizer =="
    (asan_environment && configure_and_build build-asan address,undefined ON && run_tests build-asan)
    ;;
  fuzz)
    echo "== Fuzzing, ${fuzz_seconds} s per target =="
    (
      asan_environment
      configure_and_build build-asan address,undefined ON
      shopt -s nullglob
      targets=(build-asan/tests/fuzz/fuzz_*)
      ((${#targets[@]})) || { echo "No fuzz targets were built." >&2; exit 1; }
      for target in "${targets[@]}"; do
        [[ -f $target && -x $target ]] || continue  # the build's own folders share the prefix
        name=$(basename "$target")
        name=${name#fuzz_}
        # New inputs go to a scratch corpus; the seeds in the repository stay as they are.
        work=build-asan/fuzz-work/$name
        mkdir -p "$work" build-asan/fuzz-crashes
        log=$work.log
        echo "-- fuzz_$name"
        if ! "$target" -max_total_time="$fuzz_seconds" -max_len=4096 -timeout=20 -rss_limit_mb=4096 \
          -print_final_stats=1 -artifact_prefix=build-asan/fuzz-crashes/"$name"- \
          "$work" "tests/fuzz/corpus/$name" >"$log" 2>&1; then
          tail -n 80 "$log"
          echo "fuzz_$name found a fault; the input is kept in build-asan/fuzz-crashes" >&2
          exit 1
        fi
        grep -E '^stat::(number_of_executed_units|new_units_added)' "$log" || true
      done
    )
    ;;
  tsan)
    echo "== ThreadSanitizer =="
    (
      export TSAN_OPTIONS="suppressions=$root/tests/sanitizers/tsan.supp:second_deadlock_stack=1:history_size=4"
      export QUIMBREL_TEST_TIME_SCALE=${QUIMBREL_TEST_TIME_SCALE_TSAN:-8}
      configure_and_build build-tsan thread OFF && run_tests build-tsan
    )
    ;;
  *)
    echo "unknown step \"$step\" (asan, fuzz or tsan)" >&2
    exit 2
    ;;
  esac
done
echo "All sanitizer runs passed."
