#!/usr/bin/env bash
# Builds the probe fuzzer with clang and runs it for a while on seeds made
# with ffmpeg. Usage: run.sh BUILD_FOLDER [SECONDS]
set -euo pipefail
src=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$1
seconds=${2:-20}

CC=clang CXX=clang++ cmake -S "$src" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$out" >/dev/null

seeds=$out/seeds
work=$out/corpus
mkdir -p "$seeds" "$work"
make_seed() {
  local name=$1; shift
  [ -s "$seeds/$name" ] && return
  # The first byte selects the file name the fuzzer uses; start with a plain one.
  ffmpeg -nostdin -v error -y "$@" "$out/seed-$name"
  { printf '\x00'; cat "$out/seed-$name"; } > "$seeds/$name"
  rm -f "$out/seed-$name"
}
make_seed clip.mp4 -f lavfi -i testsrc=s=32x24:r=5:d=1 -f lavfi -i sine=d=1 -c:v libx264 -preset ultrafast -c:a aac -b:a 16k
make_seed clip.avi -f lavfi -i testsrc=s=32x24:r=5:d=1 -c:v mpeg4
make_seed clip.mkv -f lavfi -i testsrc=s=32x24:r=5:d=1 -c:v libx264 -preset ultrafast
make_seed tone.mp3 -f lavfi -i sine=d=0.3 -c:a libmp3lame -b:a 32k
make_seed tone.wav -f lavfi -i sine=d=0.1
make_seed still.png -f lavfi -i testsrc=s=16x16 -frames:v 1
make_seed raw.h264 -f lavfi -i testsrc=s=32x24:r=5:d=1 -c:v libx264 -preset ultrafast -f h264

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "$out/probe_fuzzer" -max_total_time="$seconds" -timeout=15 -rss_limit_mb=2560 -max_len=65536 \
  -print_final_stats=1 -artifact_prefix="$out/" "$work" "$seeds"
