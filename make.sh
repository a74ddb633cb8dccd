#!/bin/sh
# The set-up commands of a fresh Debian 12 or 13 machine, which may lack even make:
#
#   ./make.sh run    install what is missing, build, start the program
#   ./make.sh test   install what is missing, build, pass every test
#
# Any other make target works the same way. Run as root, or as a user who may
# use sudo. Where make is missing it is installed first (after apt-get update
# when apt knows no package yet, as in a new container); the Makefile then
# installs the rest (tools/install-deps.sh) and does the work.
set -e
cd "$(dirname "$0")"

if ! command -v make >/dev/null 2>&1; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "make.sh: make is missing and installing it needs root: run this as root or install sudo" >&2
      exit 1
    fi
    SUDO=sudo
  fi
  if ! apt-cache show make >/dev/null 2>&1; then
    echo "make.sh: no package lists yet: apt-get update"
    $SUDO apt-get update
  fi
  echo "make.sh: installing make"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends make
fi
exec make "$@"
