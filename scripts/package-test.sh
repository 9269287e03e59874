#!/usr/bin/env bash
# shellcheck disable=SC2317  # the helpers below run through check
# Checks that the libraries can be picked up the way any Linux library is:
#  1. installs the build into a temporary prefix and builds the C and C++
#     consumers against it through find_package and through pkg-config;
#  2. builds the Debian packages, installs them on this machine, builds the
#     consumers against /usr both ways and runs them, checks each library's
#     exported symbols and version node, the SONAMEs and the man pages;
#  3. purges the packages again, so the machine is left as it was.
# Run as root on Debian 12. Exits non-zero if any check fails.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
root=$PWD
started=$SECONDS

bash scripts/install-deps.sh dpkg-dev file binutils || exit 1

build=$(realpath -m "${PACKAGE_BUILD_DIR:-build-package}")
consumer=$root/tests/packaging/consumer
work=$(mktemp -d)
packages=(libtavrel-orlesk1 libtavrel-orlesk-dev tavrel-orlesk-tools)
version=1.0.0.1
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)

installed_packages() {
  dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${packages[@]}" 2>/dev/null |
    awk '$2 == "installed" || $2 == "unpacked" || $2 == "half-configured" {print $1}'
}

purge_packages() {
  local present
  present=$(installed_packages)
  [[ -z "$present" ]] && return 0
  # shellcheck disable=SC2086  # one word per package name
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq $present >/dev/null
}

cleanup() {
  purge_packages
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
# check NAME COMMAND...: runs the command quietly, prints its output on failure.
check() {
  local name=$1
  shift
  if "$@" >"$work/last.log" 2>&1; then
    echo "PASS  $name"
    passed=$((passed + 1))
  else
    echo "FAIL  $name"
    sed 's/^/      /' "$work/last.log"
    failed=$((failed + 1))
  fi
}

finish() {
  echo
  echo "package checks took $((SECONDS - started)) s"
  echo "package-test: $passed passed, $failed failed"
  ((failed == 0))
  exit $?
}

# Builds both consumers with CMake, finding the packages through the usual
# search path (plus PREFIX if given), then runs them.
consumers_via_find_package() {
  local out=$1 prefix=${2:-}
  cmake -S "$consumer" -B "$out" -DCMAKE_BUILD_TYPE=Release ${prefix:+-DCMAKE_PREFIX_PATH="$prefix"} &&
    cmake --build "$out" &&
    "$out/c_consumer" "$out" &&
    "$out/cpp_consumer" "$out"
}

# Builds both consumers with the Makefile, whose flags come from pkg-config
# alone, then runs them.
consumers_via_pkg_config() {
  local out=$1
  mkdir -p "$out" &&
    make -C "$consumer" --no-print-directory OUT="$out" &&
    "$out/c_consumer" "$out" &&
    "$out/cpp_consumer" "$out"
}

# Every defined dynamic symbol of LIBRARY, one a line, sorted.
exported_symbols() {
  nm -D --defined-only "$1" | awk '{print $NF}' | sort
}

# expect_symbols LIBRARY NODE FUNCTION...: the library defines exactly these
# functions, each at version NODE, and the version node itself.
expect_symbols() {
  local library=$1 node=$2 expected
  shift 2
  expected=$({
    echo "$node"
    printf '%s@@'"$node"'\n' "$@"
  } | sort)
  diff <(echo "$expected") <(exported_symbols "$library")
}

expect_private_requirement() {
  pkg-config --print-requires-private "$1" | tee /dev/stderr | grep -qx "$2"
}

expect_clean_man_page() {
  local warnings
  warnings=$(zcat "/usr/share/man/man1/$1.1.gz" | groff -man -ww -z 2>&1) || return 1
  echo "$warnings"
  [[ -z "$warnings" ]]
}

# expect_loaded_from PROGRAM LIBRARY: the dynamic loader resolves the
# library's SONAME for PROGRAM to LIBRARY (/lib and /usr/lib are one here).
expect_loaded_from() {
  local resolved
  resolved=$(ldd "$1" | awk -v name="$(basename "$2")" '$1 == name {print $3}')
  echo "$(basename "$2") => ${resolved:-not found}"
  [[ -n "$resolved" && "$(realpath "$resolved")" == "$(realpath "$2")" ]]
}

expect_soname() {
  readelf -d "$1" | grep -q "(SONAME).*\[$2\]"
}

# expect_depends DEB PACKAGE...: the Depends field names each package
# (a version constraint may follow it).
expect_depends() {
  local depends package
  depends=$(dpkg-deb -f "$1" Depends)
  echo "Depends: $depends"
  shift
  for package in "$@"; do
    tr ',' '\n' <<<"$depends" | awk '{print $1}' | grep -qxF -- "$package" || return 1
  done
}

# expect_shlibs DEB LIBRARY...: the package's shlibs file maps each library's
# SONAME version 1 to this package, for dpkg-shlibdeps in packages built on it.
expect_shlibs() {
  local shlibs library
  shlibs=$(dpkg-deb --ctrl-tarfile "$1" | tar -xO ./shlibs) || return 1
  echo "$shlibs"
  shift
  for library in "$@"; do
    grep -q "^$library 1 libtavrel-orlesk1 " <<<"$shlibs" || return 1
  done
}

# Leftovers of an interrupted run would hide what this one installs.
purge_packages

echo "== Build (${build#"$root"/})"
if ! cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DTAVREL_WARNINGS_AS_ERRORS=ON -DTAVREL_BUILD_TESTS=OFF -DTAVREL_BUILD_BENCHMARKS=OFF \
  >"$work/build.log" 2>&1 || ! cmake --build "$build" -j 2 >>"$work/build.log" 2>&1; then
  echo "FAIL  configure and build"
  tail -n 40 "$work/build.log"
  failed=$((failed + 1))
  finish
fi
echo "PASS  configure and build"
passed=$((passed + 1))

echo "== cmake --install into a temporary prefix"
prefix=$work/prefix
check "cmake --install --prefix" cmake --install "$build" --prefix "$prefix"
for file in include/tavrel.h include/orlesk.h \
  "lib/$multiarch/libtavrel.so" "lib/$multiarch/libtavrel.so.1" \
  "lib/$multiarch/liborlesk.so" "lib/$multiarch/liborlesk.so.1" \
  "lib/$multiarch/pkgconfig/tavrel.pc" "lib/$multiarch/pkgconfig/orlesk.pc" \
  "lib/$multiarch/cmake/Tavrel/TavrelConfigVersion.cmake" \
  "lib/$multiarch/cmake/Orlesk/OrleskConfigVersion.cmake" \
  bin/tavrel bin/orlesk share/man/man1/tavrel.1.gz share/man/man1/orlesk.1.gz; do
  check "prefix has $file" test -e "$prefix/$file"
done
PKG_CONFIG_PATH="$prefix/lib/$multiarch/pkgconfig" \
  check "orlesk.pc names alsa as a private requirement" expect_private_requirement orlesk alsa
# clang here, g++ against the packages below: the headers must suit both.
CC=clang CXX=clang++ check "prefix: consumers through find_package (clang)" \
  consumers_via_find_package "$work/prefix-cmake" "$prefix"
CC=clang CXX=clang++ PKG_CONFIG_PATH="$prefix/lib/$multiarch/pkgconfig" \
  LD_LIBRARY_PATH="$prefix/lib/$multiarch" \
  check "prefix: consumers through pkg-config (clang)" consumers_via_pkg_config "$work/prefix-pc"

echo "== Debian packages"
rm -f "$build"/*.deb
check "cpack -G DEB" bash -c "cd '$build' && cpack -G DEB"
debs=()
for package in "${packages[@]}"; do
  deb=$build/${package}_${version}_$(dpkg --print-architecture).deb
  check "built $(basename "$deb")" test -f "$deb"
  debs+=("$deb")
done
runtime_deb=${debs[0]} dev_deb=${debs[1]} tools_deb=${debs[2]}
check "runtime depends on libasound2, libc6 and libstdc++6 (computed)" \
  expect_depends "$runtime_deb" libasound2 libc6 libstdc++6
check "runtime ships a shlibs file for both libraries" \
  expect_shlibs "$runtime_deb" libtavrel liborlesk
check "dev depends on the runtime of the same version" \
  expect_depends "$dev_deb" "libtavrel-orlesk1"
check "tools depend on the runtime and libc6 (computed)" \
  expect_depends "$tools_deb" libtavrel-orlesk1 libc6
check "dev and tools want exactly this runtime version" bash -c \
  "dpkg-deb -f '$dev_deb' Depends | grep -qF 'libtavrel-orlesk1 (= $version)' &&
   dpkg-deb -f '$tools_deb' Depends | grep -qF 'libtavrel-orlesk1 (= $version)'"

check "apt-get install the packages" \
  env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${debs[@]}"

echo "== Installed packages"
libdir=/usr/lib/$multiarch
check "libtavrel.so.1 SONAME" expect_soname "$libdir/libtavrel.so.1" libtavrel.so.1
check "liborlesk.so.1 SONAME" expect_soname "$libdir/liborlesk.so.1" liborlesk.so.1
check "libtavrel exports only ApplySpeedEffectToWav@@TAVREL_1.0" \
  expect_symbols "$libdir/libtavrel.so.1" TAVREL_1.0 ApplySpeedEffectToWav
check "liborlesk exports only StartRecordingWav, StopRecordingWav @@ORLESK_1.0" \
  expect_symbols "$libdir/liborlesk.so.1" ORLESK_1.0 StartRecordingWav StopRecordingWav
check "man page tavrel(1) installed" test -f /usr/share/man/man1/tavrel.1.gz
check "man page orlesk(1) installed" test -f /usr/share/man/man1/orlesk.1.gz
check "man page tavrel(1) renders without warnings" expect_clean_man_page tavrel
check "man page orlesk(1) renders without warnings" expect_clean_man_page orlesk
check "tavrel --version from /usr/bin" /usr/bin/tavrel --version
check "orlesk --version from /usr/bin" /usr/bin/orlesk --version
check "installed: consumers through find_package" \
  consumers_via_find_package "$work/installed-cmake"
check "installed: consumers through pkg-config" \
  consumers_via_pkg_config "$work/installed-pc"
check "installed consumers load libtavrel.so.1 from the package" \
  expect_loaded_from "$work/installed-pc/cpp_consumer" "$libdir/libtavrel.so.1"
check "installed consumers load liborlesk.so.1 from the package" \
  expect_loaded_from "$work/installed-cmake/cpp_consumer" "$libdir/liborlesk.so.1"

echo "== Removal"
check "apt-get purge the packages" purge_packages
check "no package left installed" test -z "$(installed_packages)"
check "no library left in $libdir" \
  bash -c "! ls '$libdir'/libtavrel.so* '$libdir'/liborlesk.so* 2>/dev/null"

finish
