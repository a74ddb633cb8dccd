#!/bin/sh
# test_hostile_input's save-path rows inside a chroot whose root folder is no
# mount point, as on a machine set up with debootstrap: the rows that need a
# tiny tmpfs of their own skip with the reason, every other row runs and
# passes. The chroot is built in a private mount namespace from bind mounts
# of this machine's own folders, so nothing needs copying and nothing shows
# outside.
#
# usage: in_chroot.sh TEST_HOSTILE_INPUT
# exit status: 0 passed, 1 failed, 77 skipped (needs root, unshare and chroot)
program=$(readlink -f "$1")
if [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null || ! command -v chroot >/dev/null; then
  echo "SKIPPED: needs root, unshare and chroot"
  exit 77
fi
top=$(mktemp -d) || exit 1
export program top
unshare -m sh -c '
  mount --make-rprivate / 2>/dev/null || { echo "SKIPPED: no private mount namespace here"; exit 77; }
  set -e
  mount -t tmpfs tmpfs "$top"
  root=$top/root
  mkdir "$root"
  for entry in /*; do
    name=${entry#/}
    if [ -L "$entry" ]; then
      ln -s "$(readlink "$entry")" "$root/$name"
    elif [ -d "$entry" ] && [ "$name" != proc ]; then
      mkdir "$root/$name"
      mount --rbind "$entry" "$root/$name"
    fi
  done
  mkdir "$root/proc"
  mount -t proc proc "$root/proc"
  set +e
  out=$(chroot "$root" sh -c "cd \"$PWD\" && QT_QPA_PLATFORM=offscreen \"$program\" savePaths" 2>&1)
  status=$?
  echo "$out"
  fail() { echo "FAILED: $1"; exit 1; }
  [ "$status" -eq 0 ] || fail "test_hostile_input savePaths ended with status $status in the chroot"
  echo "$out" | grep -q "^SKIP .*/ is not a mount point" ||
    fail "no row skipped for want of a private mount namespace"
  echo "$out" | grep "^SKIP" | grep -qv "/ is not a mount point" && fail "a row skipped for another reason"
  echo "$out" | grep -q "^PASS .*savePaths(a named pipe is refused and stays)" ||
    fail "the rows that need no mount did not run"
  echo "PASSED: the tmpfs rows skipped with the reason, the others passed"
'
status=$?
rmdir "$top"
exit $status
