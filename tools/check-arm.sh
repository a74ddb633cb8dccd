#!/bin/sh
# The engine on 64-bit Arm, from an x86 machine: cross-builds the engine and
# its checker alone (no Qt), runs the checker under qemu-aarch64 (every
# instruction set of the kernel the emulated CPU runs, against the scalar
# reference), and fails if the compiled kernel holds a fused multiply-add.
#
#   tools/check-arm.sh [build-dir] [checker options, e.g. --seed N]
#
# Needs g++-aarch64-linux-gnu, binutils-aarch64-linux-gnu, qemu-user and
# libhwy-dev:arm64 (tools/install-deps.sh --arm installs them; `make check-arm`
# does both). Exits 77, the skip code, when any of them is missing.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build_dir=${1:-$source_dir/build-arm}
[ $# -gt 0 ] && shift
started=$(date +%s)

missing=""
for tool in aarch64-linux-gnu-g++ aarch64-linux-gnu-objdump qemu-aarch64 cmake; do
  command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
[ -f /usr/lib/aarch64-linux-gnu/cmake/hwy/hwy-config.cmake ] || missing="$missing libhwy-dev:arm64"
if [ -n "$missing" ]; then
  echo "check-arm: skipped, missing:$missing (tools/install-deps.sh --arm installs them)"
  exit 77
fi

echo "== cross build in $build_dir"
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DQUILFEN_ENGINE_ONLY=ON \
  -DCMAKE_TOOLCHAIN_FILE="$here/aarch64-toolchain.cmake" >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target quilfen-engine-cross-check >/dev/null

checker="$build_dir/tools/quilfen-engine-cross-check"
aarch64-linux-gnu-readelf -h "$checker" | grep -q AArch64 || { echo "check-arm: $checker is not an aarch64 program"; exit 1; }

echo "== engine against the reference under qemu-aarch64"
# The loader and libraries are the arm64 multiarch ones libhwy-dev:arm64 pulls
# in; see aarch64-toolchain.cmake for why not -L /usr/aarch64-linux-gnu.
qemu-aarch64 "$checker" "$@"

echo "== no fused multiply-add in the kernel"
# Fused forms of A64 and SVE: fmla, fmls (and the widening fmlal/fmlsl),
# fmadd, fmsub, fnmadd, fnmsub, fmad, fmsb, fnmad, fnmsb, fnmla, fnmls.
fused='[[:space:]](fn?ml[as](l2?)?|fn?m(add|sub)|fn?m(ad|sb))([[:space:]]|$)'
disassemble() {
  aarch64-linux-gnu-objdump -d -C --no-show-raw-insn "$1"
}

# The scan itself: it must flag what g++ makes of a*b+c when allowed to fuse,
# scalar and vector, and must not flag plain multiplies, adds or names.
probe_dir="$build_dir/fused-probe"
mkdir -p "$probe_dir"
cat >"$probe_dir/probe.cpp" <<'EOF'
#include <arm_neon.h>
double scalarFused(double a, double b, double c) { return a * b + c; }
double scalarFusedSub(double a, double b, double c) { return c - a * b; }
float64x2_t vectorFused(float64x2_t a, float64x2_t b, float64x2_t c) { return a * b + c; }
EOF
aarch64-linux-gnu-g++ -O2 -ffp-contract=fast -c "$probe_dir/probe.cpp" -o "$probe_dir/probe.o"
probe=$(disassemble "$probe_dir/probe.o")
for op in fmadd fmsub fmla; do
  echo "$probe" | grep -E "$fused" | grep -q "[[:space:]]$op[[:space:]]" ||
    { echo "check-arm: the scan misses $op in a fused probe"; exit 1; }
done
if printf '  40:\tfmul\tv0.2d, v1.2d, v2.2d\n  44:\tfadd\td0, d1, d2\n0000 <quilfen::fmaddHelper()>:\n' |
   grep -qE "$fused"; then
  echo "check-arm: the scan flags plain operations"
  exit 1
fi

status=0
kernel=$(find "$build_dir/engine" -name 'escape_time_simd.cpp.o' | head -n 1)
for binary in "$kernel" "$checker"; do
  code=$(disassemble "$binary")
  # What is scanned really is the vector kernel, with its multiplies and adds.
  if ! echo "$code" | grep -q 'N_NEON::ComputeColumns(' ||
     ! echo "$code" | grep -qE '[[:space:]]fmul[[:space:]]+v[0-9]+\.2d' ||
     ! echo "$code" | grep -qE '[[:space:]]fadd[[:space:]]+v[0-9]+\.2d'; then
    echo "check-arm: no NEON kernel with vector fmul/fadd in $binary"
    status=1
    continue
  fi
  found=$(echo "$code" | grep -E "$fused" || true)
  if [ -n "$found" ]; then
    echo "check-arm: fused multiply-add in $binary:"
    echo "$found" | head -n 20
    status=1
  else
    echo "$(basename "$binary"): no fused multiply-add"
  fi
done

echo "check-arm: $([ $status -eq 0 ] && echo passed || echo FAILED) in $(($(date +%s) - started)) s"
exit $status
