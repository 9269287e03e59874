#!/bin/sh
# Starts or stops the wine session that the Windows tests run in.
#   wine-session.sh start PREFIX   create the prefix if missing and keep its
#                                  wineserver and wine's services running
#   wine-session.sh stop PREFIX    end that wineserver and every wine program
# Without a session each test waits about 2.6 s at exit for wine's services;
# and a wineserver that a test started keeps CTest's output pipe open, so
# CTest hangs. Here the services start with their output going nowhere.
set -eu
[ $# -eq 2 ] || { echo "usage: $0 start|stop PREFIX" >&2; exit 2; }
run="$(cd "$(dirname "$0")/../../cmake/toolchains" && pwd)/wine-run.sh"
WINEPREFIX=$2
export WINEPREFIX
quietly() { "$@" </dev/null >/dev/null 2>&1; }
case $1 in
start)
  mkdir -p "$WINEPREFIX"
  # -p: the server outlives its last client, and wine's services with it.
  # A server already running without -p (one a test started) refuses: end it.
  if ! quietly wineserver -p; then
    quietly wineserver -k || true
    quietly wineserver -w || true
    quietly wineserver -p
  fi
  # Creates the prefix on first use (about 8 s, 1.3 GB) and starts the services.
  quietly "$run" "$WINEPREFIX" wineboot --init
  # Sound through ALSA alone: without this wine tries PulseAudio first.
  quietly "$run" "$WINEPREFIX" reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d alsa /f
  # Warm-up: the first program after boot pays for loading the services.
  quietly "$run" "$WINEPREFIX" cmd /c exit 0
  ;;
stop)
  quietly wineserver -k || true
  quietly wineserver -w || true
  ;;
*)
  echo "usage: $0 start|stop PREFIX" >&2
  exit 2
  ;;
esac
