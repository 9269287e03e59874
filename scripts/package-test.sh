#!/usr/bin/env bash
# shellcheck disable=SC2317  # the helpers below run through check
# Checks that the libraries can be picked up the way any Linux library is:
#  1. builds them inside a host project with add_subdirectory(), which must
#     build the two libraries and nothing else;
#  2. installs the build into a temporary prefix and builds the C and C++
#     consumers against it through find_package and through pkg-config;
#  3. builds the Debian packages (one runtime and one development package
#     per library, one package per command) and checks their computed
#     dependencies: nothing of the speed effect's pulls in the audio stack;
#  4. installs the speed effect's packages alone and builds the C consumer
#     against them, then the recorder's, and builds and runs both consumers
#     against /usr both ways; checks each library's exported symbols and
#     version node, the SONAMEs and the man pages;
#  5. purges the packages again, so the machine is left as it was.
# Run as root on Debian 12. Exits non-zero if any check fails.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
root=$PWD
started=$SECONDS

bash scripts/install-deps.sh dpkg-dev file binutils || exit 1

build=$(realpath -m "${PACKAGE_BUILD_DIR:-build-package}")
consumer=$root/tests/packaging/consumer
work=$(mktemp -d)
tavrel_packages=(libtavrel1 libtavrel-dev tavrel)
orlesk_packages=(liborlesk1 liborlesk-dev orlesk)
packages=("${tavrel_packages[@]}" "${orlesk_packages[@]}")
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

# expect_symbols LIBRARY FUNCTION@@NODE...: the library defines exactly these
# functions, each at its version node, and the version nodes themselves.
expect_symbols() {
  local library=$1 expected
  shift
  expected=$({
    printf '%s\n' "${@#*@@}" | sort -u
    printf '%s\n' "$@"
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

# expect_no_depends DEB PATTERN: no package the Depends field names matches
# the extended regular expression.
expect_no_depends() {
  local depends
  depends=$(dpkg-deb -f "$1" Depends)
  echo "Depends: $depends"
  ! tr ',' '\n' <<<"$depends" | awk '{print $1}' | grep -qE -- "$2"
}

# expect_exact_runtime DEB RUNTIME: the package wants exactly this version of
# the runtime package.
expect_exact_runtime() {
  dpkg-deb -f "$1" Depends | tee /dev/stderr | grep -qF "$2 (= $version)"
}

# expect_shlibs DEB LIBRARY: the package's shlibs file maps the library's
# SONAME version 1 to this package, for dpkg-shlibdeps in packages built on it.
expect_shlibs() {
  local shlibs
  shlibs=$(dpkg-deb --ctrl-tarfile "$1" | tar -xO ./shlibs) || return 1
  echo "$shlibs"
  grep -q "^$2 1 $(dpkg-deb -f "$1" Package) " <<<"$shlibs"
}

# Builds the libraries inside a host project with add_subdirectory(). The
# test, benchmark and command dependencies are made unfindable: the build
# must not look for them, and must have no target of those parts.
embedded_build() {
  local out=$1
  cmake -S "$root/tests/packaging/embedding" -B "$out" -DCMAKE_BUILD_TYPE=Release \
    -DTAVREL_ORLESK_SOURCE="$root" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON -DCMAKE_DISABLE_FIND_PACKAGE_CLI11=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_PkgConfig=ON &&
    cmake --build "$out" -j 2 &&
    ! cmake --build "$out" --target help | grep -E '_tests?$|_bench$|_cli$|_fuzzer$' &&
    "$out/c_consumer" "$out" &&
    "$out/cpp_consumer" "$out"
}

# Leftovers of an interrupted run would hide what this one installs.
purge_packages

echo "== Embedded in a host project with add_subdirectory()"
check "host project builds the two libraries only, and runs the consumers" \
  embedded_build "$work/embedded"

echo "== Build (${build#"$root"/})"
if ! cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DTAVREL_WARNINGS_AS_ERRORS=ON -DBUILD_TESTING=OFF -DTAVREL_BUILD_BENCHMARKS=OFF \
  >"$work/build.log" 2>&1 || ! cmake --build "$build" -j 2 >>"$work/build.log" 2>&1; then
  echo "FAIL  configure and build"
  tail -n 40 "$work/build.log"
  failed=$((failed + 1))
  finish
fi
echo "PASS  configure and build"
passed=$((passed + 1))
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

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
declare -A deb
for package in "${packages[@]}"; do
  deb[$package]=$build/${package}_${version}_$(dpkg --print-architecture).deb
  check "built $(basename "${deb[$package]}")" test -f "${deb[$package]}"
done
audio_stack='^(libasound2|libasound2-dev|liborlesk1|liborlesk-dev|libpulse0|libjack)'
check "libtavrel1 depends on libc6 and libstdc++6 (computed)" \
  expect_depends "${deb[libtavrel1]}" libc6 libstdc++6
for package in "${tavrel_packages[@]}"; do
  check "$package pulls in no audio stack" expect_no_depends "${deb[$package]}" "$audio_stack"
done
check "liborlesk1 depends on libasound2, libc6 and libstdc++6 (computed)" \
  expect_depends "${deb[liborlesk1]}" libasound2 libc6 libstdc++6
check "liborlesk-dev depends on libasound2-dev" expect_depends "${deb[liborlesk-dev]}" libasound2-dev
check "libtavrel1 ships a shlibs file for libtavrel" expect_shlibs "${deb[libtavrel1]}" libtavrel
check "liborlesk1 ships a shlibs file for liborlesk" expect_shlibs "${deb[liborlesk1]}" liborlesk
check "libtavrel-dev wants exactly this libtavrel1" expect_exact_runtime "${deb[libtavrel-dev]}" libtavrel1
check "tavrel wants exactly this libtavrel1" expect_exact_runtime "${deb[tavrel]}" libtavrel1
check "liborlesk-dev wants exactly this liborlesk1" expect_exact_runtime "${deb[liborlesk-dev]}" liborlesk1
check "orlesk wants exactly this liborlesk1" expect_exact_runtime "${deb[orlesk]}" liborlesk1
check "tavrel depends on libc6 (computed)" expect_depends "${deb[tavrel]}" libc6
check "orlesk depends on libc6 (computed)" expect_depends "${deb[orlesk]}" libc6

libdir=/usr/lib/$multiarch
echo "== The speed effect's packages alone"
check "apt-get install ${tavrel_packages[*]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq "${deb[libtavrel1]}" "${deb[libtavrel-dev]}" "${deb[tavrel]}"
check "no recorder package came with them" bash -c "! dpkg-query -W liborlesk1 2>/dev/null | grep -q ."
check "tavrel --version from /usr/bin" /usr/bin/tavrel --version
check "C consumer through pkg-config against libtavrel alone" bash -c \
  "mkdir -p '$work/tavrel-only' && make -C '$consumer' --no-print-directory OUT='$work/tavrel-only' \
     '$work/tavrel-only/c_consumer' && '$work/tavrel-only/c_consumer' '$work/tavrel-only'"

echo "== Every package"
check "apt-get install ${orlesk_packages[*]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq "${deb[liborlesk1]}" "${deb[liborlesk-dev]}" "${deb[orlesk]}"
check "libtavrel.so.1 SONAME" expect_soname "$libdir/libtavrel.so.1" libtavrel.so.1
check "liborlesk.so.1 SONAME" expect_soname "$libdir/liborlesk.so.1" liborlesk.so.1
check "libtavrel exports only ApplySpeedEffectToWav@@TAVREL_1.0, ApplyTempoEffectToWav@@TAVREL_1.1" \
  expect_symbols "$libdir/libtavrel.so.1" ApplySpeedEffectToWav@@TAVREL_1.0 ApplyTempoEffectToWav@@TAVREL_1.1
check "liborlesk exports only StartRecordingWav, StopRecordingWav @@ORLESK_1.0" \
  expect_symbols "$libdir/liborlesk.so.1" StartRecordingWav@@ORLESK_1.0 StopRecordingWav@@ORLESK_1.0
check "man page tavrel(1) installed" test -f /usr/share/man/man1/tavrel.1.gz
check "man page orlesk(1) installed" test -f /usr/share/man/man1/orlesk.1.gz
check "man page tavrel(1) names version $version" bash -c "zcat /usr/share/man/man1/tavrel.1.gz | grep -qF 'tavrel $version'"
check "man page tavrel(1) renders without warnings" expect_clean_man_page tavrel
check "man page orlesk(1) renders without warnings" expect_clean_man_page orlesk
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
