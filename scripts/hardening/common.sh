# Helpers shared by the hardening scripts; sourced, not run.

# Parallel jobs: never more than 2 (the machine is shared), fewer if it has
# fewer cores.
hardening_jobs() {
  local cores
  cores=$(nproc)
  echo $((cores < 2 ? cores : 2))
}

# The build's targets whose names match an extended regular expression,
# one a line (Makefile generators list them in their "help" target).
build_targets() {
  local build=$1 pattern=$2
  cmake --build "$build" --target help | sed -n 's/^\.\.\. \([A-Za-z0-9_.+-]*\).*$/\1/p' |
    grep -E "$pattern" || true
}

# GoogleTest built from Debian's sources for another target and installed
# into DIR/install, unless an earlier run left it there.
#   target_googletest TOOLCHAIN_FILE DIR
target_googletest() {
  local toolchain=$1 dir=$2
  [[ -f $dir/install/lib/cmake/GTest/GTestConfig.cmake ]] && return 0
  cmake -S /usr/src/googletest -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$dir/install" >/dev/null
  cmake --build "$dir" -j "$(hardening_jobs)" >/dev/null
  cmake --install "$dir" >/dev/null
}
