#!/usr/bin/env bash
# Benchmarks quenfold on workloads W1-W8 against the floor of the machine: cat
# on each workload's input (the x_cat column is quenfold's time over cat's) and
# a minimal C line filter on W1. Every output of quenfold and the filter is
# checked against the expected output before it is timed; a mismatch is shown
# and not timed.
#
#   bench/run.sh [FACTOR]
#   bench/run.sh --check     only checks every output, at a tiny size, untimed
#
# FACTOR scales every input (default 1; 0.01 for a quick check). Environment:
# BENCH_RUNS (timed runs per command, default 10), BENCH_WORK (where the inputs
# go), BENCH_BUILD (the build directory).
set -euo pipefail
check_only=
if [ "${1:-}" = --check ]; then
  check_only=1
  set -- 0.01
fi
factor=${1:-1}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD:-$root/build-bench}
case "$build" in /*) ;; *) build=$PWD/$build ;; esac
work=${BENCH_WORK:-${TMPDIR:-/tmp}/quenfold-bench}
runs=${BENCH_RUNS:-10}

# hyperfine and GNU time come from Debian's packages when they are missing.
missing=()
if [ -z "$check_only" ]; then
  command -v hyperfine >/dev/null || missing+=(hyperfine)
  [ -x /usr/bin/time ] || missing+=(time)
fi
command -v cmake >/dev/null || missing+=(cmake)
if [ ${#missing[@]} -ne 0 ]; then
  sudo=; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUENFOLD_BENCH=ON -DQUENFOLD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target quenfold gen_workloads floor >/dev/null
Q=$build/quenfold
FLOOR=$build/bench/floor

mkdir -p "$work"
cd "$work"
rm -f w*.qf w*.expected
"$build/bench/gen_workloads" . "$factor"

# cat reads each workload's own input, so quenfold / cat compares like with like.
input_for() { [ "$1" = w8 ] && echo w4.qf || echo "$1.qf"; }

command_for() {  # workload implementation
  case "$1:$2" in
    w8:quenfold) echo "cat w4.qf | $Q" ;;
    w1:floor) echo "$FLOOR < w1.qf" ;;
    *:floor) echo "" ;;
    *:cat) echo "cat $(input_for "$1")" ;;
    *:quenfold) echo "$Q ./$1.qf" ;;
  esac
}

expected_for() { [ "$1" = w8 ] && echo w4.expected || echo "$1.expected"; }

median_of() {  # command -> median seconds (output goes through a pipe)
  local csv
  csv=$(mktemp)
  hyperfine --warmup 2 --runs "$runs" --style none --export-csv "$csv" "$1 | cat >/dev/null" >/dev/null 2>&1
  awk -F, 'NR==2{print $4}' "$csv"
  rm -f "$csv"
}

peak_kib() {  # command -> peak resident KiB of quenfold (or of the command)
  local out
  out=$(mktemp)
  case "$1" in
    "cat w4.qf | $Q") cat w4.qf | /usr/bin/time -f %M -o "$out" "$Q" >/dev/null ;;
    *) /usr/bin/time -f %M -o "$out" sh -c "exec $1" >/dev/null ;;
  esac
  tail -n 1 "$out"
  rm -f "$out"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN{ if (b > 0) printf "%.2f", a/b; else print "-" }'; }

[ -n "$check_only" ] || printf '%-4s %-9s %10s %10s %8s %8s\n' work impl median_s peak_KiB x_cat x_floor
floor_w1=
status=0
for w in w1 w2 w3 w4 w5 w6 w7 w8; do
  cat_time=
  for impl in floor cat quenfold; do
    cmd=$(command_for "$w" "$impl")
    [ -n "$cmd" ] || continue
    if [ "$impl" != cat ] && ! sh -c "$cmd" | cmp -s - "$(expected_for "$w")"; then
      echo "$w $impl: output differs from the expected output (not timed):"
      sh -c "$cmd" | cmp - "$(expected_for "$w")" || true
      status=1
      continue
    fi
    if [ -n "$check_only" ]; then
      [ "$impl" = cat ] || echo "$w $impl: output as expected"
      continue
    fi
    median=$(median_of "$cmd")
    peak=$(peak_kib "$cmd")
    [ "$w:$impl" = w1:floor ] && floor_w1=$median
    [ "$impl" = cat ] && cat_time=$median
    x_cat=-
    x_floor=-
    [ "$impl" = quenfold ] && [ -n "$cat_time" ] && x_cat=$(ratio "$median" "$cat_time")
    [ "$w" = w1 ] && [ -n "$floor_w1" ] && x_floor=$(ratio "$median" "$floor_w1")
    printf '%-4s %-9s %10.4f %10s %8s %8s\n' "$w" "$impl" "$median" "$peak" "$x_cat" "$x_floor"
  done
done
exit $status
