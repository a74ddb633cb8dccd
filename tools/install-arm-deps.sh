#!/bin/sh
# Installs what tools/check-arm.sh needs on a Debian 12 x86 machine: the arm64
# cross compiler and binutils, qemu-user, and Highway for arm64 through
# multiarch (libhwy-dev:arm64, which brings libc6:arm64 and libstdc++6:arm64,
# the libraries the checker runs with under qemu). Quick when all is in place.
set -e
PACKAGES="g++-aarch64-linux-gnu binutils-aarch64-linux-gnu qemu-user libhwy-dev:arm64 cmake make"

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  $SUDO dpkg --add-architecture arm64
fi
echo "Installing:$missing"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
