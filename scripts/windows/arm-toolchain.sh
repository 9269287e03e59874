#!/usr/bin/env bash
# The Windows on ARM toolchain: mingw-w64 for aarch64-w64-windows-gnu and
# armv7-w64-windows-gnu, built from Debian 12's source packages with Debian
# 12's clang 14, and linked by lld 16.
#   bash scripts/windows/arm-toolchain.sh                 builds it if missing
#   bash scripts/windows/arm-toolchain.sh --install-only  only installs what
#       the build needs (so that a build left running in the background
#       never needs the machine's package manager)
# Prints the toolchain's root (the value of the toolchain files'
# TAVREL_ARM_MINGW_ROOT) as its one line on standard output; progress goes
# to standard error.
#
# Debian ships no C runtime or C++ library for these targets, so this builds
# them, for each architecture, into ROOT/<arch>-w64-mingw32/:
#  - mingw-w64's CRT, with msvcrt.dll as the C runtime like Debian's x86
#    mingw-w64 (its headers, which serve every architecture, go to
#    ROOT/include);
#  - compiler-rt's builtins, into a clang resource folder of the root's own;
#  - libunwind, libc++abi and libc++, static, over win32 threads.
# ROOT/bin/<arch>-w64-mingw32-clang, -clang++ and -windres are the
# compilers, beside the llvm tools under the same prefix. lld 16 links, not
# lld 14: lld 14 writes a DLL's export directory with ordinal base 0 and an
# empty slot 0; lld 16 starts at the first ordinal, as GNU ld does for the
# x86 DLLs.
#
# The sources come from `apt-get source` through a private apt whose
# deb-src entries are made from the machine's own deb entries; the
# machine's apt configuration is left as it is. The root is cached in
# ${XDG_CACHE_HOME:-~/.cache}/tavrel-orlesk/arm-toolchain/, named after the
# source versions of mingw-w64 and llvm (those of the installed
# mingw-w64-common and clang-14) and the recipe below, so that a fresh
# clone on the same machine reuses it. An interrupted build goes on where it
# stopped. Installs (as root) what it needs and the machine lacks, and
# nothing that would change an installed package.
set -euo pipefail
[[ $# -eq 0 || $* == --install-only ]] || { echo "usage: $0 [--install-only]" >&2; exit 2; }
scripts=$(cd "$(dirname "$0")" && pwd)
source "$scripts/debian-apt.sh"

# Raise when this script builds something different from the same sources.
recipe=1
architectures=(aarch64 armv7)
linker=/usr/bin/ld.lld-16

jobs=$(nproc)
((jobs <= 2)) || jobs=2

install_missing clang-14 llvm-14 lld-16 mingw-w64-common cmake make dpkg-dev python3 >&2
[[ ${1:-} != --install-only ]] || exit 0

source_version() { dpkg-query -W -f='${source:Version}' "$1"; }
mingw_version=$(source_version mingw-w64-common)
llvm_version=$(source_version clang-14)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/tavrel-orlesk/arm-toolchain
key=mingw-w64-${mingw_version#*:}_llvm-${llvm_version#*:}_r$recipe
root=$cache/$key
mkdir -p "$cache"

# One build at a time; a second run waits, then finds the first one's.
exec 9>"$cache/$key.lock"
flock 9
if [[ -f $root/versions ]]; then
  echo "$root"
  exit 0
fi

started=$SECONDS
stage=$root.partial
work=$cache/$key.work
mkdir -p "$stage/bin" "$work"
say() { echo "arm-toolchain: $* ($((SECONDS - started)) s)" >&2; }
# Each step that finished leaves a stamp in the work folder; make and CMake
# redo only what is missing from the one that did not.
stamp() { echo "$work/${1//[^A-Za-z0-9+]/-}.done"; }
needed() {
  [[ ! -f $(stamp "$1") ]] || return 1
  say "$1"
}
finished() { touch "$(stamp "$1")"; }

if needed sources; then
  private_apt "$cache/apt-sources" deb-src >&2
  rm -rf "$work"/mingw-w64-*/ "$work"/llvm-toolchain-14-*/
  (cd "$work" && papt "$cache/apt-sources" apt-get source -qq \
    "mingw-w64=$mingw_version" "llvm-toolchain-14=$llvm_version" >/dev/null 2>"$work/source.log") ||
    { cat "$work/source.log" >&2; exit 1; }
  finished sources
fi
mingw_src=$(echo "$work"/mingw-w64-*/)
llvm_src=$(echo "$work"/llvm-toolchain-14-*/)

# The compilers: clang 14 for the target, with the root as its sysroot and
# resource folder (found from the script's own place, so the root can
# move). The options that only a link uses sit in a configuration file,
# where clang does not warn that a compilation leaves them unused.
clang_resource=$(clang-14 -print-resource-dir)
resource=lib/clang/${clang_resource##*/}
mkdir -p "$stage/$resource/lib/windows"
ln -sfn "$clang_resource/include" "$stage/$resource/include"
for arch in "${architectures[@]}"; do
  triple=$arch-w64-mingw32
  # Written anew on every run, never through a link an older run left.
  rm -f "$stage/bin/$triple"-*
  printf '%s\n' "--target=$arch-w64-windows-gnu" -rtlib=compiler-rt -unwindlib=libunwind \
    -stdlib=libc++ "--ld-path=$linker" >"$stage/bin/$triple.cfg"
  for driver in clang clang++; do
    cat >"$stage/bin/$triple-$driver" <<EOF
#!/bin/sh
root=\$(cd "\$(dirname "\$0")/.." && pwd)
exec $driver-14 --config "\$root/bin/$triple.cfg" --sysroot="\$root" -resource-dir="\$root/$resource" "\$@"
EOF
  done
  # llvm-windres preprocesses with clang for the target, which finds the
  # headers through the root.
  cat >"$stage/bin/$triple-windres" <<EOF
#!/bin/sh
root=\$(cd "\$(dirname "\$0")/.." && pwd)
exec llvm-windres-14 --target=$triple --preprocessor-arg=--sysroot="\$root" "\$@"
EOF
  chmod +x "$stage/bin/$triple-"*
  # llvm-dlltool takes the target from its own name.
  for tool in ar ranlib nm objdump strip readobj dlltool; do
    ln -sfn "/usr/bin/llvm-$tool-14" "$stage/bin/$triple-$tool"
  done
done

if needed "mingw-w64 headers"; then
  mkdir -p "$work/headers"
  (cd "$work/headers" &&
    "$mingw_src/mingw-w64-headers/configure" --prefix="$stage" --host=aarch64-w64-mingw32 \
      --with-default-msvcrt=msvcrt >/dev/null &&
    make -s install >/dev/null)
  finished "mingw-w64 headers"
fi

# Each architecture in turn: the CRT, then the builtins, then the C++
# runtimes, each linked against what the step before installed.
for arch in "${architectures[@]}"; do
  triple=$arch-w64-mingw32
  prefix=$stage/$triple
  log=$work/$arch.log

  if needed "$arch: mingw-w64 CRT"; then
    [[ $arch == aarch64 ]] && crt_lib=--enable-libarm64 || crt_lib=--enable-libarm32
    mkdir -p "$work/crt-$arch"
    (cd "$work/crt-$arch" &&
      { [[ -f Makefile ]] ||
        "$mingw_src/mingw-w64-crt/configure" --prefix="$prefix" --host="$triple" \
          --with-sysroot="$stage" --disable-lib32 --disable-lib64 "$crt_lib" \
          --with-default-msvcrt=msvcrt CC="$stage/bin/$triple-clang" \
          AR="$stage/bin/$triple-ar" RANLIB="$stage/bin/$triple-ranlib" \
          DLLTOOL="$stage/bin/$triple-dlltool"; } &&
      make -s -j"$jobs" && make -s install) >>"$log" 2>&1 ||
      { tail -40 "$log" >&2; exit 1; }
    finished "$arch: mingw-w64 CRT"
  fi

  # CMake cross-compiling to the target with the root's compilers. Nothing
  # links an executable before libunwind exists, so the compilers are taken
  # as working.
  cross=(-DCMAKE_SYSTEM_NAME=Windows -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_C_COMPILER="$stage/bin/$triple-clang" -DCMAKE_CXX_COMPILER="$stage/bin/$triple-clang++"
    -DCMAKE_AR="$stage/bin/$triple-ar" -DCMAKE_RANLIB="$stage/bin/$triple-ranlib"
    -DCMAKE_C_COMPILER_WORKS=ON -DCMAKE_CXX_COMPILER_WORKS=ON
    -DCMAKE_C_COMPILER_TARGET="$arch-w64-windows-gnu" -DCMAKE_CXX_COMPILER_TARGET="$arch-w64-windows-gnu"
    -DCMAKE_ASM_COMPILER_TARGET="$arch-w64-windows-gnu"
    -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY
    -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY)
  # build NAME SOURCE CMAKE_OPTION...: configures, builds and installs.
  build() {
    local name=$1 source=$2
    shift 2
    { cmake -S "$source" -B "$work/$name-$arch" "${cross[@]}" "$@" &&
      cmake --build "$work/$name-$arch" -j "$jobs" &&
      cmake --install "$work/$name-$arch"; } >>"$log" 2>&1 ||
      { tail -40 "$log" >&2; exit 1; }
  }

  if needed "$arch: compiler-rt builtins"; then
    build builtins "$llvm_src/compiler-rt/lib/builtins" \
      -DCOMPILER_RT_DEFAULT_TARGET_ONLY=ON -DCOMPILER_RT_USE_BUILTINS_LIBRARY=ON \
      -DLLVM_CONFIG_PATH="" -DCMAKE_INSTALL_PREFIX="$work/builtins-$arch/install"
    # Named as clang looks for it: by the architecture's family (arm, not armv7).
    family=$arch
    [[ $arch == armv7 ]] && family=arm
    cp "$(echo "$work/builtins-$arch"/install/lib/windows/libclang_rt.builtins-*.a)" \
      "$stage/$resource/lib/windows/libclang_rt.builtins-$family.a"
    finished "$arch: compiler-rt builtins"
  fi

  if needed "$arch: libunwind, libc++abi, libc++"; then
    build runtimes "$llvm_src/runtimes" -DCMAKE_INSTALL_PREFIX="$prefix" \
      -DLLVM_ENABLE_RUNTIMES="libunwind;libcxxabi;libcxx" -DLLVM_INCLUDE_TESTS=OFF \
      -DLIBUNWIND_USE_COMPILER_RT=ON -DLIBUNWIND_ENABLE_SHARED=OFF -DLIBUNWIND_ENABLE_STATIC=ON \
      -DLIBCXXABI_USE_COMPILER_RT=ON -DLIBCXXABI_USE_LLVM_UNWINDER=ON \
      -DLIBCXXABI_ENABLE_SHARED=OFF -DLIBCXXABI_ENABLE_STATIC=ON -DLIBCXXABI_LIBDIR_SUFFIX="" \
      -DLIBCXX_USE_COMPILER_RT=ON -DLIBCXX_ENABLE_SHARED=OFF -DLIBCXX_ENABLE_STATIC=ON \
      -DLIBCXX_CXX_ABI=libcxxabi -DLIBCXX_ENABLE_STATIC_ABI_LIBRARY=ON -DLIBCXX_LIBDIR_SUFFIX="" \
      -DLIBCXX_HAS_WIN32_THREAD_API=ON -DLIBCXXABI_HAS_WIN32_THREAD_API=ON \
      -DLIBCXX_INCLUDE_TESTS=OFF -DLIBCXX_INCLUDE_BENCHMARKS=OFF -DLIBCXX_ENABLE_ABI_LINKER_SCRIPT=OFF
    finished "$arch: libunwind, libc++abi, libc++"
  fi
done

printf 'mingw-w64 %s\nllvm-toolchain-14 %s\nrecipe %s\nlinker %s\n' \
  "$mingw_version" "$llvm_version" "$recipe" "$linker" >"$stage/versions"
mv "$stage" "$root"
rm -rf "$work"
say "done: $root ($(du -sh "$root" | cut -f1))"
echo "$root"
