#!/usr/bin/env bash
# The hardening runs in one command:
#   - the whole test suite with AddressSanitizer + UndefinedBehaviorSanitizer,
#     built with g++ and with clang (asan-gcc, asan-clang);
#   - the recorder's tests with ThreadSanitizer, g++ and clang (tsan-gcc,
#     tsan-clang);
#   - the libFuzzer targets after replaying their kept regression inputs
#     (fuzz): the two speed-effect targets side by side for FUZZ_SECONDS
#     (default 40), then the path target for a third of that;
#   - cross builds for armhf, aarch64 and s390x with their tests under
#     qemu-user, including the check that every architecture writes the
#     same bytes as x86-64 (armhf, aarch64, s390x).
# Warnings are errors everywhere. Each build has its own directory under
# build-hardening/, and each step's output goes to build-hardening/logs/.
#
#   bash scripts/hardening.sh              every step
#   bash scripts/hardening.sh fuzz s390x   only the steps named
set -uo pipefail
cd "$(dirname "$0")/.."

all_steps=(asan-gcc asan-clang tsan-gcc tsan-clang fuzz armhf aarch64 s390x)
steps=("$@")
((${#steps[@]} > 0)) || steps=("${all_steps[@]}")
for step in "${steps[@]}"; do
  [[ " ${all_steps[*]} " == *" $step "* ]] || {
    echo "unknown step: $step (steps: ${all_steps[*]})" >&2
    exit 2
  }
done

logs=build-hardening/logs
mkdir -p "$logs"
started=$SECONDS
results=()
failed=0

# Runs one step with its output in a log, and records its result and time.
run_step() {
  local name=$1
  shift
  local log=$logs/$name.log begin=$SECONDS
  echo "== $name"
  if "$@" >"$log" 2>&1; then
    results+=("$(printf '%-11s passed  %4ds  %s' "$name" $((SECONDS - begin)) "$(step_note "$log")")")
  else
    failed=$((failed + 1))
    tail -n 80 "$log"
    results+=("$(printf '%-11s FAILED  %4ds  see %s' "$name" $((SECONDS - begin)) "$log")")
  fi
}

# The line of a step's log worth repeating in the summary.
step_note() {
  grep -E '^fuzz [a-z_]+: |tests passed|nothing to run' "$1" | tr '\n' ' ' || true
}

cross_packages=(g++-arm-linux-gnueabihf g++-aarch64-linux-gnu g++-s390x-linux-gnu qemu-user)
run_step install bash scripts/install-deps.sh clang libclang-rt-14-dev "${cross_packages[@]}"
if [[ ${results[0]} == *FAILED* ]]; then
  printf '%s\n' "${results[@]}"
  exit 1
fi

for step in "${steps[@]}"; do
  case "$step" in
    asan-* | tsan-*) run_step "$step" bash scripts/hardening/sanitize.sh "${step%-*}" "${step#*-}" ;;
    fuzz) run_step "$step" bash scripts/hardening/fuzz.sh ;;
    *) run_step "$step" bash scripts/hardening/cross.sh "$step" ;;
  esac
done

echo
echo "Hardening summary (wall time $((SECONDS - started))s):"
printf '  %s\n' "${results[@]}"
echo "hardening: $((${#results[@]} - failed)) passed, $failed failed"
((failed == 0))
