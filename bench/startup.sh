#!/usr/bin/env bash
# Start-up time: from launching Quillor to the first page painted.
#
# Starts bin/quillor ROUNDS times with QUILLOR_BENCH_FIRST_PAINT set, which
# makes the window print "first-paint-ms=<ms since the process started>" at
# its first paint and quit. Runs under Xvfb when xvfb-run is there, else on
# the offscreen platform. The first round is a first start (no settings
# file yet); the others read the settings back. As a peer measured in the
# same run it starts `quillor-cli version`, which loads the same libraries
# but opens no window, so the difference is the window's own share.
# Goal: a median under 500 ms.
#
# usage: bench/startup.sh [BUILD_DIR]   (default: build)
# env:   BENCH_ROUNDS=7
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
program=$build/bin/quillor
cli=$build/bin/quillor-cli
rounds=${BENCH_ROUNDS:-7}
[ -x "$program" ] || { echo "startup.sh: build quillor first ($program)" >&2; exit 2; }
[ -x "$cli" ] || { echo "startup.sh: build quillor-cli first ($cli)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Settings and documents of a fresh user, never the real ones.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME/Documents"
export QUILLOR_SHUTDOWN_DRY_RUN=1 QUILLOR_BENCH_FIRST_PAINT=1

if command -v xvfb-run >/dev/null && [ -z "${DISPLAY:-}" ]; then
    launcher=(xvfb-run -a -s "-screen 0 1280x1024x24")
    platform=xvfb
elif [ -n "${DISPLAY:-}" ]; then
    launcher=()
    platform=display
else
    launcher=()
    export QT_QPA_PLATFORM=offscreen
    platform=offscreen
fi

now_ms() { date +%s%3N; }

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

paint=()
wall=()
peer=()
for ((i = 1; i <= rounds; i++)); do
    t0=$(now_ms)
    out=$(timeout 30 "${launcher[@]}" "$program" 2>"$work/stderr" || true)
    t1=$(now_ms)
    ms=$(printf '%s\n' "$out" | sed -n 's/^first-paint-ms=\([0-9]*\)$/\1/p' | head -n1)
    if [ -z "$ms" ]; then
        echo "startup.sh: round $i printed no first-paint time; its error output:" >&2
        cat "$work/stderr" >&2
        exit 1
    fi
    paint+=("$ms")
    wall+=($((t1 - t0)))

    t0=$(now_ms)
    "$cli" version >/dev/null
    t1=$(now_ms)
    peer+=($((t1 - t0)))
done

first=${paint[0]}
warm=$(printf '%s\n' "${paint[@]:1}" | median)
all=$(printf '%s\n' "${paint[@]}" | median)
wallmed=$(printf '%s\n' "${wall[@]}" | median)
peermed=$(printf '%s\n' "${peer[@]}" | median)

echo "platform:                     $platform, $rounds rounds"
echo "first start (no settings):    ${first} ms to first paint"
echo "later starts, median:         ${warm} ms to first paint"
echo "all rounds, median:           ${all} ms to first paint (wall incl. launcher: ${wallmed} ms)"
echo "peer quillor-cli version:     ${peermed} ms wall"
awk -v a="$all" -v p="$peermed" 'BEGIN { if (p > 0) printf "ratio first paint / peer:     %.2f\n", a / p }'
if awk -v a="$all" 'BEGIN { exit !(a < 500) }'; then
    echo "goal (< 500 ms):              met"
else
    echo "goal (< 500 ms):              NOT met"
    exit 1
fi
