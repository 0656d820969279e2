#!/usr/bin/env bash
# Starts a private MariaDB server, fills a table of 1,000,000 rows of ten mixed
# columns, and exports it to one HTML page with velmora beside the client's own
# HTML output (`mariadb --html -e 'select * from t' > file`), and to CSV for
# the peak memory of the same streamed rows; wall time and peak memory of each.
#
#   bench/html_export_bench.sh           # 1,000,000 rows
#   bench/html_export_bench.sh 100000    # a quicker run
#
# Uses the build directory in VELMORA_BENCH_BUILD when set (bench/run.sh sets
# it), else configures an optimised one in build-bench.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
rows="${1:-1000000}"
build="${VELMORA_BENCH_BUILD:-$root/build-bench}"
# shellcheck source=bench/bench_server.sh
source "$root/bench/bench_server.sh"
bench_build_velmora

bench_start_server html
connect+=(--database="$VELMORA_TEST_DATABASE")
bench_fill_ten_column_rows html_rows "$rows"

velmora="$build/velmora"
bench_write_config "$work/bench.cfg" <<CFG
[Tables]
1=html_rows
[Files]
1=$work/html_rows.html
CFG
measure="/usr/bin/python3 $root/bench/measure_command.py"
echo
echo "exporting html_rows ($rows rows, one page)"
$measure "velmora -> HTML" -- "$velmora" "$work/bench.cfg"
$measure "mariadb --html -> file" --stdout "$work/client.html" -- "$client" "${connect[@]}" \
  --html -e 'select * from html_rows'
sed -i "s|^1=$work/html_rows.html|1=$work/html_rows.csv|" "$work/bench.cfg"
$measure "velmora -> CSV (same streamed rows)" -- "$velmora" "$work/bench.cfg"
ls -l "$work"/html_rows.html "$work"/client.html "$work"/html_rows.csv | awk '{print $5, $9}'
