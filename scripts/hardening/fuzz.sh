#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer), replays the kept regression inputs, then
# fuzzes each target for FUZZ_SECONDS (default 60) from the generated seed
# corpus. A crash leaves its input in build-hardening/fuzz/artifacts/; keep
# it as fuzz/regressions/<target>/<name> so every build replays it.
#   bash scripts/hardening/fuzz.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/hardening/common.sh

build=build-hardening/fuzz
seconds=${FUZZ_SECONDS:-60}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTAVREL_SANITIZE=fuzzer \
  -DTAVREL_WARNINGS_AS_ERRORS=ON -DTAVREL_BUILD_FUZZERS=ON \
  -DBUILD_TESTING=OFF -DTAVREL_BUILD_TOOLS=OFF -DTAVREL_BUILD_BENCHMARKS=OFF -DORLESK_BUILD=OFF
cmake --build "$build" -j "$(hardening_jobs)" \
  --target speed_effect_fuzzer narrow_path_fuzzer make_fuzz_seeds

rm -rf "$build/seeds" "$build/artifacts"
"$build/fuzz/make_fuzz_seeds" "$build/seeds"

# Allocations over 1 GiB fail as they would on a small device: a header
# with a wide frame at a slow speed asks for up to 6.7 GB of work buffer,
# which must give a clean out-of-memory status rather than a fuzzer abort.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:allocator_may_return_null=1:max_allocation_size_mb=1024"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

declare -A max_len=([speed_effect]=8192 [narrow_path]=4096)

# Replays a target's kept inputs, then fuzzes it; the last line of its log
# says how it went.
fuzz_target() {
  local target=$1
  local fuzzer=$build/fuzz/${target}_fuzzer regressions=fuzz/regressions/$target
  local corpus=$build/corpus/$target log=$build/$target.log
  if [[ -d $regressions ]] && ! "$fuzzer" -runs=0 "$regressions" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz $target: a kept input in $regressions fails"
    return 1
  fi
  mkdir -p "$corpus" "$build/artifacts/$target"
  if "$fuzzer" -max_total_time="$seconds" -max_len="${max_len[$target]}" -timeout=25 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$target/" \
      "$corpus" "$build/seeds/$target" >"$log" 2>&1; then
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

# One target per core, at the same time.
fuzz_target speed_effect >"$build/speed_effect.result" 2>&1 &
speed_effect=$!
fuzz_target narrow_path >"$build/narrow_path.result" 2>&1 &
narrow_path=$!
status=0
wait "$speed_effect" || status=1
wait "$narrow_path" || status=1
cat "$build/speed_effect.result" "$build/narrow_path.result"
exit "$status"
