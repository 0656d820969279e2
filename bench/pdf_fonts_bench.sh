#!/usr/bin/env bash
# Processor time of a PDF export whose texts need embedded fonts against the
# same export in the standard fonts. Starts a private MariaDB server, fills
# the ten-column table twice with ROWS rows, once with Latin cities and once
# with Cyrillic ones ("Москва", "Санкт-Петербург"), and exports each to PDF
# RUNS times in turn. Prints the median processor and wall times, the ratio
# of the embedded export's processor time to the standard one's, and the
# file sizes, with the size of the Cyrillic table as CSV for comparison.
#
#   bench/pdf_fonts_bench.sh              # 1,000,000 rows, 3 runs
#   bench/pdf_fonts_bench.sh 100000 5     # a quicker run, 5 runs
#
# Uses the build directory in VELMORA_BENCH_BUILD when set (bench/run.sh sets
# it), else builds an optimised one in build-bench-ratio.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
rows="${1:-1000000}"
runs="${2:-3}"
# shellcheck source=bench/bench_server.sh
source "$root/bench/bench_server.sh"
build="${VELMORA_BENCH_BUILD:-$root/build-bench-ratio}"
bench_build_velmora

bench_start_server pdffonts
bench_fill_ten_column_rows latin "$rows"
bench_fill_ten_column_rows cyrillic "$rows"
"$client" "${connect[@]}" --database="$VELMORA_TEST_DATABASE" \
  -e "UPDATE cyrillic SET city = IF(id % 3 = 0, 'Москва', 'Санкт-Петербург')"

for table in latin cyrillic; do
  bench_write_config "$work/$table.cfg" <<CFG
[Tables]
1=$table
[Files]
1=$work/$table.pdf
CFG
done
bench_write_config "$work/csv.cfg" <<CFG
[Tables]
1=cyrillic
[Files]
1=$work/cyrillic.csv
CFG
"$build/velmora" "$work/csv.cfg" > /dev/null

/usr/bin/python3 "$root/bench/in_turns.py" "$runs" "standard fonts" "embedded fonts" -- \
  "\"$build/velmora\" \"$work/latin.cfg\" > /dev/null" "\"$build/velmora\" \"$work/cyrillic.cfg\" > /dev/null"
for name in latin.pdf cyrillic.pdf cyrillic.csv; do
  printf '%-18s %14s bytes\n' "$name" "$(stat -c %s "$work/$name" | sed ':a;s/\B[0-9]\{3\}\>/,&/;ta')"
done
