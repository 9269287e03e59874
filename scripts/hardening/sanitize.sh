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
  asan)
    # float-cast-overflow: g++ leaves it out of "undefined", and the
    # interpolation converts doubles to integers.
    sanitize="-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all"
    # Bounds checks in the standard library's containers as well.
    extra="-O1 -g1 -fno-omit-frame-pointer -D_GLIBCXX_ASSERTIONS"
    tools=ON
    ;;
  tsan)
    sanitize="-fsanitize=thread"
    # Only the recorder's tests run here; the commands are covered by the
    # AddressSanitizer builds.
    tools=OFF
    extra="-O1 -g1 -fno-omit-frame-pointer"
    ;;
  *) echo "unknown sanitizer: $kind" >&2; exit 2 ;;
esac

link="$sanitize"
late_link=""
if [[ $compiler == clang && $kind == asan ]]; then
  # clang links its sanitizer runtimes into executables only, so the shared
  # libraries (linked with --no-undefined) need the shared runtime, and the
  # programs need to find it.
  runtime_dir=$(dirname "$(clang -print-file-name=libclang_rt.asan-x86_64.so)")
  link="$sanitize -shared-libsan -Wl,-rpath,$runtime_dir"
elif [[ $compiler == clang ]]; then
  # clang's shared ThreadSanitizer runtime crashes at start-up, so the
  # runtime stays in the executables and the shared libraries leave its
  # symbols to them: "-z undefs" at the very end of the link line overrides
  # the libraries' --no-undefined for this build only.
  late_link="-Wl,-z,undefs"
fi

# No build type: the flags below are the whole story. -O1 keeps the
# sanitized programs quick and -g1 (line tables) is enough for stack traces
# while costing far less build time than full debug information.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE= \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_C_FLAGS="$sanitize $extra" -DCMAKE_CXX_FLAGS="$sanitize $extra" \
  -DCMAKE_EXE_LINKER_FLAGS="$link" -DCMAKE_SHARED_LINKER_FLAGS="$link" \
  -DCMAKE_C_STANDARD_LIBRARIES="$late_link" -DCMAKE_CXX_STANDARD_LIBRARIES="$late_link" \
  -DTAVREL_WARNINGS_AS_ERRORS=ON -DTAVREL_BUILD_BENCHMARKS=OFF -DTAVREL_BUILD_TOOLS="$tools"

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# die_after_fork=0: some recorder tests fork a child that then starts a
# capture thread.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:die_after_fork=0"

if [[ $kind == asan ]]; then
  cmake --build "$build" -j "$(hardening_jobs)"
  ctest --test-dir "$build" --output-on-failure -j "$(hardening_jobs)" --timeout 600
else
  mapfile -t targets < <(build_targets "$build" '^recorder_[a-z_]*tests$')
  if ((${#targets[@]} == 0)); then
    echo "no recorder tests in this tree yet: nothing to run under ThreadSanitizer"
    exit 0
  fi
  cmake --build "$build" -j "$(hardening_jobs)" --target "${targets[@]}"
  ctest --test-dir "$build" --output-on-failure -L recorder --timeout 600
fi
