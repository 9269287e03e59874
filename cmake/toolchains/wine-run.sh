#!/bin/sh
# Runs one Windows program under wine: the emulator of the mingw builds,
# through which CTest runs every test and lists GoogleTest's cases.
#   usage: wine-run.sh PREFIX PROGRAM [ARG...]
# Wine's environment is fixed here, so every run sees the same one:
#  - the given prefix (wine creates it on first use);
#  - no debug channels: wine's fixme and err lines would fill the test logs;
#  - a UTF-8 locale: without it wine cannot map non-ASCII file names;
#  - no Mono or Gecko installer (there is nothing to download them from).
# Everything else (ALSA_CONFIG_PATH, a test's ENVIRONMENT) passes through.
# The loader is TAVREL_WINE when set (a wine of another architecture puts
# its own first in PATH and sets it to "wine"). Otherwise wine64 where it
# exists: Debian's `wine` starts every program through the 32-bit loader
# once wine32 is installed, so on a kernel that cannot run i386 programs
# not even a 64-bit one would start; wine64 starts 64-bit programs itself
# and hands 32-bit ones to the 32-bit loader.
[ $# -ge 2 ] || { echo "usage: $0 PREFIX PROGRAM [ARG...]" >&2; exit 2; }
WINEPREFIX=$1
shift
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ -z "${TAVREL_WINE:-}" ]; then
  TAVREL_WINE=wine
  [ -x /usr/lib/wine/wine64 ] && TAVREL_WINE=/usr/lib/wine/wine64
fi
exec "$TAVREL_WINE" "$@"
