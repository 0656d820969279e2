#!/usr/bin/env bash
# Memory of the exports that read ahead. Starts a private MariaDB server,
# fills a table of ROWS rows (default 4,000,000) of ten mixed columns, then
# exports it to TXT (with its width pass), DIF (counted first) and DBF (fields
# sized first), each twice: with the rows spooled to the temporary directory
# (the default) and with StoreResult=1 (held in memory). Prints wall time and
# peak memory of each run, the spooled run's wall time against the stored
# one's, and whether the goals hold: a peak of at most 64 MiB, and at most
# 1.2 times the wall time of the stored run. Both runs write the same bytes.
#
#   bench/spool_bench.sh            # 4,000,000 rows
#   bench/spool_bench.sh 100000     # a quicker run
#
# Uses the build directory in VELMORA_BENCH_BUILD when set (bench/run.sh sets
# it), else configures an optimised one in build-bench.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
rows="${1:-4000000}"
build="${VELMORA_BENCH_BUILD:-$root/build-bench}"
# shellcheck source=bench/bench_server.sh
source "$root/bench/bench_server.sh"
bench_build_velmora

bench_start_server spool
bench_fill_ten_column_rows spool_rows "$rows"

velmora="$build/velmora"
measure="/usr/bin/python3 $root/bench/measure_command.py"
# The checksum of an export's file and its memo file, if any.
checksum() { cat "$1" $([[ -e "${1%.*}.dbt" ]] && echo "${1%.*}.dbt") | md5sum; }
# field NAME LINE: the number before the word NAME ("s", "MiB") in a measure line
field() { awk -v name="$1" '{for (i = 1; i < NF; ++i) if ($(i + 1) == name) {print $i; exit}}' <<<"$2"; }

echo
echo "$rows rows x 10 columns; spooled (default) against StoreResult=1"
failed=0
for format in txt dif dbf; do
  out="$work/rows.$format"
  for mode in stored spooled; do
    extra=""
    [[ $mode == stored ]] && extra="StoreResult=1"
    bench_write_config "$work/$mode.cfg" <<CFG
$extra
[Tables]
1=spool_rows
[Files]
1=$out
CFG
    line=$($measure "velmora -> ${format^^} ($mode)" -- "$velmora" "$work/$mode.cfg")
    echo "$line"
    if [[ $mode == stored ]]; then
      stored_line="$line"
      sum=$(checksum "$out")
    else
      [[ "$(checksum "$out")" == "$sum" ]] || {
        echo "  the spooled file differs from the stored one"
        failed=1
      }
    fi
    rm -f "$out" "${out%.*}.dbt"
  done
  verdict=$(awk -v sw="$(field s "$line")" -v tw="$(field s "$stored_line")" -v peak="$(field MiB "$line")" \
    'BEGIN {
       printf "  spooled: %.2fx the stored wall time (goal <= 1.2x), peak %.1f MiB (goal <= 64)", sw / tw, peak
       if (sw / tw > 1.2 || peak > 64) { print "  MISSED"; exit 1 }
       print "  met"
     }') || failed=1
  echo "$verdict"
done
exit "$failed"
