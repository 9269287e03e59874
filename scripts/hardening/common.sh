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
