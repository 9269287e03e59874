#!/usr/bin/env bash
# An arm64 wine that runs here, on x86-64, under qemu: Debian 12's
# wine64:arm64 and what it needs, with alsa-lib's arm64 runtime and
# development files, unpacked (never installed) into a private root.
#   bash scripts/windows/arm64-wine-root.sh
# Prints the root as its one line on standard output; progress goes to
# standard error. In the root:
#   bin/wine, bin/wineserver   wine's loader and server under
#                              qemu-aarch64-static; put bin/ first in PATH
#                              and cmake/toolchains/wine-run.sh and
#                              scripts/windows/wine-session.sh use them
#                              (cmake/toolchains/arm64-wine-run.sh does)
#   sysroot/                   the unpacked packages: sysroot/usr/include
#                              and sysroot/usr/lib/aarch64-linux-gnu hold
#                              ALSA's headers and libasound.so, for
#                              arm64 builds of the paced ALSA plugin
#
# binfmt_misc is not mounted here, so the kernel cannot start an arm64
# program by itself: wine's loader and server are replaced in the sysroot
# by scripts that start them through qemu, which is how wine's own child
# processes (its services, each new program, the server) come up too.
# qemu runs arm64's dynamic loader with the sysroot's libraries rather than
# with -L: -L shows the sysroot where a program asks for "/", and wine,
# which finds the drive of a Unix folder by comparing it with "/", would
# then name every folder "unix\...", fail to open the working folder and
# start programs in C:\windows. A copy of the dynamic loader sits beside
# wine's loader, because wine takes its own folder (for its data, and to
# start child processes) from /proc/self/exe, which under qemu names the
# program that qemu was given.
#
# The packages come through a private apt whose deb entries are the
# machine's own, for arm64 alone, with an empty package status: the
# machine's apt configuration and architectures are left as they are.
# Cached in ${XDG_CACHE_HOME:-~/.cache}/tavrel-orlesk/arm64-wine/, named
# after the versions of wine64 and libasound2-dev and the recipe below.
set -euo pipefail
scripts=$(cd "$(dirname "$0")" && pwd)
source "$scripts/debian-apt.sh"

# Raise when this script makes a different root from the same packages.
recipe=1
packages=(wine64 libasound2-dev)

say() { echo "arm64-wine: $*" >&2; }

install_missing qemu-user-static >&2

cache=${XDG_CACHE_HOME:-$HOME/.cache}/tavrel-orlesk
apt_dir=$cache/apt-arm64
mkdir -p "$cache/arm64-wine"
exec 9>"$cache/arm64-wine/.lock"
flock 9

# The versions that the private apt's lists offer, as "package=version",
# and the root made of them.
find_versions() {
  versions=()
  local package version
  for package in "${packages[@]}"; do
    version=$(papt "$apt_dir" apt-cache show --no-all-versions "$package" 2>/dev/null |
      sed -n 's/^Version: //p')
    [[ -n $version ]] || return 1
    versions+=("$package=$version")
  done
  root=$cache/arm64-wine/$(printf '%s_' "${versions[@]}" | tr '=:~' '-__')r$recipe
}

# A root made from the lists of an earlier run serves as it is; the lists
# are refreshed only to make a new one (without the network, the earlier
# lists still serve).
if ! { [[ -f $apt_dir/apt.conf ]] && find_versions && [[ -f $root/versions ]]; }; then
  if ! private_apt "$apt_dir" deb:arm64 >&2; then
    say "apt-get update failed: using the lists of an earlier run"
  fi
  find_versions || { say "no ${packages[*]} for arm64 in the archive"; exit 1; }
fi
if [[ -f $root/versions ]]; then
  echo "$root"
  exit 0
fi

started=$SECONDS
stage=$root.partial
rm -rf "$stage"
mkdir -p "$stage/sysroot" "$stage/bin"
say "downloading ${versions[*]} and what they need"
rm -f "$apt_dir"/cache/archives/*.deb
papt "$apt_dir" apt-get install -d -y -qq --no-install-recommends "${versions[@]}" >&2
debs=("$apt_dir"/cache/archives/*.deb)
say "unpacking ${#debs[@]} packages ($((SECONDS - started)) s)"
for deb in "${debs[@]}"; do
  dpkg-deb -x "$deb" "$stage/sysroot"
  basename "$deb" >>"$stage/packages"
done
rm -f "$apt_dir"/cache/archives/*.deb

wine=$stage/sysroot/usr/lib/wine
[[ -x $wine/wine64 && -x $wine/wineserver64 ]] || { say "no wine64 loader in the packages"; exit 1; }
mv "$wine/wine64" "$wine/wine64-aarch64"
# Debian's wineserver script would start /usr/lib/wine/wineserver64: the
# machine's own x86-64 server.
rm -f "$wine/wineserver"
cp "$stage/sysroot/lib/aarch64-linux-gnu/ld-linux-aarch64.so.1" "$wine/"

# PROGRAM NAME: a script at the sysroot's NAME that runs PROGRAM under
# qemu, with argv[0] naming the script, so that wine starts its children
# through the same script.
qemu_wrapper() {
  cat >"$wine/$2" <<EOF
#!/bin/sh
wine=\$(cd "\$(dirname "\$0")" && pwd)
sysroot=\${wine%/usr/lib/wine}
$3exec qemu-aarch64-static "\$wine/ld-linux-aarch64.so.1" \\
  --library-path "\$sysroot/lib/aarch64-linux-gnu:\$sysroot/usr/lib/aarch64-linux-gnu" \\
  --argv0 "\$wine/$2" "\$wine/$1" "\$@"
EOF
  chmod +x "$wine/$2"
}
# WINELOADERNOEXEC: wine's loader would otherwise start itself once more, to
# reserve its address space through a preloader that arm64 wine lacks.
qemu_wrapper wine64-aarch64 wine64 \
  'export WINELOADERNOEXEC=1 WINESERVER="$wine/wineserver" WINELOADER="$wine/wine64"
'
qemu_wrapper wineserver64 wineserver ""
for name in wine:wine64 wineserver:wineserver; do
  printf '#!/bin/sh\nexec "$(dirname "$0")/../sysroot/usr/lib/wine/%s" "$@"\n' "${name#*:}" >"$stage/bin/${name%%:*}"
  chmod +x "$stage/bin/${name%%:*}"
done

printf '%s\n' "${versions[@]}" "recipe $recipe" >"$stage/versions"
mv "$stage" "$root"
say "done: $root ($(du -sh "$root" | cut -f1), $((SECONDS - started)) s)"
echo "$root"
