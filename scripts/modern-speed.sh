#!/usr/bin/env bash
# Encode speed, output size and picture quality (SSIM against the source) of the profiles after
# row 92, next to row 86 (H.264 at a fixed bitrate, set to the source's 1280x720 at 2500 kb/s),
# for one 20-second 1280x720 clip with sound. Prints a Markdown table. For releases, not for CI.
#
# Usage: scripts/modern-speed.sh [MIRELO_CLI] [WORK_FOLDER]
set -euo pipefail

cli=${1:-build/app/mirelo-cli}
work=${2:-$(mktemp -d -t mirelo-modern-speed.XXXXXX)}
[ -x "$cli" ] || { echo "modern-speed: $cli is not an executable mirelo-cli" >&2; exit 2; }
cli=$(realpath "$cli")
mkdir -p "$work"
source="$work/camera.mp4"
seconds=20

# A camera-like source: moving pictures with sensor noise, stored at a high quality.
if [ ! -s "$source" ]; then
  ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=s=1280x720:r=30:d=$seconds,noise=alls=6:allf=t" \
    -f lavfi -i "sine=f=440:r=48000:d=$seconds" -ac 2 -c:v libx264 -preset fast -crf 14 \
    -pix_fmt yuv420p -c:a aac -b:a 192k "$source"
fi

ssim() {
  ffmpeg -nostdin -i "$1" -i "$source" \
    -lavfi "[0:v]scale=1280:720,format=yuv420p[a];[1:v]format=yuv420p[b];[a][b]ssim" -f null - 2>&1 |
    sed -n 's/.*SSIM.* All:\([0-9.]*\).*/\1/p' | tail -1
}

row86=(--set "Video Options/Video Size=1280x720" --set "Video Options/Video Bitrate=2500"
  --set "Video Options/Video Framerate=30")

echo "| Row | Profile | Seconds | Speed | Size (bytes) | SSIM |"
echo "|---|---|---|---|---|---|"
"$cli" profiles --json | python3 -c '
import json, sys
for p in json.load(sys.stdin):
    pos = p["position"]
    if p["kind"] == "profile" and (pos == 86 or pos > 92) and not any(
            hw in p["text"] for hw in ("VAAPI", "NVENC", "QSV")):
        print(pos, p["text"], sep="\t")' |
  while IFS=$'\t' read -r position name; do
    out="$work/$position"
    rm -rf "$out" && mkdir -p "$out"
    extra=()
    [ "$position" = 86 ] && extra=("${row86[@]}")
    start=$(date +%s.%N)
    if ! "$cli" convert "$source" --profile "$position" --output-folder "$out" "${extra[@]}" \
      >"$work/$position.log" 2>&1; then
      echo "| $position | $name | failed, see $work/$position.log | | | |"
      continue
    fi
    end=$(date +%s.%N)
    file=$(find "$out" -maxdepth 1 -type f | head -1)
    wall=$(python3 -c "print(f'{$end - $start:.1f}')")
    speed=$(python3 -c "print(f'{$seconds / ($end - $start):.2f}x')")
    quality=$(ffprobe -v error -select_streams v -show_entries stream=codec_type -of csv=p=0 \
      "$file" | grep -q video && ssim "$file" || echo "-")
    echo "| $position | $name | $wall | $speed | $(stat -c %s "$file") | ${quality:--} |"
  done
