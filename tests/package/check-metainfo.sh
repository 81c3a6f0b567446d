#!/usr/bin/env bash
# The software centre's metadata and the menu entry validate, and they agree on the id and the
# media types. Exit 77 (skipped) where appstreamcli is missing.
#   check-metainfo.sh SOURCE_DIR
set -euo pipefail
desktop_dir="$1/resources/desktop"
id=org.mirelo.videoconverter
command -v appstreamcli >/dev/null || { echo "skipped: appstreamcli is not installed"; exit 77; }
appstreamcli validate --no-net "$desktop_dir/$id.metainfo.xml"
desktop-file-validate "$desktop_dir/$id.desktop"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$desktop_dir/$id.metainfo.xml"
# Every media type the menu entry opens is one the metadata says the program provides.
types=$(sed -n 's/^MimeType=//p' "$desktop_dir/$id.desktop" | tr ';' '\n' | grep -v '^$')
[[ -n "$types" ]] || { echo "FAIL: the menu entry names no MimeType"; exit 1; }
for t in $types; do
  grep -q "<mediatype>$t</mediatype>" "$desktop_dir/$id.metainfo.xml" ||
    { echo "FAIL: $t is in the menu entry but not in the metadata"; exit 1; }
done
echo "metadata and menu entry agree on $(wc -w <<<"$types") media types"
