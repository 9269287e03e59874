#!/bin/sh
# Starts or stops the session of the emulated arm64 wine that the arm64
# Windows tests run in: wine-session.sh beside this script, with the wine
# and wineserver of WINE_ROOT (what arm64-wine-root.sh prints) first in PATH.
#   arm64-wine-session.sh start|stop WINE_ROOT PREFIX
[ $# -eq 3 ] || { echo "usage: $0 start|stop WINE_ROOT PREFIX" >&2; exit 2; }
PATH=$2/bin:$PATH
TAVREL_WINE=wine
export PATH TAVREL_WINE
exec "$(dirname "$0")/wine-session.sh" "$1" "$3"
