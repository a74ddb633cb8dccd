#!/bin/sh
# Times this working tree's engine beside another revision's, interleaved in
# one run, so that a change to the engine shows its cost or gain as a ratio.
#
#   tools/compare-bench.sh REV [--rounds N]
#
# REV's benchmark programs are built in a git worktree in a scratch folder
# (${TMPDIR:-/tmp}/quilfen-compare/<commit>, kept for the next comparison);
# this tree's are built in build/. Then, N times (default 3) in turn, each
# build runs
#   - quilfen-cli bench --json on one thread and on every thread (the full
#     work of the benchmark region, as the menu's benchmark times it), and
#   - quilfen-engine-bench on the engine's regions and the views for
#     exploring (stopping cycles),
# and the table gives each figure's best over all rounds, both builds side by
# side, with the ratio this tree / REV (below 1 is faster).
set -e
usage() {
  echo "usage: $0 REV [--rounds N]" >&2
  exit 2
}
[ $# -ge 1 ] || usage
rev=$1
shift
rounds=3
while [ $# -gt 0 ]; do
  case $1 in
    --rounds) [ $# -ge 2 ] || usage; rounds=$2; shift 2 ;;
    --rounds=*) rounds=${1#--rounds=}; shift ;;
    *) usage ;;
  esac
done
case $rounds in '' | *[!0-9]* | 0) echo "$0: --rounds takes a whole number from 1" >&2; exit 2 ;; esac

root=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$root" rev-parse --verify --quiet "$rev^{commit}") ||
  { echo "$0: $rev is not a revision of this repository" >&2; exit 2; }
targets="quilfen-cli quilfen-engine-bench"

other="${TMPDIR:-/tmp}/quilfen-compare/$commit"
if [ ! -d "$other/src" ]; then
  mkdir -p "$other"
  git -C "$root" worktree add --detach --force "$other/src" "$commit" >/dev/null
fi
echo "== building $rev ($commit) in $other"
cmake -S "$other/src" -B "$other/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$other/build" -j "$(nproc)" --target $targets >/dev/null
echo "== building this tree in build/"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j "$(nproc)" --target $targets >/dev/null

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

# Everything but the full work at the high limits, which takes seconds a run
# and is the benchmark's loop again.
filter='^(benchmark|start-up|deep)/fast-|^explore/.*/stop-cycles/'
round=1
while [ "$round" -le "$rounds" ]; do
  echo "== round $round of $rounds"
  for side in this other; do
    if [ $side = this ]; then bin="$root/build/bin"; else bin="$other/build/bin"; fi
    "$bin/quilfen-cli" bench --json --runs 40 --threads 1 >"$results/$side.cli1.$round.json"
    "$bin/quilfen-cli" bench --json --runs 40 >"$results/$side.cli-all.$round.json"
    "$bin/quilfen-engine-bench" --benchmark_filter="$filter" \
      --benchmark_out="$results/$side.engine.$round.json" --benchmark_out_format=json \
      >/dev/null 2>"$results/log" || { cat "$results/log" >&2; exit 1; }
  done
  round=$((round + 1))
done

python3 - "$results" "$rev" <<'EOF'
import glob, json, os, sys

folder, rev = sys.argv[1], sys.argv[2]

def best(side):
    ms = {}
    def keep(name, value):
        ms[name] = min(value, ms.get(name, float("inf")))
    for path in glob.glob(os.path.join(folder, side + ".cli*.json")):
        with open(path) as f:
            r = json.load(f)
        label = "quilfen-cli bench, %d thread%s" % (r["threads"], "" if r["threads"] == 1 else "s")
        keep(label, r["best_seconds"] * 1e3)
    for path in glob.glob(os.path.join(folder, side + ".engine.*.json")):
        with open(path) as f:
            report = json.load(f)
        for b in report["benchmarks"]:
            # Each benchmark reports the best of its repetitions as "min".
            if b.get("aggregate_name") != "min" or b.get("error_occurred") or b.get("skipped"):
                continue
            unit = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
            keep(b["run_name"].split("/min_time")[0], b["real_time"] * unit)
    return ms

this, other = best("this"), best("other")
names = [n for n in this if n in other]
names.sort(key=lambda n: (not n.startswith("quilfen-cli"), n.startswith("explore"), n))
width = max(len(n) for n in names)
print("\nBest of every run, milliseconds; ratio below 1: this tree is faster")
print("%-*s %12s %12s %8s" % (width, "figure", "this tree", rev[:12], "ratio"))
for n in names:
    print("%-*s %12.3f %12.3f %8.3f" % (width, n, this[n], other[n], this[n] / other[n]))
missing = sorted(set(this) ^ set(other))
if missing:
    print("only in one build: " + ", ".join(missing))
EOF
