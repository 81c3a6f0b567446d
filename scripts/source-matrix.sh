#!/usr/bin/env bash
# Converts look-alikes of the files people have with every profile, through mirelo-cli and the
# installed encoder, and prints a table: one line per profile, one column per kind of source.
# For releases, not for CI: it runs every kind against every profile and takes a while.
#
# Usage: [KINDS="surround silent ..."] scripts/source-matrix.sh [MIRELO_CLI] [WORK_FOLDER]
#   MIRELO_CLI   default: build/app/mirelo-cli
#   WORK_FOLDER  kept afterwards, with each conversion's log; default: a new temporary folder
#
# Cells: OK; "no audio" or "no video" where the product refuses with its own message before the
# encoder runs (an audio profile given a silent file, a video profile given a song); FAIL for
# anything else, listed with the end of its log after the table. Exit status 1 when any cell
# is FAIL.
set -euo pipefail

cli=${1:-build/app/mirelo-cli}
work=${2:-$(mktemp -d -t mirelo-source-matrix.XXXXXX)}
[ -x "$cli" ] || { echo "source-matrix: $cli is not an executable mirelo-cli" >&2; exit 2; }
cli=$(realpath "$cli")
mkdir -p "$work/sources" "$work/out"

make_source() {
  local name=$1
  shift
  [ -s "$work/sources/$name" ] && return
  ffmpeg -v error -nostdin -y "$@" "$work/sources/$name" ||
    { echo "source-matrix: ffmpeg could not make $name" >&2; exit 2; }
}

lavfi() { printf '%s\n' -f lavfi -i "$1"; }

# Five seconds each: long enough for every container, short enough for 630 conversions.
make_source surround.mkv $(lavfi testsrc2=s=1920x1080:d=5:r=24) $(lavfi sine=d=5:r=48000) \
  -filter:a aformat=channel_layouts=5.1 -c:v libx265 -preset ultrafast \
  -x265-params log-level=error -pix_fmt yuv420p10le -c:a aac
make_source silent.mkv $(lavfi testsrc=s=1366x768:d=5:r=30) -c:v libvpx-vp9 -deadline realtime \
  -cpu-used 8
make_source song.mp3 $(lavfi sine=d=5) -c:a libmp3lame
make_source cover.mp3 $(lavfi sine=d=5) $(lavfi testsrc=s=600x600:d=1) -map 0 -map 1 \
  -c:a libmp3lame -c:v mjpeg -frames:v 1 -disposition:v attached_pic
make_source tracks.mkv $(lavfi testsrc=s=640x360:d=5:r=25) $(lavfi sine=d=5) \
  $(lavfi sine=d=5:f=880) -map 0 -map 1 -map 2 -c:v mpeg4 -c:a aac -ac:a:0 2 -ac:a:1 6 \
  -disposition:a:0 0 -disposition:a:1 default -metadata:s:a:0 title=Commentary
make_source plain-phone.mp4 $(lavfi testsrc2=s=1280x720:d=5:r=30) $(lavfi sine=d=5) \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac
make_source rotated.mp4 -i "$work/sources/plain-phone.mp4" -c copy -metadata:s:v:0 rotate=90
make_source odd.mkv $(lavfi testsrc=s=641x359:d=5:r=25) $(lavfi sine=d=5) -c:v ffv1 -c:a flac
make_source interlaced.mpg $(lavfi testsrc=s=720x576:d=5:r=25) $(lavfi sine=d=5:r=48000) \
  -c:v mpeg2video -flags +ilme+ildct -top 1 -c:a mp2
make_source vfr.webm \
  $(lavfi "testsrc=s=640x360:d=5:r=30,settb=1/1000,setpts=(N+0.5*floor(N/7))/30/TB") \
  $(lavfi sine=d=5:r=96000) -fps_mode vfr -c:v libvpx-vp9 -deadline realtime -cpu-used 8 \
  -c:a libopus

kinds=(surround silent song cover tracks rotated odd interlaced vfr)
files=(surround.mkv silent.mkv song.mp3 cover.mp3 tracks.mkv rotated.mp4 odd.mkv interlaced.mpg
  vfr.webm)
# KINDS="surround silent" limits the table to those sources.
if [ -n "${KINDS:-}" ]; then
  picked=() picked_files=()
  for i in "${!kinds[@]}"; do
    [[ " $KINDS " == *" ${kinds[$i]} "* ]] && picked+=("${kinds[$i]}") picked_files+=("${files[$i]}")
  done
  kinds=("${picked[@]}") files=("${picked_files[@]}")
fi

positions=$("$cli" profiles --json | python3 -c '
import json, sys
# The graphics-card rows run only where their trial encode works: the desktop program disables
# them elsewhere, so they are left out here.
hardware = ("VAAPI", "NVENC", "QSV")
print(" ".join(str(r["position"]) for r in json.load(sys.stdin)
               if r["kind"] == "profile" and not any(h in r["text"] for h in hardware)))')

printf '| profile |'
printf ' %s |' "${kinds[@]}"
printf '\n|---|'
printf -- '---|%.0s' "${kinds[@]}"
printf '\n'

failures=()
for p in $positions; do
  printf '| %s |' "$p"
  for i in "${!kinds[@]}"; do
    out="$work/out/$p-${kinds[$i]}"
    mkdir -p "$out"
    if "$cli" convert "$work/sources/${files[$i]}" --profile "$p" --output-folder "$out" \
      --existing overwrite --verbose >"$out/log" 2>&1; then
      cell=OK
    elif grep -q 'This file has no audio stream\.' "$out/log"; then
      cell='no audio'
    elif grep -q 'This file has no video stream\. Choose an audio profile\.' "$out/log"; then
      cell='no video'
    else
      cell=FAIL
      failures+=("$out/log")
    fi
    printf ' %s |' "$cell"
  done
  printf '\n'
done

echo
echo "Work folder: $work"
if [ ${#failures[@]} -eq 0 ]; then
  echo "No unexplained failure."
  exit 0
fi
echo "${#failures[@]} unexplained failures:"
for log in "${failures[@]}"; do
  echo "--- $log"
  tail -n 8 "$log"
done
exit 1
