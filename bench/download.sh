#!/usr/bin/env bash
# A 1 GB video through `quillor-cli download`, against the curl command line
# doing the same fetches (watch page, information document, the stream into
# a file in the same folder) in the same run, from the loopback stand-in of
# the video service (tests/download/video_service_sim.py) as HTTP proxy.
#
#   bash bench/download.sh [BUILD_DIR]     (default: build)
#
# Prints quillor-cli's peak memory (goal: under 100 MB, the body being
# 1 GB) and the throughput ratio to curl (best of three runs each). Both
# sides include the program's 1.5 s pause after the stream script: curl
# sleeps as long between the information document and the stream.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
cli=$build/bin/quillor-cli
sim=$here/../tests/download/video_service_sim.py
[ -x "$cli" ] || { echo "quillor-cli not built: cmake --build $build --target quillor-cli" >&2; exit 2; }
command -v curl >/dev/null || { echo "curl command not found" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time not found (Debian package time)" >&2; exit 2; }

size=$((1024 * 1024 * 1024))
work=$(mktemp -d)
printf '{"videos": {"big": {"title": "Big", "streams": {"18": %d}}}}\n' "$size" > "$work/service.json"
coproc SERVER { exec python3 "$sim" "$work/service.json"; }
cleanup() {
    exec {SERVER[1]}>&- 2>/dev/null || true
    wait "$SERVER_PID" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
read -r _ port <&"${SERVER[0]}"
export http_proxy=http://127.0.0.1:$port
unset no_proxy NO_PROXY HTTP_PROXY
export XDG_CONFIG_HOME=$work/config   # the default quality order

runs=3
best_cli="" best_curl="" peak=0
for i in $(seq $runs); do
    rm -rf "$work/out"; mkdir -p "$work/out"
    /usr/bin/time -f '%e %M' -o "$work/time.txt" "$cli" download --out "$work/out" \
        "http://www.youtube.com/watch?v=big" > "$work/cli.txt"
    read -r t_cli rss_kb < "$work/time.txt"
    saved=$(stat -c %s "$work/out/Big.mp4")
    [ "$saved" = "$size" ] || { echo "saved file has $saved bytes, expected $size" >&2; exit 1; }

    rm -rf "$work/out"; mkdir -p "$work/out"
    start=$(date +%s.%N)
    curl -s -o /dev/null "http://www.youtube.com/watch?v=big"
    curl -s -o /dev/null "http://youtube.com/get_video_info?video_id=big"
    sleep 1.5
    curl -s -o "$work/out/Big.mp4" \
        "http://r1.video.youtube.com/videoplayback?id=big&itag=18&signature=SIG18"
    t_curl=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')
    echo "run $i: quillor-cli ${t_cli}s, peak ${rss_kb} KB; curl ${t_curl}s"
    best_cli=$(echo "$t_cli" "$best_cli" | awk '{print ($2 == "" || $1 < $2) ? $1 : $2}')
    best_curl=$(echo "$t_curl" "$best_curl" | awk '{print ($2 == "" || $1 < $2) ? $1 : $2}')
    [ "$rss_kb" -gt "$peak" ] && peak=$rss_kb
done

awk -v size="$size" -v c="$best_cli" -v p="$best_curl" -v peak="$peak" 'BEGIN {
    mb = size / 1048576
    printf "stream: %d MB, best of 3 runs\n", mb
    printf "quillor-cli %.2fs (%.0f MB/s), curl %.2fs (%.0f MB/s), ratio %.2f\n", c, mb / c, p, mb / p, p / c
    printf "quillor-cli peak memory: %.0f MB (goal: under 100 MB)\n", peak / 1024
}'
