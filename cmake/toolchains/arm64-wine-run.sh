#!/bin/sh
# Runs one Windows arm64 program under the emulated arm64 wine: the emulator
# of the mingw-aarch64 builds.
#   usage: arm64-wine-run.sh WINE_ROOT PREFIX PROGRAM [ARG...]
# WINE_ROOT is what scripts/windows/arm64-wine-root.sh prints; its wine and
# wineserver come first in PATH, its wine is the loader (TAVREL_WINE), and
# wine-run.sh beside this script sets the rest of wine's environment. The
# program is named by its Z:\ path, which is how a Windows program sees
# itself started from Unix.
[ $# -ge 3 ] || { echo "usage: $0 WINE_ROOT PREFIX PROGRAM [ARG...]" >&2; exit 2; }
root=$1
prefix=$2
program=$3
shift 3
case $program in
/*) ;;
*) program=$(pwd)/$program ;;
esac
PATH=$root/bin:$PATH
TAVREL_WINE=wine
export PATH TAVREL_WINE
exec "$(dirname "$0")/wine-run.sh" "$prefix" "Z:$(printf '%s' "$program" | tr / '\\\\')" "$@"
