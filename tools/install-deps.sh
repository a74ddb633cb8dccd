#!/bin/sh
# Installs the Debian packages the build, the tests and the program need, by
# names that Debian 12 and 13 share (clang and libclang-rt-dev are those of
# the release's own clang, which tools/fuzz.sh uses).
# Quick when everything is in place: apt is only touched for missing packages.
#
#   tools/install-deps.sh         what make run and make test need
#   tools/install-deps.sh --arm   what the Arm check (tools/check-arm.sh) needs
#                                 on an x86 machine: the arm64 cross compiler,
#                                 qemu-user, and Highway for arm64 through
#                                 multiarch (bringing libc6:arm64 and
#                                 libstdc++6:arm64, which the checker runs with)
set -e
if [ "$1" = --arm ]; then
  PACKAGES="cmake make g++-aarch64-linux-gnu binutils-aarch64-linux-gnu qemu-user libhwy-dev:arm64"
else
  PACKAGES="cmake make g++ clang libclang-rt-dev binutils python3 pkg-config dpkg-dev file
qt6-base-dev qt6-translations-l10n libhwy-dev libbenchmark-dev
fonts-ipafont-gothic fonts-liberation
xvfb xauth xdotool xclip x11-apps imagemagick openbox locales
weston qt6-wayland at-spi2-core gir1.2-atspi-2.0 python3-gi dbus-daemon libglib2.0-bin wl-clipboard"
  # The tests run again under these, where "," is the decimal point.
  LOCALES="de_DE fr_FR"
fi

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
missing_locales=""
for l in $LOCALES; do
  locale -a 2>/dev/null | grep -qx "$l.utf8" || missing_locales="$missing_locales $l"
done
[ -z "$missing" ] && [ -z "$missing_locales" ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
if [ "$1" = --arm ] && ! dpkg --print-foreign-architectures | grep -qx arm64; then
  $SUDO dpkg --add-architecture arm64
fi
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  $SUDO apt-get update
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
fi
for l in $missing_locales; do
  echo "Generating locale $l.UTF-8"
  $SUDO localedef -i "$l" -f UTF-8 "$l.UTF-8"
done
