#!/usr/bin/env bash
# Starts a private MariaDB server, fills a table of 1,000,000 rows of mixed
# columns, and exports it with velmora to an SQL script (one INSERT a row)
# beside `mariadb-dump --skip-extended-insert`, and to an XML data packet
# beside the client's own XML output (`mariadb --xml -e 'select * from t'`);
# wall time and peak memory of each.
#
#   bench/xml_sql_export_bench.sh           # 1,000,000 rows
#   bench/xml_sql_export_bench.sh 100000    # a quicker run
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

bench_start_server xml-sql
dump=$(command -v mariadb-dump || command -v mysqldump)
# Texts with quotes, a backslash and markup, which both outputs must escape.
bench_fill_mixed_rows dump_rows "$rows" "CONCAT('customer ''', seq % 5000, '\\\\')" \
  "CONCAT('note <', seq, '> & \"more\"')"

bench_write_config "$work/bench.cfg" <<CFG
[Tables]
1=dump_rows
[Files]
1=$work/dump_rows.sql
CFG
measure="/usr/bin/python3 $root/bench/measure_command.py"
echo
echo "exporting dump_rows ($rows rows)"
$measure "velmora -> SQL script" -- "$build/velmora" "$work/bench.cfg"
$measure "mariadb-dump --skip-extended-insert" --stdout "$work/dump.sql" -- "$dump" "${connect[@]}" \
  --skip-extended-insert "$VELMORA_TEST_DATABASE" dump_rows
sed -i "s|^1=$work/dump_rows.sql|1=$work/dump_rows.xml|" "$work/bench.cfg"
$measure "velmora -> XML" -- "$build/velmora" "$work/bench.cfg"
$measure "mariadb --xml -> file" --stdout "$work/client.xml" -- "$client" "${connect[@]}" \
  --database="$VELMORA_TEST_DATABASE" --xml -e 'select * from dump_rows'
ls -l "$work"/dump_rows.sql "$work"/dump.sql "$work"/dump_rows.xml "$work"/client.xml | awk '{print $5, $9}'
