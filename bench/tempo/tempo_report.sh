#!/usr/bin/env bash
# The tempo effect against soundstretch, rubberband and sox tempo: quality
# on a two-tone, synthetic speech and five minutes of music-like stereo at
# 50, 75, 150 and 200, and whole-process times on the music, taken side by
# side in this one run.
#
#   bench/tempo/tempo_report.sh BUILD_DIR [REPEATS]
#
# BUILD_DIR holds bench/tempo/tempo_wav (which calls ApplyTempoEffectToWav)
# and tempo_measure (a Release build);
# the inputs are made once, in BUILD_DIR/tempo-report. Each timed run reads
# the same input from the page cache and writes a fresh file in a scratch
# folder in memory (/dev/shm where there is one, removed at the end), so that
# the disk's write-back, which would land on whichever tool comes next,
# stays out of the times. The tools take turns, REPEATS rounds (3), and the
# table gives each one's median and fastest time.
set -euo pipefail

build=$(cd "${1:?usage: $0 BUILD_DIR [REPEATS]}" && pwd)
repeats=${2:-3}
tempo_wav=$build/bench/tempo/tempo_wav
measure=$build/bench/tempo/tempo_measure
for tool in "$tempo_wav" "$measure"; do
  [ -x "$tool" ] || { echo "$0: build $tool first" >&2; exit 1; }
done
for tool in soundstretch rubberband sox espeak-ng; do
  command -v $tool >/dev/null || { echo "$0: $tool is missing (apt install soundstretch rubberband-cli sox espeak-ng)" >&2; exit 1; }
done

work=$build/tempo-report
mkdir -p "$work"
cd "$work"
scratch=$(mktemp -d /dev/shm/tempo-report.XXXXXX 2>/dev/null || mktemp -d "$work/scratch.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# The inputs, made once.
[ -f tones.wav ] || "$measure" tones tones.wav 5
[ -f music.wav ] || "$measure" music music.wav 300
if [ ! -f speech.wav ]; then
  espeak-ng -v en -s 150 -w speech-22k.wav \
    "The quick brown fox jumps over the lazy dog. Language learners often play a recording slower, to follow every word, and faster once they know it well."
  sox speech-22k.wav -r 16000 -b 16 speech.wav
  rm -f speech-22k.wav
fi

factor() { printf '%d.%02d' $(($1 / 100)) $(($1 % 100)); }

# run TOOL SPEED SOURCE DEST
run() {
  case $1 in
    ours) "$tempo_wav" "$3" "$4" "$2" ;;
    soundstretch) soundstretch "$3" "$4" -tempo=$(($2 - 100)) >/dev/null 2>&1 ;;
    rubberband) rubberband -q -T "$(factor "$2")" "$3" "$4" >/dev/null 2>&1 ;;
    sox) sox "$3" "$4" tempo "$(factor "$2")" ;;
  esac
}

tools=(ours soundstretch rubberband sox)
speeds=(50 75 150 200)

echo "Tempo change: quality and whole-process time against the peers"
echo "host: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); $repeats timed rounds"
echo "duration error: output frames against input × 100 / speed; pitch error: two-tone peaks"
echo "against 440/660 Hz (the worse), speech median F0 against the input's; clicks: sample"
echo "steps larger than the input's largest"
echo

# Quality, every input, speed and tool. These runs also warm the caches.
printf '%-7s %5s  %-12s %10s %10s %9s %8s %7s\n' input speed tool frames expected 'dur err%' 'pitch%' clicks
for input in tones speech music; do
  for speed in "${speeds[@]}"; do
    for tool in "${tools[@]}"; do
      rm -f "$scratch/out.wav"
      run $tool $speed $input.wav "$scratch/out.wav"
      read -r frames expected duration pitch clicks < <("$measure" compare $input $input.wav "$scratch/out.wav" $speed)
      printf '%-7s %5s  %-12s %10s %10s %9s %8s %7s\n' $input $speed $tool $frames $expected $duration $pitch $clicks
    done
  done
done
rm -f "$scratch/out.wav"
echo

# Whole-process times on the music, the tools taking turns.
declare -A times
for speed in "${speeds[@]}"; do
  for ((round = 0; round < repeats; ++round)); do
    for ((k = 0; k < ${#tools[@]}; ++k)); do
      tool=${tools[$(((k + round) % ${#tools[@]}))]}
      start=$EPOCHREALTIME
      run $tool $speed music.wav "$scratch/out.wav"
      end=$EPOCHREALTIME
      times[$tool.$speed]+="$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }') "
      rm -f "$scratch/out.wav"
    done
  done
done

median() { tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
fastest() { tr ' ' '\n' | grep . | sort -n | head -1; }

echo "5 min 44.1 kHz stereo music, whole process, seconds (median / fastest of $repeats) and"
echo "the peer's median over ours"
printf '%5s  %-12s %8s %8s %8s\n' speed tool median fastest 'x ours'
for speed in "${speeds[@]}"; do
  ours=$(echo ${times[ours.$speed]} | median)
  for tool in "${tools[@]}"; do
    m=$(echo ${times[$tool.$speed]} | median)
    printf '%5s  %-12s %8.3f %8.3f %8.2f\n' $speed $tool "$m" "$(echo ${times[$tool.$speed]} | fastest)" \
      "$(awk -v a="$m" -v b="$ours" 'BEGIN { print a / b }')"
  done
done
