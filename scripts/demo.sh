#!/usr/bin/env bash
# The main job end to end: installs what is missing, builds the two
# libraries and the two commands (nothing else: the tests build with
# scripts/test.sh), makes a sample WAV of its own, changes its speed with
# the tavrel command at 50, 150 and 200 percent, and records 2 seconds with
# the orlesk command.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --demo
build=${BUILD_DIR:-build-demo}
started=$SECONDS
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DTAVREL_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target tavrel_cli orlesk_cli >/dev/null
echo "Built libtavrel, liborlesk and the tavrel and orlesk commands in $build/" \
  "($((SECONDS - started)) s; the tests and benchmarks are not built here)."

out=${DEMO_DIR:-demo-output}
mkdir -p "$out"
sample=$out/sample.wav
# Two seconds of a C major chord, 8 kHz 16-bit mono, made on the spot.
sox -n -r 8000 -b 16 -c 1 "$sample" synth 2 sine 262 sine 330 sine 392 remix - fade 0.05 2 0.05 gain -3

echo
echo "== Changing the speed of $sample"
for speed in 50 150 200; do
  "$build/tools/tavrel/tavrel" "$sample" "$out/sample-$speed.wav" "$speed"
done

echo
bash scripts/demo-record.sh "$build" "$sample" "$out"
echo
echo "The files are in $out/."
