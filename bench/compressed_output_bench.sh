#!/usr/bin/env bash
# Wall time of compressed exports against the plain one. Starts a private
# MariaDB server, fills a table of ROWS rows (default 1,000,000) of ten mixed
# columns, and exports it to CSV plain, as .csv.gz at levels 1 and 6, as
# .csv.zst at levels 1 and 3, and split into ten parts of .csv.gz at level 1.
# Prints the best wall time of RUNS runs of each (default 3), each against the
# plain export's, the size of the files, and whether the goal holds: .csv.gz at
# level 1 takes at most 1.3 times the plain export's wall time. Every
# compressed file must decompress to the plain export's bytes.
#
#   bench/compressed_output_bench.sh             # 1,000,000 rows, best of 3 runs
#   bench/compressed_output_bench.sh 100000 1    # a quicker run
#
# Uses the build directory in VELMORA_BENCH_BUILD when set (bench/run.sh sets
# it), else configures an optimised one in build-bench.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
rows="${1:-1000000}"
runs="${2:-3}"
build="${VELMORA_BENCH_BUILD:-$root/build-bench}"
# shellcheck source=bench/bench_server.sh
source "$root/bench/bench_server.sh"
bench_build_velmora

bench_start_server compressed
bench_fill_ten_column_rows compressed_rows "$rows"

velmora="$build/velmora"
measure="/usr/bin/python3 $root/bench/measure_command.py"
field() { awk -v name="$1" '{for (i = 1; i < NF; ++i) if ($(i + 1) == name) {print $i; exit}}' <<<"$2"; }

# name file level [split rows]
cases=("plain rows.csv 0" "gz-1 rows.csv.gz 1" "gz-6 rows.csv.gz 6" "zst-1 rows.csv.zst 1"
  "zst-3 rows.csv.zst 3" "gz-1-split rows.csv.gz 1 $((rows / 10))")
for entry in "${cases[@]}"; do
  read -r name file level split <<<"$entry"
  mkdir -p "$work/$name"
  {
    echo "[GENERAL]"
    [[ $level != 0 ]] && echo "CompressionLevel=$level"
    [[ -n ${split:-} ]] && echo "SplitRows=$split"
  } >"$work/$name.ini"
  bench_write_config "$work/$name.cfg" <<CFG
[Tables]
1=compressed_rows
[Files]
1=$work/$name/$file
[Templates]
1=$work/$name.ini
CFG
done

echo
echo "$rows rows x 10 columns as CSV, plain and compressed, best wall of $runs runs each ($(nproc) cores)"
declare -A best=()
for ((run = 1; run <= runs; ++run)); do
  # The cases take turns, so that a busy moment of the machine falls on all.
  for entry in "${cases[@]}"; do
    read -r name _ <<<"$entry"
    rm -f "$work/$name"/*
    line=$($measure "velmora -> CSV ($name)" -- "$velmora" "$work/$name.cfg")
    if [[ -z "${best[$name]:-}" ]] || awk -v a="$(field s "$line")" -v b="$(field s "${best[$name]}")" \
      'BEGIN {exit !(a < b)}'; then best[$name]="$line"; fi
  done
done

failed=0
plain_sum=$(md5sum <"$work/plain/rows.csv")
plain_wall=$(field s "${best[plain]}")
for entry in "${cases[@]}"; do
  read -r name _ <<<"$entry"
  bytes=$(cat "$work/$name"/* | wc -c)
  ratio=$(awk -v a="$(field s "${best[$name]}")" -v b="$plain_wall" 'BEGIN {printf "%.2f", a / b}')
  echo "${best[$name]}  ${ratio}x plain, $((bytes / 1024)) KiB"
  case $name in
    gz-1-split)
      count=$(ls "$work/$name" | wc -l)
      [[ $count == 10 ]] || { echo "  $count parts instead of 10"; failed=1; }
      sum=$(for part in "$work/$name"/rows.*.csv.gz; do
        gzip -dc "$part" | tail -n +2
      done | md5sum)
      want=$(tail -n +2 "$work/plain/rows.csv" | md5sum)
      [[ $sum == "$want" ]] || { echo "  the parts do not hold the plain export's records"; failed=1; }
      ;;
    gz-*) [[ $(gzip -dc "$work/$name/rows.csv.gz" | md5sum) == "$plain_sum" ]] || { echo "  $name differs"; failed=1; } ;;
    zst-*) [[ $(zstd -dc "$work/$name/rows.csv.zst" | md5sum) == "$plain_sum" ]] || { echo "  $name differs"; failed=1; } ;;
  esac
done
goal=$(awk -v a="$(field s "${best[gz-1]}")" -v b="$plain_wall" 'BEGIN {printf "%.2f", a / b; exit !(a / b <= 1.3)}') &&
  echo "  .csv.gz at level 1: ${goal}x the plain wall time (goal <= 1.3x)  met" ||
  { echo "  .csv.gz at level 1: ${goal}x the plain wall time (goal <= 1.3x)  MISSED"; failed=1; }
exit $failed
