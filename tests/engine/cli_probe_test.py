#!/usr/bin/env python3
"""quillor-cli probe as a user runs it: values agree with ffprobe, a file
that cannot be opened gives the probe's error and a non-zero exit code, and
the files around it are still probed."""
import json
import os
import subprocess
import sys
import tempfile

CLI = sys.argv[1]


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", *args], check=True)


def ffprobe(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-show_format", "-show_streams", "-of", "json", path],
                         check=True, capture_output=True, text=True).stdout
    return json.loads(out)


def parse(stdout):
    blocks = [b for b in stdout.strip().split("\n\n") if b]
    return [dict(line.split("=", 1) for line in b.splitlines()) for b in blocks]


def main():
    failures = []

    def check(what, got, expected):
        if str(got) != str(expected):
            failures.append(f"{what}: got {got!r}, expected {expected!r}")

    with tempfile.TemporaryDirectory() as tmp:
        video = os.path.join(tmp, "Клип видео.mp4")
        audio = os.path.join(tmp, "tone.mp3")
        broken = os.path.join(tmp, "broken.mp4")
        ffmpeg("-f", "lavfi", "-i", "testsrc=s=320x180:r=25:d=3", "-f", "lavfi", "-i", "sine=d=3",
               "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", video)
        ffmpeg("-f", "lavfi", "-i", "sine=f=300:sample_rate=22050:d=1", "-c:a", "libmp3lame", audio)
        with open(broken, "wb") as f:
            f.write(b"\x00\x00\x00\x18ftypmp42 but nothing after it")

        env = dict(os.environ, LC_ALL="C")  # names the locale cannot carry must still open
        run = subprocess.run([CLI, "probe", "--thumbnails", video, broken, audio],
                             capture_output=True, text=True, env=env, timeout=60)
        check("exit code", run.returncode, 1)
        if broken + ": " not in run.stderr:
            failures.append(f"stderr lacks the probe's error for the broken file: {run.stderr!r}")
        blocks = parse(run.stdout)
        check("probed files", [b.get("file") for b in blocks], [video, audio])

        for block, path in zip(blocks, [video, audio]):
            ref = ffprobe(path)
            fmt = ref["format"]
            check(f"{path} duration_us", block["duration_us"], round(float(fmt["duration"]) * 1e6))
            check(f"{path} size", block["size"], fmt["size"])
            check(f"{path} bit_rate", block["bit_rate"], fmt["bit_rate"])
            check(f"{path} streams", block["streams"], fmt["nb_streams"])
            v = [s for s in ref["streams"] if s["codec_type"] == "video"]
            a = [s for s in ref["streams"] if s["codec_type"] == "audio"]
            check(f"{path} video_streams", block["video_streams"], len(v))
            check(f"{path} audio_streams", block["audio_streams"], len(a))
            if v:
                check(f"{path} width", block["video.width"], v[0]["width"])
                check(f"{path} height", block["video.height"], v[0]["height"])
                check(f"{path} video bit_rate", block["video.bit_rate"], v[0]["bit_rate"])
                n, d = v[0]["display_aspect_ratio"].split(":")
                check(f"{path} dar", block["video.display_aspect_ratio"], f"{int(n) / int(d):.4f}")
                check(f"{path} thumbnail", block["thumbnail"], f'{v[0]["width"]}x{v[0]["height"]}')
                if not block["video.codec"].startswith(v[0]["codec_name"]):
                    failures.append(f"{path} video codec {block['video.codec']!r}")
            else:
                check(f"{path} thumbnail", block["thumbnail"], "none")
                check(f"{path} width", block["video.width"], -1)
            check(f"{path} sample_rate", block["audio.sample_rate"], a[0]["sample_rate"])
            check(f"{path} channels", block["audio.channels"], a[0]["channels"])
            check(f"{path} audio bit_rate", block["audio.bit_rate"], a[0]["bit_rate"])

        usage = subprocess.run([CLI, "probe"], capture_output=True, text=True)
        check("exit code without files", usage.returncode, 2)

    for f in failures:
        print("FAIL:", f)
    print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
