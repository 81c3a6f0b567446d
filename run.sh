#!/usr/bin/env bash
# Installs what is missing, builds incrementally and starts the product. With arguments it runs
# mirelo-cli with them instead of the desktop program.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here"

./scripts/install-deps.sh >&2
build="$here/build"
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIRELO_TESTS=OFF -DMIRELO_BENCH=OFF >&2
fi
if ! cmake --build "$build" -j"$(nproc)" >"$build/build.log" 2>&1; then
  cat "$build/build.log" >&2
  echo "run.sh: the build failed (log: $build/build.log)" >&2
  exit 1
fi

app="$build/app"
if (($# > 0)); then
  exec "$app/mirelo-cli" "$@"
fi
if [[ ! -x "$app/mirelo-video-converter" ]]; then
  exec "$app/mirelo-cli" --help
fi
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  cat >&2 <<'MSG'
run.sh: no desktop display found (neither DISPLAY nor WAYLAND_DISPLAY is set).
Start ./run.sh from a terminal inside your desktop session to open Mirelo Video Converter,
or give mirelo-cli arguments to work without a window, for example: ./run.sh --help
MSG
  exit 2
fi
exec "$app/mirelo-video-converter"
