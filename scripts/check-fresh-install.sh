#!/usr/bin/env bash
# Installs the Debian package into a fresh Debian 12 system made with debootstrap and checks what
# a user meets there: the menu entry, its icon and metadata, mirelo-cli --help, and the desktop
# program starting (offscreen) with a file given on its command line. Needs root and network
# access to a Debian mirror; not part of the test suite.
#   scripts/check-fresh-install.sh PACKAGE.deb [ROOT_DIR]
set -euo pipefail
deb="$(realpath "$1")"
root="${2:-$(mktemp -d /var/tmp/mirelo-fresh.XXXXXX)}"
mirror="${MIRROR:-http://deb.debian.org/debian}"

if [[ ! -x "$root/usr/bin/apt-get" ]]; then
  command -v debootstrap >/dev/null || apt-get install -y -qq debootstrap
  debootstrap --variant=minbase bookworm "$root" "$mirror"
fi
mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
trap 'umount "$root/proc" 2>/dev/null || true' EXIT
cp "$deb" "$root/tmp/"
name="$(basename "$deb")"

chroot "$root" /bin/bash -euo pipefail -c "
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends /tmp/$name >/dev/null
  echo \"installed: \$(dpkg-query -W -f='\${Package} \${Version}' mirelo-video-converter)\"
  test -f /usr/share/applications/org.mirelo.videoconverter.desktop
  grep -q '^Icon=mirelo-video-converter$' /usr/share/applications/org.mirelo.videoconverter.desktop
  test -f /usr/share/icons/hicolor/scalable/apps/mirelo-video-converter.svg
  test -f /usr/share/metainfo/org.mirelo.videoconverter.metainfo.xml
  mirelo-cli --help | head -1
  ffmpeg -loglevel error -f lavfi -i testsrc=size=160x120:rate=10 -t 1 -y /tmp/clip.avi
  cd /tmp
  set +e
  QT_QPA_PLATFORM=offscreen timeout 5 mirelo-video-converter /tmp/clip.avi 2>/dev/null
  rc=\$?
  set -e
  [[ \$rc -eq 124 ]] || { echo \"the desktop program ended with \$rc\"; exit 1; }
  echo 'the desktop program started and kept running with a file given to it'
"
echo "fresh install checked in $root"
