#!/bin/sh
# Builds a libFuzzer target with clang (AddressSanitizer, UndefinedBehaviour-
# Sanitizer, leak checks) and runs it.
#
#   tools/fuzz.sh list
#   tools/fuzz.sh <target> [--runs N | --time SECONDS] [-- <libFuzzer options>]
#   tools/fuzz.sh all [--runs N | --time SECONDS]
#
# Without --runs or --time it runs for 60 seconds. "all" runs every target in
# turn with the same limit, prints one line of executions per target, and
# fails if any of them fails. The committed seed corpus
# tests/fuzz/corpus/<target>/ is read but never written; inputs the fuzzer
# finds go to build-fuzz/corpus/<target>/, a crashing input to
# build-fuzz/artifacts/<target>/. A dictionary tests/fuzz/<target>.dict is used
# when present. Exit status 0 means no crash, leak, timeout or sanitizer report.
#
# Example, the run that closes a change to the palette reader:
#   tools/fuzz.sh palette --runs 1000000
set -eu
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
cd "$(dirname "$0")/.."

# One target a line: its name, then its sources (paths from the repository root).
TARGETS='
palette           tests/fuzz/fuzz_palette_reader.cpp palette/palette_reader.cpp platform/files/regular_file.cpp
number_text       tests/fuzz/fuzz_number_text.cpp engine/number_text.cpp
display_patterns  tests/fuzz/fuzz_display_patterns.cpp engine/number_text.cpp
settings_registry tests/fuzz/fuzz_settings_registry.cpp platform/settings_registry.cpp platform/recording_registry.cpp platform/files/regular_file.cpp
'
INCLUDES="-I."
CXX="${CXX_FUZZ:-clang++}"
OUT=build-fuzz

usage() {
    sed -n '5,7p' "$0" | sed 's/^# *//' >&2
    exit 2
}

sources_of() {
    echo "$TARGETS" | awk -v name="$1" '$1 == name { $1 = ""; print }'
}

[ $# -ge 1 ] || usage
if [ "$1" = list ]; then
    echo "$TARGETS" | awk 'NF { print $1 }'
    exit 0
fi
if [ "$1" = all ]; then
    shift
    mkdir -p "$OUT"
    failed=""
    for target in $(echo "$TARGETS" | awk 'NF { print $1 }'); do
        log="$OUT/$target.log"
        echo "fuzzing $target ($*)" >&2
        if "$self" "$target" "$@" >"$log" 2>&1; then
            status=ok
        else
            status=FAILED
            failed="$failed $target"
            tail -n 40 "$log" >&2
        fi
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
        echo "fuzz $target: ${runs:-?} executions, $status (log: $log)"
    done
    [ -z "$failed" ] || { echo "fuzz targets failed:$failed" >&2; exit 1; }
    exit 0
fi

name=$1
shift
sources=$(sources_of "$name")
[ -n "$sources" ] || { echo "unknown fuzz target: $name (see: tools/fuzz.sh list)" >&2; exit 2; }

limit="-max_total_time=60"
while [ $# -gt 0 ]; do
    case $1 in
        --runs) [ $# -ge 2 ] || usage; limit="-runs=$2"; shift 2 ;;
        --time) [ $# -ge 2 ] || usage; limit="-max_total_time=$2"; shift 2 ;;
        --) shift; break ;;
        *) usage ;;
    esac
done

# Per target: what the build needs beyond the sources, and the per-input
# limits. Every input must finish within -timeout seconds; for the settings
# file, inputs up to 64 KiB and a short limit make a reading whose cost grows
# faster than the file (with the depth of a key, say) fail as a timeout.
build_flags=""
run_flags="-timeout=10"
case $name in
    settings_registry)
        build_flags="-fPIC $(pkg-config --cflags --libs Qt6Core)"
        run_flags="-timeout=5 -max_len=65536" ;;
esac

mkdir -p "$OUT/corpus/$name" "$OUT/artifacts/$name"
binary="$OUT/fuzz_$name"
echo "building $binary" >&2
# shellcheck disable=SC2086  # the source and include lists split on purpose
"$CXX" -std=c++20 -g -O1 -ffp-contract=off -Wall -Wextra \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer \
    $INCLUDES $sources $build_flags -o "$binary"

dict=""
[ -f "tests/fuzz/$name.dict" ] && dict="-dict=tests/fuzz/$name.dict"

# shellcheck disable=SC2086
exec "$binary" $limit $dict $run_flags -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$OUT/artifacts/$name/" "$@" "$OUT/corpus/$name" "tests/fuzz/corpus/$name"
