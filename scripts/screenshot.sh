#!/usr/bin/env bash
# Pictures of the desktop program's windows for the README and the docs:
# - docs/screenshot.png: the main window of the running program, started on a private Xvfb display
#   from a copy of the application folder (the real settings.dat stays untouched) and grabbed with
#   FFmpeg's x11grab;
# - docs/screenshot-<window>.png: every window (main, main-running, settings, about, clip-editor,
#   capture, capture-camera, import, import-preview) as it opens on a 1024x700 screen, rendered by
#   the layout test program (built with the tests).
#
#   scripts/screenshot.sh [BUILD_DIR] [OUTPUT_PNG]     (defaults: build, docs/screenshot.png)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
out="$(realpath -m "${2:-$root/docs/screenshot.png}")"
docs="$(dirname "$out")"
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
rm -f "$work/app/window.dat"
# Show a chosen profile, as a user returning to the program would see it.
printf '[set]\nprofile=18\n' >"$work/app/settings.dat"
mkdir -p "$docs"

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

# Every window, through the layout test program: it opens each one and saves what it shows.
layout="$app/test_app_layout"
if [[ ! -x "$layout" ]]; then
  echo "screenshot: $layout not found; build the tests for the other windows' pictures" >&2
  exit 1
fi
printf '{ "screens": [ { "name": "docs", "x": 0, "y": 0, "width": 1024, "height": 700, "logicalDpi": 96, "logicalBaseDpi": 96 } ] }\n' \
  >"$work/screen.json"
if ! QT_QPA_PLATFORM="offscreen:configfile=$work/screen.json" MIRELO_SCREENSHOT_DIR="$docs" \
  "$layout" --gtest_filter='Windows/WindowLayout.*' >"$work/layout.log" 2>&1; then
  echo "screenshot: a window does not fit (pictures written all the same):" >&2
  grep -E '^\[  FAILED|needs|overlaps|outside|leaves' "$work/layout.log" >&2 || cat "$work/layout.log" >&2
fi
for picture in "$docs"/screenshot-*.png; do
  echo "screenshot: wrote $picture"
done
