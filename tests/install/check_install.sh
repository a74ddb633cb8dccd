#!/bin/sh
# Installs a build into a temporary prefix and runs the installed quilfen-cli
# through its link in bin/, from another folder: it must find default.qpl in
# its own folder lib/quilfen/ and draw the same picture as the build's own.
#
#   check_install.sh <cmake> <build folder>
set -eu
cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >/dev/null

for file in lib/quilfen/quilfen lib/quilfen/quilfen-cli lib/quilfen/default.qpl lib/quilfen/mandel.bmp \
            lib/quilfen/palettes/rainbow.qpl share/applications/quilfen.desktop \
            share/icons/hicolor/32x32/apps/quilfen.png; do
    [ -f "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done
for program in quilfen quilfen-cli; do
    [ -L "$prefix/bin/$program" ] || { echo "bin/$program is not a link"; exit 1; }
    [ "$(readlink -f "$prefix/bin/$program")" = "$(readlink -f "$prefix/lib/quilfen/$program")" ] ||
        { echo "bin/$program does not lead to lib/quilfen/$program"; exit 1; }
done
grep -qx 'Exec=quilfen' "$prefix/share/applications/quilfen.desktop" || { echo "desktop entry: no Exec=quilfen"; exit 1; }
grep -qx 'Icon=quilfen' "$prefix/share/applications/quilfen.desktop" || { echo "desktop entry: no Icon=quilfen"; exit 1; }

region="--centre-re -0.75 --centre-im 0.1 --range 0.5 --max-iter 200"
cd "$prefix/share"
# shellcheck disable=SC2086  # the region splits into its options on purpose
"$prefix/bin/quilfen-cli" render $region --out "$prefix/installed.bmp"
# shellcheck disable=SC2086
"$build/bin/quilfen-cli" render $region --out "$prefix/built.bmp"
cmp "$prefix/installed.bmp" "$prefix/built.bmp"

# Without the data file beside it, the installed program says so and fails.
mv "$prefix/lib/quilfen/default.qpl" "$prefix/lib/quilfen/moved.qpl"
# shellcheck disable=SC2086
if "$prefix/bin/quilfen-cli" render $region --out "$prefix/none.bmp" 2>/dev/null; then
    echo "the installed quilfen-cli drew without default.qpl beside it"
    exit 1
fi
echo "installed layout works"
