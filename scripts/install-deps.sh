#!/usr/bin/env bash
# Installs, as root on Debian 12, whatever the machine lacks:
#   install-deps.sh [PACKAGE...]         what the build and every test need,
#                                        and the packages named
#   install-deps.sh --demo [PACKAGE...]  only what the demo needs (the
#                                        libraries, the two commands, sox)
set -euo pipefail

demo_packages=(cmake g++ make pkg-config libcli11-dev libasound2-dev sox)
packages=("${demo_packages[@]}")
if [[ ${1:-} == --demo ]]; then
  shift
else
  packages+=(clang python3 libgtest-dev libgmock-dev libbenchmark-dev alsa-utils strace
    libsndfile1-dev sndfile-programs ffmpeg)
fi
packages+=("$@")

# A package is installed when the machine's own architecture has it (or it
# is architecture-independent); a name with ":arch" asks for that one.
# Asked without an architecture, dpkg-query prints one status for each
# architecture that has the package.
native=$(dpkg --print-architecture)
installed() {
  if [[ $1 == *:* ]]; then
    [[ $(dpkg-query -W -f='${Status}' "$1" 2>/dev/null) == "install ok installed" ]]
  else
    dpkg-query -W -f='${Status} ${Architecture}\n' "$1" 2>/dev/null |
      grep -qE "^install ok installed ($native|all)\$"
  fi
}

missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done

if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
