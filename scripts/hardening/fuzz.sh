#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer), replays the kept regression inputs, then
# fuzzes each target from the generated seed corpus, one per core: the two
# speed-effect targets together for FUZZ_SECONDS (default 40), then the
# tempo-effect and path targets together for a third of that; and prints each target's executions. A crash leaves
# its input in build-hardening/fuzz/artifacts/; keep it as
# fuzz/regressions/<target>/<name> so every build replays it.
#   bash scripts/hardening/fuzz.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/hardening/common.sh

build=build-hardening/fuzz
seconds=${FUZZ_SECONDS:-40}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTAVREL_SANITIZE=fuzzer \
  -DTAVREL_WARNINGS_AS_ERRORS=ON -DTAVREL_BUILD_FUZZERS=ON \
  -DBUILD_TESTING=OFF -DTAVREL_BUILD_TOOLS=OFF -DTAVREL_BUILD_BENCHMARKS=OFF -DORLESK_BUILD=OFF
cmake --build "$build" -j "$(hardening_jobs)" \
  --target speed_effect_fuzzer wav_conversion_fuzzer tempo_effect_fuzzer narrow_path_fuzzer \
  make_fuzz_seeds

rm -rf "$build/seeds" "$build/artifacts"
"$build/fuzz/make_fuzz_seeds" "$build/seeds"

# A call's work buffers are bounded whatever the header says (the largest
# are one block of 65535-byte frames and the tempo change's window, 64 MiB
# each): -malloc_limit_mb makes any
# larger allocation a failure that keeps its input. A small quarantine
# keeps freed buffers in use instead of mapping fresh pages for every call.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:quarantine_size_mb=8"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

declare -A max_len=([speed_effect]=8192 [wav_conversion]=8192 [tempo_effect]=8192 [narrow_path]=4096)
declare -A seed_set=([speed_effect]=speed_effect [wav_conversion]=speed_effect [tempo_effect]=speed_effect
  [narrow_path]=narrow_path)

# Replays a target's kept inputs, then fuzzes it; the last line of its log
# says how it went.
fuzz_target() {
  local target=$1 seconds=$2
  local fuzzer=$build/fuzz/${target}_fuzzer regressions=fuzz/regressions/$target
  local corpus=$build/corpus/$target log=$build/$target.log
  if [[ -d $regressions ]] && ! "$fuzzer" -runs=0 "$regressions" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz $target: a kept input in $regressions fails"
    return 1
  fi
  mkdir -p "$corpus" "$build/artifacts/$target"
  if "$fuzzer" -max_total_time="$seconds" -max_len="${max_len[$target]}" -timeout=25 \
      -malloc_limit_mb=80 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target/" \
      "$corpus" "$build/seeds/${seed_set[$target]}" >"$log" 2>&1; then
    local runs rate
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "fuzz $target: $runs executions in ${seconds}s ($rate/s), no crash"
  else
    grep -v -E '^#[0-9]+ ' "$log" | tail -n 60
    echo "fuzz $target: CRASH, input kept in $build/artifacts/$target/:" \
      "$(ls "$build/artifacts/$target/")"
    return 1
  fi
}

# Runs targets side by side, each for the given seconds, and reports them.
fuzz_together() {
  local seconds=$1 target pid status=0
  shift
  local pids=()
  for target in "$@"; do
    fuzz_target "$target" "$seconds" >"$build/$target.result" 2>&1 &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do
    wait "$pid" || status=1
  done
  for target in "$@"; do
    cat "$build/$target.result"
  done
  return "$status"
}

status=0
fuzz_together "$seconds" speed_effect wav_conversion || status=1
fuzz_together $((seconds / 3)) tempo_effect narrow_path || status=1
exit "$status"
