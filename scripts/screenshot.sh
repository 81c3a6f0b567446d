#!/usr/bin/env bash
# Captures the main window for the README. Starts the desktop program on a private Xvfb display
# from a copy of the application folder (the real settings.dat stays untouched), waits for its
# window and grabs it with FFmpeg's x11grab.
#
#   scripts/screenshot.sh [BUILD_DIR] [OUTPUT_PNG]     (defaults: build, docs/screenshot.png)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
out="$(realpath -m "${2:-$root/docs/screenshot.png}")"
app="$build/app"
title="Mirelo Video Converter 3.50"

if [[ ! -x "$app/mirelo-video-converter" ]]; then
  echo "screenshot: $app/mirelo-video-converter not found; build first (./run.sh builds into build/)" >&2
  exit 1
fi
for tool in xvfb-run xwininfo ffmpeg; do
  command -v "$tool" >/dev/null || { echo "screenshot: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp -r "$app" "$work/app"
# Show a chosen profile, as a user returning to the program would see it.
printf '[set]\nprofile=18\n' >"$work/app/settings.dat"
mkdir -p "$(dirname "$out")"

cat >"$work/capture.sh" <<'INNER'
#!/usr/bin/env bash
set -euo pipefail
work="$1"; out="$2"; title="$3"
"$work/app/mirelo-video-converter" >"$work/program.log" 2>&1 &
program=$!
trap 'kill "$program" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  xwininfo -name "$title" >"$work/window.txt" 2>/dev/null && break
  sleep 0.1
done
if ! grep -q 'Width:' "$work/window.txt" 2>/dev/null; then
  echo "screenshot: the window \"$title\" did not appear; program output:" >&2
  cat "$work/program.log" >&2
  exit 1
fi
sleep 1.5 # let the first paint and the icons settle
read -r x y w h < <(awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
  /Width:/{w=$NF} /Height:/{h=$NF} END{print x, y, w, h}' "$work/window.txt")
ffmpeg -loglevel error -y -f x11grab -draw_mouse 0 -video_size "${w}x${h}" -i "$DISPLAY.0+$x,$y" \
  -frames:v 1 "$out"
INNER
chmod +x "$work/capture.sh"

xvfb-run -a -s "-screen 0 1400x1000x24 -nolisten tcp" "$work/capture.sh" "$work" "$out" "$title"
echo "screenshot: wrote $out"
