#!/usr/bin/env bash
# The Windows build in one command: tavrel.dll and orlesk.dll for x64 and x86
# with Debian's mingw-w64 compilers, every test that can run there under
# wine, and a zip per architecture with what a Windows host needs.
#   bash scripts/windows.sh                 both architectures
#   bash scripts/windows.sh x86_64|i686     one of them
# Installs what is missing first (as root on Debian 12): the posix-thread
# mingw-w64 compilers and wine with its 32-bit half, which needs the i386
# architecture. Never gcc-multilib: it would remove the ARM and s390x cross
# compilers. GoogleTest is built for each architecture from
# /usr/src/googletest. The recorder's tests record through wine's ALSA
# driver from the project's paced ALSA plugin, which a 32-bit wine loads
# only as an i386 build: the plain i686 Linux cross compiler and ALSA's
# i386 headers build it. Builds go to build-windows/<arch>/ with one shared
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
  wine wine64 wine32:i386 libwine libwine:i386 \
  g++-i686-linux-gnu libasound2-dev:i386 libstdc++6:i386
finish_step install

out=$PWD/build-windows
prefix=$out/wineprefix
session=scripts/windows/wine-session.sh
run=$PWD/cmake/toolchains/wine-run.sh
mkdir -p "$out"

# The paced capture device for wine's architecture, built into
# $out/<arch>-paced-plugin/.
build_paced_plugin() {
  local linux_toolchain=()
  [[ $1 == i686 ]] && linux_toolchain=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/linux-i386.cmake")
  cmake -S instruments/paced_device/plugin -B "$out/$1-paced-plugin" "${linux_toolchain[@]}" \
    -DCMAKE_BUILD_TYPE=Release -DTAVREL_WARNINGS_AS_ERRORS=ON >/dev/null
  cmake --build "$out/$1-paced-plugin" -j "$(hardening_jobs)" >/dev/null
}

for arch in "${architectures[@]}"; do
  toolchain=$PWD/cmake/toolchains/mingw-$arch.cmake
  build_paced_plugin "$arch"
  plugin=$out/$arch-paced-plugin/libasound_module_pcm_paced.so
  googletest=$out/$arch-googletest
  target_googletest "$toolchain" "$googletest"
  cmake -S . -B "$out/$arch" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DTAVREL_CROSS_PREFIX="$googletest/install" -DTAVREL_WINEPREFIX="$prefix" \
    -DORLESK_WINE_PACED_PLUGIN="$plugin" \
    -DCMAKE_BUILD_TYPE=Release -DTAVREL_WARNINGS_AS_ERRORS=ON \
    -DTAVREL_BUILD_TOOLS=OFF -DTAVREL_BUILD_BENCHMARKS=OFF >/dev/null
  cmake --build "$out/$arch" -j "$(hardening_jobs)"
  finish_step "build $arch"
done

# Wine's 32-bit loader is an i386 program; a kernel without 32-bit support
# refuses to start it ("Exec format error"). The i686 DLLs are still built,
# but nothing of theirs can run here.
runnable=()
for arch in "${architectures[@]}"; do
  if [[ $arch == i686 ]] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "windows: this kernel cannot start i386 programs, so wine's 32-bit loader" \
      "cannot run: the i686 DLLs are built but not tested" >&2
    timings+=("$(printf '%-34s %s' "tests i686" "not run: no i386 programs here")")
    continue
  fi
  runnable+=("$arch")
done

trap '"$session" stop "$prefix"' EXIT
"$session" start "$prefix"
finish_step "wine session"

for arch in "${runnable[@]}"; do
  ctest --test-dir "$out/$arch" --output-on-failure -j "$(hardening_jobs)" --timeout 300
  finish_step "tests $arch"
done

# The zips, and a C program built against each one's files alone and run.
for arch in "${architectures[@]}"; do
  (cd "$out/$arch" && cpack -G ZIP -B "$out" >/dev/null)
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/$arch/CMakeCache.txt")
  zip=$out/tavrel-orlesk-$version-$([[ $arch == x86_64 ]] && echo win64 || echo win32).zip
  check=$out/$arch-zip-check
  rm -rf "$check" && mkdir -p "$check"
  (cd "$check" && cmake -E tar xf "$zip")
  unpacked=$(echo "$check"/tavrel-orlesk-*)
  for library in tavrel orlesk; do
    consumer=$([[ $library == tavrel ]] && echo tests/packaging/consumer/c_consumer.c ||
      echo tests/windows/orlesk_c_consumer.c)
    "$arch-w64-mingw32-gcc-posix" -std=c11 -Wall -Wextra -Wpedantic -Werror \
      -I "$unpacked/include" "$consumer" -L "$unpacked/lib" -l$library -o "$check/$library-consumer.exe"
    cp "$unpacked/bin/$library.dll" "$check/"
    [[ " ${runnable[*]} " == *" $arch "* ]] || continue
    (cd "$check" && "$run" "$prefix" ./$library-consumer.exe . | tr -d '\r') ||
      { echo "the C consumer of $library failed against $zip" >&2; exit 1; }
  done
  echo "$(basename "$zip"): $(cd "$check" && cmake -E tar tf "$zip" | grep -v '/$' | sed 's|^[^/]*/||' | tr '\n' ' ')"
  finish_step "zip $arch"
done

echo
echo "Windows summary (wall time $((SECONDS - started))s):"
printf '  %s\n' "${timings[@]}"
