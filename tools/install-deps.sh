#!/bin/sh
# Installs the Debian 12 packages the build, the tests and the program need.
# Quick when everything is in place: apt is only touched for missing packages.
set -e
PACKAGES="cmake make g++ clang libclang-rt-14-dev binutils python3
qt6-base-dev qt6-translations-l10n libhwy-dev libbenchmark-dev
fonts-ipafont-gothic fonts-liberation
xvfb xauth xdotool xclip x11-apps imagemagick"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
