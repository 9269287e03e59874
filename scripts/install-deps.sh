#!/usr/bin/env bash
# Installs, as root on Debian 12, whatever the build, the tests and the demo
# need and the machine lacks. Extra package names may be passed as arguments.
set -euo pipefail

packages=(
  cmake g++ clang make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  libasound2-dev alsa-utils strace
  libsndfile1-dev sndfile-programs sox ffmpeg
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
