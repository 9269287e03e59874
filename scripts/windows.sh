#!/usr/bin/env bash
# The Windows build in one command: tavrel.dll and orlesk.dll for x64, x86,
# arm64 and 32-bit ARM, every test that can run here under wine, a check of
# each DLL's tables read on the Linux side, and a zip per architecture with
# what a Windows host needs.
#   bash scripts/windows.sh                               all architectures
#   bash scripts/windows.sh x86_64|i686|aarch64|armv7...  some of them
# x64 and x86: Debian's mingw-w64 compilers, installed first if missing (as
# root on Debian 12): the posix-thread mingw-w64 compilers and wine with its
# 32-bit half, which needs the i386 architecture. Never gcc-multilib: it
# would remove the ARM and s390x cross compilers. The recorder's tests
# record through wine's ALSA driver from the project's paced ALSA plugin,
# which a wine process loads only when built for wine's own architecture:
# the plain i686 Linux cross compiler and ALSA's i386 headers build it for
# the 32-bit wine.
# arm64 and ARM: the toolchain that scripts/windows/arm-toolchain.sh builds
# from Debian's sources once and caches per user. arm64 is tested under
# Debian's arm64 wine, unpacked into a cached private root and run through
# qemu (scripts/windows/arm64-wine-root.sh), with the paced plugin built by
# the aarch64 Linux cross compiler against that root's ALSA. ARM has no wine
# that runs here, nor has x86 on a kernel that cannot start i386 programs:
# for those only the DLLs, import libraries and zip are built. Every DLL's
# tables are also read on the Linux side (scripts/windows/check-dll-tables.sh).
# GoogleTest is built for each tested architecture from /usr/src/googletest.
# Builds go to build-windows/<arch>/, with one wine prefix for x64 and x86
# and one for arm64 beside them; zips to build-windows/. Warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/hardening/common.sh

all_architectures=(x86_64 i686 aarch64 armv7)
architectures=("$@")
((${#architectures[@]} > 0)) || architectures=("${all_architectures[@]}")
for arch in "${architectures[@]}"; do
  [[ " ${all_architectures[*]} " == *" $arch "* ]] || {
    echo "unknown architecture: $arch (${all_architectures[*]})" >&2
    exit 2
  }
done
wanted() { [[ " ${architectures[*]} " == *" $1 "* ]]; }
is_x86() { [[ $1 == x86_64 || $1 == i686 ]]; }

started=$SECONDS
step_started=$SECONDS
timings=()
finish_step() {
  timings+=("$(printf '%-34s %4ds' "$1" $((SECONDS - step_started)))")
  step_started=$SECONDS
}

if wanted x86_64 || wanted i686; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix \
    wine wine64 wine32:i386 libwine libwine:i386 \
    g++-i686-linux-gnu libasound2-dev:i386 libstdc++6:i386
fi
wanted aarch64 && bash scripts/install-deps.sh g++-aarch64-linux-gnu qemu-user
finish_step install

here=$PWD
out=$here/build-windows
mkdir -p "$out"
if wanted aarch64 || wanted armv7; then
  arm_root=$(bash scripts/windows/arm-toolchain.sh)
  # GoogleTest's build passes nothing but the toolchain file.
  export TAVREL_ARM_MINGW_ROOT=$arm_root
  finish_step "arm toolchain"
fi
if wanted aarch64; then
  arm64_wine_root=$(bash scripts/windows/arm64-wine-root.sh)
  finish_step "arm64 wine root"
fi

# Per architecture: the wine prefix, and how a session starts and a program
# runs in it.
prefix_of() { is_x86 "$1" && echo "$out/wineprefix" || echo "$out/arm64-wineprefix"; }
session() {
  local action=$1 arch=$2
  if is_x86 "$arch"; then
    "$here/scripts/windows/wine-session.sh" "$action" "$(prefix_of "$arch")"
  else
    "$here/scripts/windows/arm64-wine-session.sh" "$action" "$arm64_wine_root" "$(prefix_of "$arch")"
  fi
}
run_program() {
  local arch=$1
  shift
  if is_x86 "$arch"; then
    "$here/cmake/toolchains/wine-run.sh" "$(prefix_of "$arch")" "$@"
  else
    "$here/cmake/toolchains/arm64-wine-run.sh" "$arm64_wine_root" "$(prefix_of "$arch")" "$@"
  fi
}

# The architectures whose programs run here. Wine's 32-bit loader is an
# i386 program; a kernel without 32-bit support refuses to start it ("Exec
# format error"). The i686 DLLs are still built, and checked on the Linux
# side, but nothing of theirs can run here.
runnable=()
for arch in "${architectures[@]}"; do
  if [[ $arch == armv7 ]]; then
    timings+=("$(printf '%-34s %s' "tests armv7" "not run: no ARM wine here")")
    continue
  fi
  if [[ $arch == i686 ]] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "windows: this kernel cannot start i386 programs, so wine's 32-bit loader" \
      "cannot run: the i686 DLLs are built but not tested" >&2
    timings+=("$(printf '%-34s %s' "tests i686" "not run: no i386 programs here")")
    continue
  fi
  runnable+=("$arch")
done

# The paced capture device for wine's architecture, built into
# $out/<arch>-paced-plugin/.
build_paced_plugin() {
  local linux_toolchain=()
  case $1 in
  i686) linux_toolchain=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/linux-i386.cmake") ;;
  aarch64)
    linux_toolchain=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/aarch64.cmake"
      -DALSA_INCLUDE_DIR="$arm64_wine_root/sysroot/usr/include"
      -DALSA_LIBRARY="$arm64_wine_root/sysroot/usr/lib/aarch64-linux-gnu/libasound.so")
    ;;
  esac
  cmake -S instruments/paced_device/plugin -B "$out/$1-paced-plugin" "${linux_toolchain[@]}" \
    -DCMAKE_BUILD_TYPE=Release -DTAVREL_WARNINGS_AS_ERRORS=ON >/dev/null
  cmake --build "$out/$1-paced-plugin" -j "$(hardening_jobs)" >/dev/null
}

for arch in "${architectures[@]}"; do
  toolchain=$PWD/cmake/toolchains/mingw-$arch.cmake
  settings=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
    -DTAVREL_WARNINGS_AS_ERRORS=ON -DTAVREL_BUILD_TOOLS=OFF -DTAVREL_BUILD_BENCHMARKS=OFF)
  [[ $arch == armv7 ]] && settings+=(-DTAVREL_ARM_MINGW_ROOT="$arm_root")
  if [[ " ${runnable[*]} " != *" $arch "* ]]; then
    # Nothing runs these programs here: the DLLs and import libraries alone.
    settings+=(-DBUILD_TESTING=OFF)
  else
    settings+=(-DBUILD_TESTING=ON)
    build_paced_plugin "$arch"
    googletest=$out/$arch-googletest
    target_googletest "$toolchain" "$googletest"
    settings+=(-DTAVREL_CROSS_PREFIX="$googletest/install" -DTAVREL_WINEPREFIX="$(prefix_of "$arch")"
      -DORLESK_WINE_PACED_PLUGIN="$out/$arch-paced-plugin/libasound_module_pcm_paced.so")
    [[ $arch == aarch64 ]] && settings+=(-DTAVREL_ARM_MINGW_ROOT="$arm_root"
      -DTAVREL_ARM64_WINE_ROOT="$arm64_wine_root")
  fi
  cmake -S . -B "$out/$arch" "${settings[@]}" >/dev/null
  cmake --build "$out/$arch" -j "$(hardening_jobs)"
  finish_step "build $arch"
done

# Every DLL's export, import and version tables, read by a Linux program.
bash scripts/windows/check-dll-tables.sh "$out" "${architectures[@]}"
finish_step "DLL tables (Linux side)"

sessions=()
stop_sessions() {
  local arch
  for arch in "${sessions[@]}"; do session stop "$arch"; done
}
trap stop_sessions EXIT
for arch in "${runnable[@]}"; do
  # x64 and x86 share one session.
  if [[ $arch != i686 || " ${sessions[*]} " != *" x86_64 "* ]]; then
    session start "$arch"
    sessions+=("$arch")
    finish_step "wine session $arch"
  fi
  # Twice as many tests as cores: a test under wine spends most of its time
  # waiting (on wine, or on the clock while it records), and at one test
  # per core the x64 suite left the processor 95 % idle.
  ctest --test-dir "$out/$arch" --output-on-failure -j $((2 * $(hardening_jobs))) --timeout 300
  finish_step "tests $arch"
done

# The zips, and a C program built against each one's files alone (and run
# where wine runs).
zip_suffix() {
  case $1 in x86_64) echo win64 ;; i686) echo win32 ;; aarch64) echo win-arm64 ;; armv7) echo win-arm ;; esac
}
c_compiler() {
  is_x86 "$1" && echo "$1-w64-mingw32-gcc-posix" || echo "$arm_root/bin/$1-w64-mingw32-clang"
}
for arch in "${architectures[@]}"; do
  (cd "$out/$arch" && cpack -G ZIP -B "$out" >/dev/null)
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/$arch/CMakeCache.txt")
  zip=$out/tavrel-orlesk-$version-$(zip_suffix "$arch").zip
  check=$out/$arch-zip-check
  rm -rf "$check" && mkdir -p "$check"
  (cd "$check" && cmake -E tar xf "$zip")
  unpacked=$(echo "$check"/tavrel-orlesk-*)
  for library in tavrel orlesk; do
    consumer=$([[ $library == tavrel ]] && echo tests/packaging/consumer/c_consumer.c ||
      echo tests/windows/orlesk_c_consumer.c)
    "$(c_compiler "$arch")" -std=c11 -Wall -Wextra -Wpedantic -Werror \
      -I "$unpacked/include" "$consumer" -L "$unpacked/lib" -l$library -o "$check/$library-consumer.exe"
    cp "$unpacked/bin/$library.dll" "$check/"
    [[ " ${runnable[*]} " == *" $arch "* ]] || continue
    (cd "$check" && run_program "$arch" ./$library-consumer.exe . | tr -d '\r') ||
      { echo "the C consumer of $library failed against $zip" >&2; exit 1; }
  done
  echo "$(basename "$zip"): $(cd "$check" && cmake -E tar tf "$zip" | grep -v '/$' | sed 's|^[^/]*/||' | tr '\n' ' ')"
  finish_step "zip $arch"
done

echo
echo "Windows summary (wall time $((SECONDS - started))s):"
printf '  %s\n' "${timings[@]}"
