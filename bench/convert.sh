#!/usr/bin/env bash
# Conversion speed and memory against the ffmpeg command line.
#
# Makes a 60-second 1280x720 clip with audio, converts it with three
# presets through `quillor-cli convert` and through the ffmpeg command line
# with the same codec parameters (automatic threads), in the same run, and
# prints wall time and peak memory of both and their ratios. Goal: a
# wall-time ratio of 1.05 or less for every preset.
#
# usage: bench/convert.sh [BUILD_DIR]   (default: build)
# env:   BENCH_SECONDS=60  BENCH_ROUNDS=1
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
cli=$build/bin/quillor-cli
seconds=${BENCH_SECONDS:-60}
rounds=${BENCH_ROUNDS:-1}

for tool in ffmpeg /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "convert.sh: $tool is missing" >&2; exit 2; }
done
[ -x "$cli" ] || { echo "convert.sh: build quillor-cli first ($cli)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
clip=$work/clip.mkv
ffmpeg -v error -y -f lavfi -i "testsrc=size=1280x720:rate=30:duration=$seconds" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" \
    -c:v libx264 -preset ultrafast -crf 18 -pix_fmt yuv420p -c:a flac -ac 2 "$clip"

# The peers: ffmpeg with the codec parameters of each preset.
x264_block_a=(-crf 24 -refs 1 -coder 0 -me_range 16 -subq 5
              -partitions +parti4x4+parti8x8+partp8x8 -g 250 -keyint_min 25 -level 30
              -qmin 10 -qmax 51 -trellis 2 -sc_threshold 40 -i_qfactor 0.71)
peer_mp4_3=(-c:v libx264 -s 640x420 -r 30 -b:v 640000 "${x264_block_a[@]}"
            -c:a aac -ac 2 -ar 44100 -b:a 128000)
peer_avi_3=(-c:v mpeg4 -vtag XVID -b:v 1500000 -c:a libmp3lame -ac 2 -ar 44100 -b:a 192000)
peer_mp3_2=(-vn -c:a libmp3lame -ac 2 -ar 48000 -b:a 256000)

# Runs a command under /usr/bin/time -v; prints "wall-seconds kilobytes cpu-seconds".
measure() {
    local log=$work/time.log
    if ! /usr/bin/time -v -o "$log" "$@" >"$work/run.out" 2>"$work/run.err"; then
        echo "convert.sh: failed: $*" >&2
        tail -5 "$work/run.err" "$work/run.out" >&2
        exit 1
    fi
    awk -F': ' '/Elapsed \(wall clock\)/ {
                    n = split($2, p, ":"); s = 0
                    for (i = 1; i <= n; i++) s = s * 60 + p[i]
                    wall = s }
                /Maximum resident set size/ { rss = $2 }
                /User time \(seconds\)|System time \(seconds\)/ { cpu += $2 }
                END { printf "%.2f %d %.2f\n", wall, rss, cpu }' "$log"
}

run_case() {
    local name=$1 class=$2 format=$3 preset=$4 ext=$5; shift 5
    local ours_wall=0 ours_rss=0 peer_wall=0 peer_rss=0 ours_cpu=0 peer_cpu=0
    for ((r = 0; r < rounds; r++)); do
        rm -rf "$work/ours" "$work/peer.$ext"
        read -r w m c < <(measure "$cli" convert --class "$class" --format "$format" --preset "$preset" \
                                  --out "$work/ours" "$clip")
        ours_wall=$(awk -v a="$ours_wall" -v b="$w" 'BEGIN { print a + b }')
        ours_cpu=$(awk -v a="$ours_cpu" -v b="$c" 'BEGIN { print a + b }')
        (( m > ours_rss )) && ours_rss=$m
        read -r w m c < <(measure ffmpeg -nostdin -v error -y -threads 0 -i "$clip" -threads 0 "$@" "$work/peer.$ext")
        peer_wall=$(awk -v a="$peer_wall" -v b="$w" 'BEGIN { print a + b }')
        peer_cpu=$(awk -v a="$peer_cpu" -v b="$c" 'BEGIN { print a + b }')
        (( m > peer_rss )) && peer_rss=$m
    done
    # CPU time is printed too: on a busy machine it tells more than the
    # wall time whether the two did the same work.
    awk -v n="$name" -v ow="$ours_wall" -v pw="$peer_wall" -v om="$ours_rss" -v pm="$peer_rss" -v r="$rounds" \
        -v oc="$ours_cpu" -v pc="$peer_cpu" \
        'BEGIN { printf "%-8s quillor %7.2fs %7d kB | ffmpeg %7.2fs %7d kB | wall ratio %.3f %s | memory ratio %.2f | cpu ratio %.3f\n",
                 n, ow / r, om, pw / r, pm, (pw > 0 ? ow / pw : 0), (pw > 0 && ow / pw <= 1.05 ? "ok" : "OVER"),
                 (pm > 0 ? om / pm : 0), (pc > 0 ? oc / pc : 0) }'
}

echo "clip: ${seconds}s 1280x720 30 fps, stereo 48 kHz; rounds: $rounds; cores: $(nproc); load: $(cut -d' ' -f1-3 /proc/loadavg)"
run_case "MP4 3" video MP4 3 mp4 "${peer_mp4_3[@]}"
run_case "AVI 3" video AVI 3 avi "${peer_avi_3[@]}"
run_case "MP3 2" audio MP3 2 mp3 "${peer_mp3_2[@]}"
