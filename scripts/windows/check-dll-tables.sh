#!/usr/bin/env bash
# Checks the DLLs of each Windows build on the Linux side: machine type,
# exports against speed/tavrel.def and recorder/orlesk.def, imports and
# version resource (tests/windows/host/). It reads what wine cannot run
# here (32-bit ARM; x86 on a kernel without i386 programs) and the rest.
#   check-dll-tables.sh OUT ARCH...   the builds OUT/<arch>/ of scripts/windows.sh
set -euo pipefail
(($# >= 2)) || { echo "usage: $0 OUT x86_64|i686|aarch64|armv7..." >&2; exit 2; }
source=$(cd "$(dirname "$0")/../.." && pwd)
out=$1
shift
jobs=$(nproc)
((jobs <= 2)) || jobs=2

checker=$out/host-dll-tables
cmake -S "$source/tests/windows/host" -B "$checker" -DTAVREL_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$checker" -j "$jobs" >/dev/null

for arch in "$@"; do
  case $arch in
  x86_64) machine=AMD64 ;;
  i686) machine=I386 ;;
  aarch64) machine=ARM64 ;;
  armv7) machine=ARMNT ;;
  *) echo "unknown architecture: $arch" >&2; exit 2 ;;
  esac
  build=$out/$arch
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  echo "DLL tables of $arch:"
  "$checker/windows_dll_tables_tests" --machine=$machine --version="$version" \
    "$build/bin/tavrel.dll=$source/speed/tavrel.def" \
    "$build/bin/orlesk.dll=$source/recorder/orlesk.def" --gtest_brief=1
done
