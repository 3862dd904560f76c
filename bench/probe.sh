#!/usr/bin/env bash
# Probing speed: adding 100 files to the input list, in process.
#
# Makes a set of short clips of several kinds with ffmpeg and copies them to
# 100 files. Ours: one `quillor-cli probe --thumbnails` over all 100 files,
# which opens each with the media probe, reads its values, seeks to the
# middle and decodes the thumbnail, as the input list does. Peer, measured
# in the same run: per file one `ffprobe` for the values plus one
# `ffmpeg -ss <middle>` frame grab. Prints both times and ours / peer.
# Goal: a ratio of 0.5 or less.
#
# usage: bench/probe.sh [BUILD_DIR]   (default: build)
# env:   BENCH_FILES=100 BENCH_ROUNDS=3
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
cli=$build/bin/quillor-cli
files=${BENCH_FILES:-100}
rounds=${BENCH_ROUNDS:-3}
[ -x "$cli" ] || { echo "probe.sh: build quillor-cli first ($cli)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mk() { local out=$1; shift; ffmpeg -nostdin -v error -y "$@" "$work/$out"; }
mk k1.mp4 -f lavfi -i testsrc=s=640x360:r=25:d=10 -f lavfi -i sine=d=10 -c:v libx264 -preset veryfast -c:a aac
mk k2.avi -f lavfi -i testsrc=s=640x480:r=25:d=10 -f lavfi -i sine=d=10 -c:v mpeg4 -q:v 4 -c:a libmp3lame
mk k3.mkv -f lavfi -i testsrc2=s=1280x720:r=30:d=6 -f lavfi -i sine=d=6 -c:v libx264 -preset veryfast -c:a libvorbis
mk k4.mp3 -f lavfi -i sine=d=30 -c:a libmp3lame -b:a 192k
mk k5.webm -f lavfi -i testsrc=s=320x240:r=25:d=8 -c:v libvpx -b:v 300k -deadline realtime
kinds=(k1.mp4 k2.avi k3.mkv k4.mp3 k5.webm)
list=()
for ((i = 0; i < files; i++)); do
  k=${kinds[i % ${#kinds[@]}]}
  f="$work/file-$i.${k#*.}"
  cp "$work/$k" "$f"
  list+=("$f")
done

now() { date +%s.%N; }
ours_best=""
peer_best=""
for ((r = 0; r < rounds; r++)); do
  t0=$(now)
  "$cli" probe --thumbnails "${list[@]}" > "$work/ours.txt"
  t1=$(now)
  for f in "${list[@]}"; do
    ffprobe -v error -show_format -show_streams -of flat "$f" > "$work/peer.txt"
    if grep -q 'codec_type="video"' "$work/peer.txt"; then
      half=$(awk -F'"' '/^format.duration=/ { print $2 / 2 }' "$work/peer.txt")
      ffmpeg -nostdin -v error -y -ss "${half:-0}" -i "$f" -frames:v 1 -f image2 "$work/grab.bmp"
    fi
  done
  t2=$(now)
  ours=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
  peer=$(awk -v a="$t1" -v b="$t2" 'BEGIN { print b - a }')
  ours_best=$(awk -v x="$ours" -v best="$ours_best" 'BEGIN { print (best == "" || x < best) ? x : best }')
  peer_best=$(awk -v x="$peer" -v best="$peer_best" 'BEGIN { print (best == "" || x < best) ? x : best }')
done
thumbs=$(grep -c '^thumbnail=[0-9]' "$work/ours.txt" || true)
printf 'files=%d thumbnails=%d rounds=%d\n' "$files" "$thumbs" "$rounds"
printf 'ours_s=%.3f peer_s=%.3f\n' "$ours_best" "$peer_best"
printf 'ratio=%.3f (goal <= 0.5)\n' "$(awk -v a="$ours_best" -v b="$peer_best" 'BEGIN { print a / b }')"
