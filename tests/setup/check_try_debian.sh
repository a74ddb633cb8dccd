#!/bin/sh
# tools/try-debian.sh's choices, with id, git, debootstrap and unshare
# replaced by stand-ins that write down how they were called: which release
# a machine of each kind gets, the mirror read from the machine's apt sources
# (one-line and deb822), the sid script for a release debootstrap has no
# script for, apt's date check turned off only for an expired archive, the
# command's status passed on, the root removed afterwards, and the refusals.
#
# usage: check_try_debian.sh TRY_DEBIAN_SH
# exit status: 0 passed, 1 failed
script=$(readlink -f "$1")
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
failures=0

bin=$work/bin
mkdir -p "$bin"
log=$work/calls
printf '#!/bin/sh\necho 0\n' >"$bin/id"
cat >"$bin/git" <<EOF
#!/bin/sh
case "\$*" in
  *rev-parse\ --show-toplevel*) echo /src/quilfen ;;
  *rev-parse\ HEAD*) echo 0123456789abcdef0123456789abcdef01234567 ;;
  clone*) for last; do :; done; mkdir -p "\$last" ;;
  *log*) echo "0123456 the commit" ;;
esac
exit 0
EOF
# The stand-in debootstrap leaves a Release file valid until $VALID_UNTIL.
cat >"$bin/debootstrap" <<EOF
#!/bin/sh
echo "debootstrap \$*" | sed "s|\$3|ROOT|" >>$log
mkdir -p "\$3/var/lib/apt/lists" "\$3/etc/apt/apt.conf.d" "\$3/root"
printf 'Suite: x\nValid-Until: %s\n' "\$VALID_UNTIL" >"\$3/var/lib/apt/lists/mirror_dists_x_InRelease"
EOF
# The stand-in unshare notes the command and whether apt's date check is off,
# and ends with status 3.
cat >"$bin/unshare" <<EOF
#!/bin/sh
for last; do :; done
root=\$(echo "\$@" | sed -n 's|.* try-debian \([^ ]*\) .*|\1|p')
off=no
[ -f "\$root/etc/apt/apt.conf.d/99try-debian-expired-release" ] && off=yes
echo "run '\$last' (date check off: \$off)" >>$log
exit 3
EOF
chmod +x "$bin"/*
mkdir -p "$work/debootstrap/scripts"
for r in bookworm trixie sid; do : >"$work/debootstrap/scripts/$r"; done

# machine NAME VERSION_ID CODENAME: an /etc with apt sources of each kind.
machine() {
  etc=$work/$1
  mkdir -p "$etc/apt/sources.list.d"
  printf 'PRETTY_NAME="Test %s"\nVERSION_ID="%s"\nVERSION_CODENAME=%s\n' "$2" "$2" "$3" >"$etc/os-release"
}
machine deb822 12 bookworm
cat >"$work/deb822/apt/sources.list.d/debian.sources" <<'EOF'
Types: deb
URIs: file:///srv/security
Suites: bookworm-security
Components: main

Types: deb-src
URIs: file:///srv/sources
Suites: bookworm

Types: deb
# The main archive.
URIs: file:///srv/debian
Suites: bookworm bookworm-updates
Components: main
EOF
cat >"$work/deb822/apt/sources.list.d/other.sources" <<'EOF'
Types: deb
URIs: file:///srv/third-party
Suites: bookworm
Enabled: no
EOF
machine oneline 13 trixie
cat >"$work/oneline/apt/sources.list" <<'EOF'
# deb file:///srv/old trixie main
deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg arch=amd64] file:///srv/security trixie-security main
deb [ signed-by=/usr/share/keyrings/debian-archive-keyring.gpg ] file:///srv/mirror/debian trixie main
EOF
machine other 24.04 noble
echo 'deb file:///srv/ubuntu noble main' >"$work/other/apt/sources.list"
machine nomirror 12 bookworm

# case NAME MACHINE VALID_UNTIL EXPECTED_STATUS EXPECTED_CALLS ARGUMENTS...
case_() {
  name=$1 etc=$work/$2 until=$3 status=$4 expected=$5
  shift 5
  : >"$log"
  mkdir -p "$work/tmp/$name"
  env -i PATH="$bin:/usr/bin:/bin" TRY_DEBIAN_ETC="$etc" DEBOOTSTRAP_DIR="$work/debootstrap" \
    TMPDIR="$work/tmp/$name" VALID_UNTIL="$until" ${mirror:+DEBIAN_MIRROR="$mirror"} \
    /bin/sh "$script" "$@" >"$work/output" 2>&1
  got=$?
  left=$(ls "$work/tmp/$name")
  if [ "$got" -ne "$status" ] || [ "$(cat "$log")" != "$expected" ] || [ -n "$left" ]; then
    echo "FAIL: $name: status $got (expected $status), calls:"
    sed 's/^/    /' "$log"
    echo "  expected:"
    echo "$expected" | sed 's/^/    /'
    [ -z "$left" ] || echo "  left behind: $left"
    echo "  output:"
    sed 's/^/    /' "$work/output"
    failures=$((failures + 1))
  else
    echo "PASS: $name"
  fi
}

future="Sat, 01 Jan 2100 00:00:00 UTC"
past="Mon, 01 Jan 2024 00:00:00 UTC"
sid=$work/debootstrap/scripts/sid
case_ debian-12-other-is-13 deb822 "$future" 3 "debootstrap --variant=minbase trixie ROOT file:///srv/debian
run './make.sh test' (date check off: no)" other './make.sh test'
case_ debian-13-other-is-12 oneline "$future" 3 "debootstrap --variant=minbase bookworm ROOT file:///srv/mirror/debian
run 'true' (date check off: no)" other true
case_ testing-made-as-sid-expired oneline "$past" 3 "debootstrap --variant=minbase forky ROOT file:///srv/mirror/debian $sid
run 'true' (date check off: yes)" forky true
mirror=file:///elsewhere
case_ mirror-from-environment nomirror "$future" 3 "debootstrap --variant=minbase trixie ROOT file:///elsewhere
run 'true' (date check off: no)" trixie true
mirror=""
case_ neither-12-nor-13 other "$future" 2 "" other true
grep -q "name the release" "$work/output" ||
  { echo "FAIL: neither-12-nor-13: no advice on standard error"; failures=$((failures + 1)); }
case_ no-mirror-found nomirror "$future" 2 "" trixie true
case_ no-command deb822 "$future" 2 "" trixie
case_ empty-command deb822 "$future" 2 "" trixie ''
case_ not-a-release deb822 "$future" 2 "" 'trixie;rm' true
case_ unknown-option deb822 "$future" 2 "" --fast trixie true
grep -q "try-debian.sh \[--keep\]" "$work/output" ||
  { echo "FAIL: unknown-option: no usage on standard error"; failures=$((failures + 1)); }
[ "$failures" -eq 0 ] && echo "PASSED" || { echo "FAILED: $failures cases"; exit 1; }
