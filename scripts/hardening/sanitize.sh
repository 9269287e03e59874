#!/usr/bin/env bash
# Builds and runs tests under a sanitizer, halting on the first report.
#   bash scripts/hardening/sanitize.sh asan gcc|clang
#       the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer
#   bash scripts/hardening/sanitize.sh tsan gcc|clang
#       the recorder's tests (fake device, stress, ALSA file plugin) with
#       ThreadSanitizer
# The build goes to build-hardening/<kind>-<compiler>/.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/hardening/common.sh

kind=${1:?kind: asan or tsan}
compiler=${2:?compiler: gcc or clang}
build=build-hardening/$kind-$compiler

case "$compiler" in
  gcc) cc=gcc cxx=g++ ;;
  clang) cc=clang cxx=clang++ ;;
  *) echo "unknown compiler: $compiler" >&2; exit 2 ;;
esac

case "$kind" in
  asan) sanitize=address tools=ON ;;
  # Only the recorder's tests run here; the commands are covered by the
  # AddressSanitizer builds.
  tsan) sanitize=thread tools=OFF ;;
  *) echo "unknown sanitizer: $kind" >&2; exit 2 ;;
esac

# -O1 keeps the sanitized programs quick and -g1 (line tables) is enough for
# stack traces while costing far less build time than full debug
# information; the sanitizer flags themselves come from TAVREL_SANITIZE.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" -DTAVREL_SANITIZE="$sanitize" \
  -DTAVREL_WARNINGS_AS_ERRORS=ON -DTAVREL_BUILD_BENCHMARKS=OFF -DTAVREL_BUILD_TOOLS="$tools"

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# die_after_fork=0: some recorder tests fork a child that then starts a
# capture thread. atexit_sleep_ms=0: one forks hundreds of children that
# exit(), each of which would otherwise wait a second for other threads.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:atexit_sleep_ms=0"

if [[ $kind == asan ]]; then
  cmake --build "$build" -j "$(hardening_jobs)"
  ctest --test-dir "$build" --output-on-failure -j "$(hardening_jobs)" --timeout 600
else
  mapfile -t targets < <(build_targets "$build" '^orlesk_[a-z_]*tests$')
  if ((${#targets[@]} == 0)); then
    echo "no recorder tests in this tree yet: nothing to run under ThreadSanitizer"
    exit 0
  fi
  cmake --build "$build" -j "$(hardening_jobs)" --target "${targets[@]}"
  ctest --test-dir "$build" --output-on-failure -L orlesk --timeout 600
fi
