#!/usr/bin/env bash
# The Windows build in one command: tavrel.dll for x64 and x86 with Debian's
# mingw-w64 compilers, every test that can run there under wine, and a zip
# per architecture with what a Windows host needs.
#   bash scripts/windows.sh                 both architectures
#   bash scripts/windows.sh x86_64|i686     one of them
# Installs what is missing first (as root on Debian 12): the posix-thread
# mingw-w64 compilers and wine with its 32-bit half, which needs the i386
# architecture. Never gcc-multilib: it would remove the ARM and s390x cross
# compilers. GoogleTest is built for each architecture from
# /usr/src/googletest. Builds go to build-windows/<arch>/ with one shared
# wine prefix beside them; zips to build-windows/. Warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/hardening/common.sh

all_architectures=(x86_64 i686)
architectures=("$@")
((${#architectures[@]} > 0)) || architectures=("${all_architectures[@]}")
for arch in "${architectures[@]}"; do
  [[ " ${all_architectures[*]} " == *" $arch "* ]] || {
    echo "unknown architecture: $arch (${all_architectures[*]})" >&2
    exit 2
  }
done

started=$SECONDS
step_started=$SECONDS
timings=()
finish_step() {
  timings+=("$(printf '%-34s %4ds' "$1" $((SECONDS - step_started)))")
  step_started=$SECONDS
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix \
  wine wine64 wine32:i386 libwine libwine:i386
finish_step install

out=$PWD/build-windows
prefix=$out/wineprefix
session=scripts/windows/wine-session.sh
run=$PWD/cmake/toolchains/wine-run.sh
mkdir -p "$out"

for arch in "${architectures[@]}"; do
  toolchain=$PWD/cmake/toolchains/mingw-$arch.cmake
  googletest=$out/$arch-googletest
  if [[ ! -f $googletest/install/lib/cmake/GTest/GTestConfig.cmake ]]; then
    cmake -S /usr/src/googletest -B "$googletest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$googletest/install" >/dev/null
    cmake --build "$googletest" -j "$(hardening_jobs)" >/dev/null
    cmake --install "$googletest" >/dev/null
  fi
  cmake -S . -B "$out/$arch" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DTAVREL_CROSS_PREFIX="$googletest/install" -DTAVREL_WINEPREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DTAVREL_WARNINGS_AS_ERRORS=ON \
    -DTAVREL_BUILD_TOOLS=OFF -DTAVREL_BUILD_BENCHMARKS=OFF >/dev/null
  cmake --build "$out/$arch" -j "$(hardening_jobs)"
  finish_step "build $arch"
done

"$session" start "$prefix"
trap '"$session" stop "$prefix"' EXIT
finish_step "wine session"

for arch in "${architectures[@]}"; do
  ctest --test-dir "$out/$arch" --output-on-failure -j "$(hardening_jobs)" --timeout 300
  finish_step "tests $arch"
done

# The zips, and a C program built against each one's files alone and run.
for arch in "${architectures[@]}"; do
  (cd "$out/$arch" && cpack -G ZIP -B "$out" >/dev/null)
  zip=$(ls "$out"/tavrel-orlesk-*-"$([[ $arch == x86_64 ]] && echo win64 || echo win32)".zip)
  check=$out/$arch-zip-check
  rm -rf "$check" && mkdir -p "$check"
  (cd "$check" && cmake -E tar xf "$zip")
  unpacked=$(echo "$check"/tavrel-orlesk-*)
  "$arch-w64-mingw32-gcc-posix" -std=c11 -Wall -Wextra -Wpedantic -Werror \
    -I "$unpacked/include" tests/packaging/consumer/c_consumer.c \
    -L "$unpacked/lib" -ltavrel -o "$check/c_consumer.exe"
  cp "$unpacked/bin/tavrel.dll" "$check/"
  (cd "$check" && "$run" "$prefix" ./c_consumer.exe . | tr -d '\r') ||
    { echo "the C consumer failed against $zip" >&2; exit 1; }
  echo "$(basename "$zip"): $(cd "$check" && cmake -E tar tf "$zip" | grep -v '/$' | sed 's|^[^/]*/||' | tr '\n' ' ')"
  finish_step "zip $arch"
done

echo
echo "Windows summary (wall time $((SECONDS - started))s):"
printf '  %s\n' "${timings[@]}"
