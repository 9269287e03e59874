#!/usr/bin/env bash
# Cross-builds the libraries and their tests for another architecture with
# Debian's cross g++ 12 and runs the tests under qemu-user.
#   bash scripts/hardening/cross.sh armhf|aarch64|s390x
# GoogleTest is built for the target from Debian's sources in
# /usr/src/googletest. Tools, benchmarks and the ALSA capture layer are
# left out; tests labelled "alsa" (they need the host's alsa-lib) and
# "host_tools" (they read outputs back with libsndfile, sox and ffprobe)
# stay on the host.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/hardening/common.sh

arch=${1:?architecture: armhf, aarch64 or s390x}
toolchain=$PWD/cmake/toolchains/$arch.cmake
[[ -f $toolchain ]] || { echo "no toolchain file for $arch" >&2; exit 2; }
build=build-hardening/$arch
googletest=$PWD/build-hardening/$arch-googletest
prefix=$googletest/install
target_googletest "$toolchain" "$googletest"

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DTAVREL_CROSS_PREFIX="$prefix" \
  -DCMAKE_BUILD_TYPE=Release -DTAVREL_WARNINGS_AS_ERRORS=ON \
  -DTAVREL_BUILD_TOOLS=OFF -DTAVREL_BUILD_BENCHMARKS=OFF -DORLESK_CAPTURE=none

# Test programs that need the target's libsndfile cannot be linked here;
# they run on the host.
host_only='^tavrel_reader_tests$'
mapfile -t targets < <(build_targets "$build" '(_tests?|_fuzzer|make_fuzz_seeds)$' |
  grep -vE "$host_only")
cmake --build "$build" -j "$(hardening_jobs)" --target tavrel "${targets[@]}"
# qemu-user ignores a guest's RLIMIT_AS (it would limit qemu itself), so the
# tests that shrink the address space (named …LimitedAddressSpace…) cannot
# work under it; on real hardware they would.
ctest --test-dir "$build" --output-on-failure -j "$(hardening_jobs)" --timeout 900 \
  -LE 'alsa|host_tools' -E 'tavrel_reader_tests|LimitedAddressSpace'
