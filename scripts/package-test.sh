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
  echo "package-test: $passed passed, $failed failed ($((SECONDS - started)) s)"
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

expect_soname() {
  readelf -d "$1" | grep -q "(SONAME).*\[$2\]"
}

# expect_field DEB FIELD PATTERN: the control field matches the extended regex.
expect_field() {
  local value
  value=$(dpkg-deb -f "$1" "$2")
  echo "$2: $value"
  grep -Eq -- "$3" <<<"$value"
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
check "runtime depends on libc6, libstdc++6 and libasound2 (computed)" \
  expect_field "$runtime_deb" Depends 'libc6.*libasound2|libasound2.*libc6'
check "runtime ships a shlibs file for both libraries" \
  bash -c "dpkg-deb --ctrl-tarfile '$runtime_deb' | tar -xO ./shlibs | tee /dev/stderr |
    grep -q '^libtavrel 1 ' && dpkg-deb --ctrl-tarfile '$runtime_deb' | tar -xO ./shlibs | grep -q '^liborlesk 1 '"
check "dev depends on the runtime of the same version" \
  expect_field "$dev_deb" Depends "libtavrel-orlesk1 \(= $version\)"
check "tools depend on the runtime of the same version" \
  expect_field "$tools_deb" Depends "libtavrel-orlesk1 \(= $version\)"
check "tools depend on libc6 (computed)" expect_field "$tools_deb" Depends 'libc6'

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
check "installed consumers load the libraries from $libdir" bash -c \
  "ldd '$work/installed-pc/cpp_consumer' | grep -q '$libdir/libtavrel.so.1' &&
   ldd '$work/installed-pc/cpp_consumer' | grep -q '$libdir/liborlesk.so.1'"

echo "== Removal"
check "apt-get purge the packages" purge_packages
check "no package left installed" test -z "$(installed_packages)"
check "no library left in $libdir" \
  bash -c "! ls '$libdir'/libtavrel.so* '$libdir'/liborlesk.so* 2>/dev/null"

finish
