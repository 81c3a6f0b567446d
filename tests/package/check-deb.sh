#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks what a user's apt would see: the
# control fields and the file list. Exit 77 (skipped) where dpkg-deb or cpack is missing.
#   check-deb.sh BUILD_DIR
set -euo pipefail
build="$1"
for tool in dpkg-deb cpack dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
debs=("$work"/mirelo-video-converter_*.deb)
[[ -f "${debs[0]}" ]] || { echo "no package was made"; cat "$work/cpack.log"; exit 1; }
deb="${debs[0]}"

fail=0
expect() { # description, command...
  local what="$1"; shift
  if ! "$@"; then echo "FAIL: $what"; fail=1; fi
}
field() { dpkg-deb -f "$deb" "$1"; }
depends="$(field Depends)"
echo "Package: $(field Package) $(field Version) $(field Architecture), $(stat -c %s "$deb") bytes"
echo "Depends: $depends"
echo "Recommends: $(field Recommends)"

expect "package name" test "$(field Package)" = mirelo-video-converter
expect "version from the project" grep -q '^3\.50' <<<"$(field Version)"
expect "architecture of this machine" test "$(field Architecture)" = "$(dpkg --print-architecture)"
for dep in ffmpeg mplayer libqt6svg6 libqt6widgets6 libqt6network6 libqt6core6 libc6; do
  expect "Depends names $dep" grep -Eq "(^|, )$dep( |,|$)" <<<"$depends"
done
expect "Recommends yt-dlp" grep -q 'yt-dlp' <<<"$(field Recommends)"
expect "a description" test -n "$(field Description)"

dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/files"
for f in /usr/bin/mirelo-video-converter /usr/bin/mirelo-cli \
  /usr/share/applications/org.mirelo.videoconverter.desktop \
  /usr/share/metainfo/org.mirelo.videoconverter.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/mirelo-video-converter.svg \
  /usr/share/mirelo-video-converter/skins/frmmain.skn \
  /usr/share/mirelo-video-converter/help/index.html; do
  expect "the package holds $f" grep -qx "$f" "$work/files"
done
expect "everything lies under /usr" \
  test -z "$(grep -v -e '^/$' -e '^/usr/' -e '^/usr$' "$work/files" || true)"
dpkg-deb -e "$deb" "$work/control"
expect "no maintainer scripts" \
  test -z "$(ls "$work/control" | grep -E '^(pre|post)(inst|rm)$' || true)"
exit $fail
