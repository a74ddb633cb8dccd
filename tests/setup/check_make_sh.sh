#!/bin/sh
# make.sh on machines in the states a fresh Debian 12 can be in, with id,
# sudo, apt-get, apt-cache and make replaced by stand-ins that write down how
# they were called. The stand-in sudo empties the environment as the real one
# does by default, so a setting that must reach apt-get has to be passed
# through it.
#
# usage: check_make_sh.sh MAKE_SH
# exit status: 0 passed, 1 failed
script=$(readlink -f "$1")
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
failures=0

# case NAME UID LISTS SUDO MAKE EXPECTED_STATUS EXPECTED_CALLS (one per line)
case_() {
  name=$1 uid=$2 lists=$3 sudo=$4 make=$5 status=$6 expected=$7
  bin=$work/$name
  mkdir -p "$bin"
  for tool in dirname env cp; do ln -s "$(command -v "$tool")" "$bin/$tool"; done
  log=$bin/calls
  : >"$log"
  printf '#!/bin/sh\necho %s\n' "$uid" >"$bin/id"
  printf '#!/bin/sh\n[ %s = yes ]\n' "$lists" >"$bin/apt-cache"
  printf '#!/bin/sh\necho "make $*" >>%s\n' "$log" >"$bin/make.stand-in"
  cat >"$bin/apt-get" <<EOF
#!/bin/sh
echo "apt-get \$* (DEBIAN_FRONTEND=\$DEBIAN_FRONTEND)" >>$log
[ "\$1" = install ] && cp $bin/make.stand-in $bin/make
exit 0
EOF
  [ "$sudo" = yes ] && printf '#!/bin/sh\necho sudo >>%s\nexec env -i PATH="$PATH" "$@"\n' "$log" >"$bin/sudo"
  [ "$make" = yes ] && cp "$bin/make.stand-in" "$bin/make"
  chmod +x "$bin"/*
  env -i PATH="$bin" /bin/sh "$script" run >"$bin/output" 2>&1
  got=$?
  if [ "$got" -ne "$status" ] || [ "$(cat "$log")" != "$expected" ]; then
    echo "FAIL: $name: status $got (expected $status), calls:"
    sed 's/^/    /' "$log"
    echo "  expected:"
    echo "$expected" | sed 's/^/    /'
    echo "  output:"
    sed 's/^/    /' "$bin/output"
    failures=$((failures + 1))
  else
    echo "PASS: $name"
  fi
}

install="apt-get install -y --no-install-recommends make (DEBIAN_FRONTEND=noninteractive)"
case_ root-no-lists 0 no no no 0 "apt-get update (DEBIAN_FRONTEND=)
$install
make run"
case_ root-with-lists 0 yes no no 0 "$install
make run"
case_ user-with-sudo-no-lists 1000 no yes no 0 "sudo
apt-get update (DEBIAN_FRONTEND=)
sudo
$install
make run"
case_ user-without-sudo 1000 no no no 1 ""
case_ make-installed 1000 no no yes 0 "make run"

grep -q "run this as root or install sudo" "$work/user-without-sudo/output" ||
  { echo "FAIL: user-without-sudo: no advice on standard error"; failures=$((failures + 1)); }
[ "$failures" -eq 0 ] && echo "PASSED" || { echo "FAILED: $failures cases"; exit 1; }
