#!/usr/bin/env bash
# Memory of the exports that read ahead. Starts a private MariaDB server,
# fills a table of ROWS rows (default 4,000,000) of ten mixed columns, then
# exports it to TXT (with its width pass), DIF (counted first) and DBF (fields
# sized first), each in two ways: with the rows spooled to the temporary directory
# (the default) and with StoreResult=1 (held in memory). Prints wall time and
# peak memory of each run, the spooled run's wall time against the stored
# one's, and whether the goals hold: a peak of at most 64 MiB, and at most
# 1.2 times the wall time of the stored run (the best of RUNS runs of each,
# default 3). Both runs must write the same bytes.
#
#   bench/spool_bench.sh             # 4,000,000 rows, best of 3 runs
#   bench/spool_bench.sh 100000 1    # a quicker run
#
# Uses the build directory in VELMORA_BENCH_BUILD when set (bench/run.sh sets
# it), else configures an optimised one in build-bench.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
rows="${1:-4000000}"
runs="${2:-3}"
build="${VELMORA_BENCH_BUILD:-$root/build-bench}"
# shellcheck source=bench/bench_server.sh
source "$root/bench/bench_server.sh"
bench_build_velmora

bench_start_server spool
bench_fill_ten_column_rows spool_rows "$rows"

velmora="$build/velmora"
declare -A sums=()
measure="/usr/bin/python3 $root/bench/measure_command.py"
# The checksum of an export's file and its memo file, if any.
checksum() { cat "$1" $([[ -e "${1%.*}.dbt" ]] && echo "${1%.*}.dbt") | md5sum; }
# field NAME LINE: the number before the word NAME ("s", "MiB") in a measure line
field() { awk -v name="$1" '{for (i = 1; i < NF; ++i) if ($(i + 1) == name) {print $i; exit}}' <<<"$2"; }

echo
echo "$rows rows x 10 columns; spooled (default) against StoreResult=1, best wall of $runs runs each"
failed=0
for mode in stored spooled; do
  extra=""
  [[ $mode == stored ]] && extra="StoreResult=1"
  for format in txt dif dbf; do
    bench_write_config "$work/$mode-$format.cfg" <<CFG
$extra
[Tables]
1=spool_rows
[Files]
1=$work/rows-$mode.$format
CFG
  done
done
for format in txt dif dbf; do
  declare -A best=()
  # The two modes take turns, so that a busy moment of the machine falls on both.
  for ((run = 1; run <= runs; ++run)); do
    for mode in stored spooled; do
      out="$work/rows-$mode.$format"
      line=$($measure "velmora -> ${format^^} ($mode)" -- "$velmora" "$work/$mode-$format.cfg")
      if [[ -z "${best[$mode]:-}" ]] || awk -v a="$(field s "$line")" -v b="$(field s "${best[$mode]}")" \
        'BEGIN {exit !(a < b)}'; then best[$mode]="$line"; fi
      if [[ $run == 1 ]]; then
        sums[$mode]=$(checksum "$out")
      fi
      rm -f "$out" "${out%.*}.dbt"
    done
    [[ "${sums[stored]}" == "${sums[spooled]}" ]] || {
      echo "  the spooled file differs from the stored one"
      failed=1
    }
  done
  echo "${best[stored]}"
  echo "${best[spooled]}"
  verdict=$(awk -v sw="$(field s "${best[spooled]}")" -v tw="$(field s "${best[stored]}")" \
    -v peak="$(field MiB "${best[spooled]}")" \
    'BEGIN {
       printf "  spooled: %.2fx the stored wall time (goal <= 1.2x), peak %.1f MiB (goal <= 64)", sw / tw, peak
       if (sw / tw > 1.2 || peak > 64) { print "  MISSED"; exit 1 }
       print "  met"
     }') || failed=1
  echo "$verdict"
  unset best
done
exit "$failed"
