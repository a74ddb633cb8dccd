#!/bin/sh
# Runs a command in a fresh Debian of a given release, as a new user of that
# release would start: a new minbase root made by debootstrap, this
# repository's committed HEAD cloned into /root/quilfen there, and the command
# run from that folder as root.
#
#   tools/try-debian.sh [--keep] [--share DIR] RELEASE 'COMMAND'
#
#   RELEASE    a release's code name (bookworm, trixie, forky, sid, ...), or
#              "other": the Debian release this machine does not run (trixie
#              on Debian 12, bookworm on Debian 13), what make check-debian
#              tries
#   --keep     leave the root in place afterwards (its path is printed)
#   --share DIR  make the folder DIR of this machine /share in the root, to
#              bring files in or out (a package built in one root, installed
#              in another)
#
# Run as root (debootstrap and the mounts need it); debootstrap is installed
# when missing. The mirror is the one this machine's apt uses (its
# sources.list or deb822 .sources files); DEBIAN_MIRROR overrides it. The
# command runs in a private mount and process namespace: the root gets its
# own /proc, /dev and /sys, and becomes / through pivot_root. Its mounts
# vanish with the namespace when the command ends, whatever its end, and the
# processes it left behind end with it. The exit status is the command's.
#
# A release that this machine's debootstrap has no script for (testing's new
# code name) is made with the script for sid. Where the archive's Release
# file has passed its Valid-Until date (as testing's can on a mirror), apt in
# that root alone is told not to check the date.
set -eu
# Where the machine's own files are read from (other places in the tests).
etc=${TRY_DEBIAN_ETC:-/etc}

usage() {
  sed -n '7,8p' "$0" | sed 's/^# *//' >&2
  exit 2
}

keep=no
share=""
while [ $# -gt 0 ]; do
  case $1 in
    --keep) keep=yes; shift ;;
    --share) [ $# -ge 2 ] || usage; share=$(readlink -f "$2"); shift 2
             [ -d "$share" ] || { echo "try-debian: no folder $share" >&2; exit 2; } ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ $# -eq 2 ] && [ -n "$1" ] && [ -n "$2" ] || usage
release=$1
command=$2

os_field() {
  sed -n "s/^$1=\"\{0,1\}\([^\"]*\)\"\{0,1\}\$/\1/p" "$etc/os-release" 2>/dev/null | head -n 1
}

if [ "$release" = other ]; then
  case $(os_field VERSION_ID) in
    12) release=trixie ;;
    13) release=bookworm ;;
    *) echo "try-debian: this machine runs neither Debian 12 nor 13 ($(os_field PRETTY_NAME)): name the release" >&2
       exit 2 ;;
  esac
fi
case $release in
  *[!a-z0-9-]*) echo "try-debian: not a release name: $release" >&2; exit 2 ;;
esac

# The archive this machine's apt uses: the URI of a deb source whose suites
# include the machine's own release (so not a security or third-party
# archive), else of the first deb source.
mirror() {
  codename=$(os_field VERSION_CODENAME)
  {
    [ -f "$etc/apt/sources.list" ] && cat "$etc/apt/sources.list"
    for f in "$etc"/apt/sources.list.d/*.list; do [ -f "$f" ] && cat "$f"; done
  } | awk '$1 == "deb" {
             i = 2
             if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
             print $(i), $(i + 1)
           }'
  for f in "$etc"/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # One line per stanza of type deb that is not disabled: URI, suites.
    awk 'function flush() {
           if (deb && enabled && uri != "") { n = split(uri, u, " "); for (j = 1; j <= n; j++) print u[j], suites }
           deb = 0; enabled = 1; uri = ""; suites = ""
         }
         BEGIN { flush() }
         /^[ \t]*$/ { flush(); next }
         /^#/ { next }
         tolower($1) == "types:" { for (j = 2; j <= NF; j++) if ($j == "deb") deb = 1 }
         tolower($1) == "enabled:" { enabled = tolower($2) != "no" }
         tolower($1) == "uris:" { $1 = ""; uri = $0 }
         tolower($1) == "suites:" { $1 = ""; suites = $0 }
         END { flush() }' "$f"
  done
} 2>/dev/null
if [ -n "${DEBIAN_MIRROR:-}" ]; then
  mirror=$DEBIAN_MIRROR
else
  codename=$(os_field VERSION_CODENAME)
  sources=$(mirror)
  mirror=$(echo "$sources" | awk -v c="$codename" '{ for (j = 2; j <= NF; j++) if ($j == c) { print $1; exit } }')
  [ -n "$mirror" ] || mirror=$(echo "$sources" | awk 'NF { print $1; exit }')
fi
case $mirror in
  http://*|https://*|file:/*) ;;
  *) echo "try-debian: no http(s) or file mirror in this machine's apt sources; set DEBIAN_MIRROR" >&2
     exit 2 ;;
esac

[ "$(id -u)" -eq 0 ] || { echo "try-debian: run this as root (debootstrap and the mounts need it)" >&2; exit 1; }
repo=$(cd "$(dirname "$0")/.." && git rev-parse --show-toplevel)
head=$(git -C "$repo" rev-parse HEAD)

if ! command -v debootstrap >/dev/null 2>&1; then
  echo "try-debian: installing debootstrap"
  apt-cache show debootstrap >/dev/null 2>&1 || apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends debootstrap
fi

root=$(mktemp -d "${TMPDIR:-/var/tmp}/try-debian-$release.XXXXXX")
# A root folder others may enter, as / is (apt downloads as the user _apt).
chmod 755 "$root"
# The mounts live in the command's own namespace only; should one show here
# all the same, the root is left alone rather than removed through it.
finish() {
  status=$?
  if [ "$keep" = yes ]; then
    echo "try-debian: the root is kept in $root"
  elif grep -q " $root[/ ]" /proc/self/mountinfo; then
    echo "try-debian: something is still mounted under $root: left in place" >&2
    status=1
  else
    rm -rf --one-file-system "$root"
  fi
  exit "$status"
}
trap finish EXIT
trap 'exit 130' INT TERM HUP

# Testing's new code name has no script yet in an older debootstrap; it is
# made as sid is.
script=""
scripts=${DEBOOTSTRAP_DIR:-/usr/share/debootstrap}/scripts
[ -e "$scripts/$release" ] || script=$scripts/sid
echo "try-debian: debootstrap --variant=minbase $release from $mirror into $root"
# shellcheck disable=SC2086  # no script means no argument
debootstrap --variant=minbase "$release" "$root" "$mirror" $script >"$root.debootstrap.log" 2>&1 || {
  tail -n 20 "$root.debootstrap.log" >&2
  rm -f "$root.debootstrap.log"
  echo "try-debian: debootstrap failed" >&2
  exit 1
}
rm -f "$root.debootstrap.log"

# An archive whose Release file has passed its Valid-Until date makes apt
# refuse its lists; only this root is told to accept it.
now=$(date +%s)
for f in "$root"/var/lib/apt/lists/*Release; do
  [ -f "$f" ] || continue
  until=$(sed -n 's/^Valid-Until: *//p' "$f" | head -n 1)
  if [ -n "$until" ] && [ "$(date -d "$until" +%s)" -lt "$now" ]; then
    echo "try-debian: the archive's Release file expired ($until): apt in this root does not check that"
    echo 'Acquire::Check-Valid-Until "false";' >"$root/etc/apt/apt.conf.d/99try-debian-expired-release"
    break
  fi
done

git clone --quiet --no-checkout "$repo" "$root/root/quilfen"
git -C "$root/root/quilfen" checkout --quiet "$head"
echo "try-debian: $release with $(git -C "$repo" log -1 --format='%h %s' "$head")"
[ -z "$share" ] || mkdir -p "$root/share"

# In the new namespaces: the root becomes a mount point of its own, gets
# /proc (of the new process namespace), /dev and /sys, and becomes / through
# pivot_root; the old / is then detached, so that nothing of this machine is
# seen but /dev, /sys and the shared folder. The command runs with the plain
# environment of a root login (no locale set: the C locale).
inner='
set -e
root=$1 share=$2 command=$3
mount --bind "$root" "$root"
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount --rbind /sys "$root/sys"
[ -z "$share" ] || mount --bind "$share" "$root/share"
cd "$root"
mkdir -p .old-root
pivot_root . .old-root
cd /
exec /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  HOME=/root TERM="${TERM:-dumb}" /bin/sh -c "
umount -l /.old-root && rmdir /.old-root
cd /root/quilfen
$command"
'
echo "try-debian: running as root in /root/quilfen: $command"
started=$(date +%s)
set +e
unshare --mount --propagation private --pid --fork sh -c "$inner" try-debian "$root" "$share" "$command"
status=$?
set -e
echo "try-debian: '$command' on $release ended with status $status after $(( $(date +%s) - started )) s"
exit "$status"
