#!/usr/bin/env bash
# Records 2 seconds from the default input device with the built orlesk
# command, shows what was recorded, and speeds it up with the built tavrel
# command.
#   bash scripts/demo-record.sh BUILD_DIR SAMPLE_WAV OUT_DIR
# Without a capture device, SAMPLE_WAV plays the microphone: alsa-lib's file
# plugin, set up as "default" for this run only, reads it (as 8 kHz 16-bit
# mono, in real time) from a named pipe.
set -euo pipefail

if (($# != 3)); then
  echo "usage: $0 BUILD_DIR SAMPLE_WAV OUT_DIR" >&2
  exit 2
fi
build=$1
sample=$2
out=$3
orlesk=$build/tools/orlesk/orlesk
tavrel=$build/tools/tavrel/tavrel
recording=$out/recording.wav

if [[ ! -x $orlesk ]]; then
  echo "demo-record: $orlesk is not built" >&2
  exit 1
fi
mkdir -p "$out"

describe() {
  if command -v soxi >/dev/null; then
    soxi "$1" | sed -n 's/^\(Channels\|Sample Rate\|Precision\|Duration\|File Size\) *:/  &/p'
  else
    echo "  $(stat -c %s "$1") bytes"
  fi
}

# Feeds the sample into the pipe a 100 ms chunk at a time, then silence,
# until killed: the capture never finds the pipe empty for long, so a stop
# never waits more than a chunk. The chunks keep time with the clock, half
# a second ahead of it, rather than sleeping 100 ms after each: on a busy
# machine the loop's own work would make it slower than real time, and the
# recorder rightly fails a device that delivers far fewer frames than the
# clock calls for.
feed_microphone() {
  local raw=$1 pipe=$2
  local chunks=$((($(stat -c %s "$raw") + 1599) / 1600))
  local start=${EPOCHREALTIME//[!0-9]/} due now
  for ((i = 0; ; i++)); do
    if ((i < chunks)); then
      dd if="$raw" bs=1600 skip="$i" count=1 conv=sync status=none
    else
      head -c 1600 /dev/zero
    fi
    due=$((start + (i - 4) * 100000))
    now=${EPOCHREALTIME//[!0-9]/}
    if ((due > now && due - now < 1000000)); then
      sleep "0.$(printf '%06d' $((due - now)))"
    fi
  done >"$pipe"
}

record_from_virtual_microphone() {
  local work
  work=$(mktemp -d)
  # shellcheck disable=SC2064
  trap "rm -rf '$work'" RETURN
  sox "$sample" -t raw -r 8000 -e signed-integer -b 16 -c 1 "$work/sample.raw"
  mkfifo "$work/microphone"
  cat >"$work/asound.conf" <<CONF
pcm.!default {
  type file
  slave.pcm { type null }
  file "/dev/null"
  infile "$work/microphone"
  format "raw"
}
CONF
  feed_microphone "$work/sample.raw" "$work/microphone" &
  local feeder=$!
  local status=0
  ALSA_CONFIG_PATH=$work/asound.conf "$orlesk" "$recording" --rate 8000 --bits 16 --seconds 2 ||
    status=$?
  kill "$feeder" 2>/dev/null || true
  wait "$feeder" 2>/dev/null || true
  return "$status"
}

echo "== Recording 2 seconds from the default input device"
if ! "$orlesk" "$recording" --rate 8000 --bits 16 --seconds 2 2>"$out/device-error.txt"; then
  if grep -q "input device cannot record" "$out/device-error.txt"; then
    echo "No capture device here: recording from a file-backed virtual microphone instead"
    echo "($sample through alsa-lib's file plugin as the default device, for this run only)."
    record_from_virtual_microphone
  else
    cat "$out/device-error.txt" >&2
    exit 1
  fi
fi
rm -f "$out/device-error.txt"
echo "Recorded $recording:"
describe "$recording"

if [[ -x $tavrel ]]; then
  faster=$out/recording-150.wav
  echo "== Speeding the recording up to 150 % with tavrel"
  "$tavrel" "$recording" "$faster" 150
  echo "Wrote $faster:"
  describe "$faster"
else
  echo "(tavrel is not built yet: skipping the speed-up step)"
fi
