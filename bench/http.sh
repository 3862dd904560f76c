#!/usr/bin/env bash
# Throughput of TWinHTTP against the curl command line, both fetching the
# same 200 MB body from a loopback server in the same run.
#
#   bash bench/http.sh [BUILD_DIR]     (default: build)
#
# Two comparisons, best of five runs each:
#   body kept:     TWinHTTP into memory (what the download does) against
#                  curl writing the body to a file in /dev/shm (memory too);
#   transfer only: both writing to /dev/null.
# Prints the ratios of TWinHTTP's throughput to curl's (goal: 0.9 or more)
# and TWinHTTP's peak memory.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
bench=$build/bin/http_bench
[ -x "$bench" ] || { echo "http_bench not built: cmake --build $build --target http_bench" >&2; exit 2; }
command -v curl >/dev/null || { echo "curl command not found" >&2; exit 2; }

work=$(mktemp -d)
coproc SERVER { exec python3 "$here/http_server.py" "$work/body.bin"; }
cleanup() {
    exec {SERVER[1]}>&- 2>/dev/null || true
    wait "$SERVER_PID" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

head -c $((200 * 1024 * 1024)) /dev/urandom > "$work/body.bin"
read -r _ port <&"${SERVER[0]}"
url="http://127.0.0.1:$port/body"
size=$(stat -c %s "$work/body.bin")
runs=5
shm=$(mktemp -p /dev/shm quillor-bench.XXXXXX 2>/dev/null || echo "$work/curl.bin")

results=""
for i in $(seq $runs); do
    curl_kept=$(curl -s --noproxy '*' -o "$shm" -w '%{time_total}' "$url"); rm -f "$shm"
    curl_null=$(curl -s --noproxy '*' -o /dev/null -w '%{time_total}' "$url")
    ours_kept=$(env -u http_proxy -u HTTP_PROXY "$bench" "$url")
    ours_null=$(env -u http_proxy -u HTTP_PROXY "$bench" "$url" --file /dev/null)
    echo "run $i: curl kept ${curl_kept}s, null ${curl_null}s; TWinHTTP kept: $ours_kept; null: $ours_null"
    results+="$curl_kept $curl_null $(sed -n 's/.*seconds=\([0-9.]*\).*peak_rss_kb=\([0-9]*\).*/\1 \2/p' <<<"$ours_kept") $(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' <<<"$ours_null")"$'\n'
done
rm -f "$shm"

awk -v size="$size" -v runs="$runs" '
    function min(a, b) { return a == "" || b < a ? b : a }
    NF == 5 {
        ck = min(ck, $1); cn = min(cn, $2); ok = min(ok, $3); on = min(on, $5)
        if ($4 > peak) peak = $4
    }
    END {
        mb = size / 1048576
        printf "body: %d MB, best of %d runs\n", mb, runs
        printf "body kept:     curl %.3fs (%.0f MB/s), TWinHTTP %.3fs (%.0f MB/s), ratio %.2f\n", ck, mb / ck, ok, mb / ok, ck / ok
        printf "transfer only: curl %.3fs (%.0f MB/s), TWinHTTP %.3fs (%.0f MB/s), ratio %.2f\n", cn, mb / cn, on, mb / on, cn / on
        printf "goal: ratio 0.9 or more\n"
        printf "TWinHTTP peak memory: %d MB for a %d MB body held in memory\n", peak / 1024, mb
    }' <<<"$results"
