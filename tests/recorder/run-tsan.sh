#!/usr/bin/env bash
# Builds the recorder's fake-device unit and stress tests with
# ThreadSanitizer and runs them; any data race fails the run.
#   bash tests/recorder/run-tsan.sh [g++|clang++]   (default: clang++)
# The build goes to build-tsan-<compiler>/ at the top of the tree.
set -euo pipefail
cd "$(dirname "$0")/../.."

compiler=${1:-clang++}
case "$compiler" in
  clang++) c_compiler=clang ;;
  g++) c_compiler=gcc ;;
  *) echo "usage: $0 [g++|clang++]" >&2; exit 2 ;;
esac
build=build-tsan-${compiler%++}
[[ $compiler == g++ ]] && build=build-tsan-gcc

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER="$c_compiler" -DCMAKE_CXX_COMPILER="$compiler" \
  -DCMAKE_C_FLAGS=-fsanitize=thread -DCMAKE_CXX_FLAGS=-fsanitize=thread \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread \
  -DTAVREL_WARNINGS_AS_ERRORS=ON -DTAVREL_BUILD_BENCHMARKS=OFF -DTAVREL_BUILD_TOOLS=OFF \
  -DORLESK_WITH_ALSA=OFF >/dev/null
cmake --build "$build" -j2 --target recorder_unit_tests recorder_stress_tests
# die_after_fork=0: the exit and full-disk tests fork a single-threaded test
# process whose child then starts the fake device's thread.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 ${TSAN_OPTIONS:-}"
"$build/tests/recorder/recorder_stress_tests"
"$build/tests/recorder/recorder_unit_tests"
