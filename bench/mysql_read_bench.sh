#!/usr/bin/env bash
# Starts a private MariaDB server, fills a table of 1,000,000 rows of mixed
# columns on the server side, compares reading it through the query data set
# with the mariadb command-line client (mysql_read_bench), and stops the server.
#
#   bench/mysql_read_bench.sh           # 1,000,000 rows
#   bench/mysql_read_bench.sh 100000    # a quicker run
#
# Uses the build directory in VELMORA_BENCH_BUILD when set (bench/run.sh sets
# it), else configures an optimised one in build-bench-mysql.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
rows="${1:-1000000}"
# shellcheck source=bench/bench_server.sh
source "$root/bench/bench_server.sh"
build="${VELMORA_BENCH_BUILD:-}"
if [[ -z "$build" ]]; then
  build="$root/build-bench-mysql"
  cmake -G Ninja -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF \
    -DVELMORA_BENCH=ON >/dev/null
  cmake --build "$build" --target mysql_read_bench
fi

bench_start_server mysql
bench_fill_mixed_rows bench_rows "$rows"

"$build/bench/mysql_read_bench" --socket="$VELMORA_TEST_SOCKET" --user="$VELMORA_TEST_USER" \
  --password="$VELMORA_TEST_PASSWORD" --database="$VELMORA_TEST_DATABASE" --table=bench_rows \
  --client="$client"

# Whole exports of the same table: velmora into CSV, fixed-width text (every
# column, the TEXT one included) and PDF (pages streamed: its peak memory should
# stay near the CSV export's) beside the client's own tab-separated output.
echo
echo "exporting bench_rows to files ($rows rows)"
velmora="$build/velmora"
if [[ ! -x "$velmora" ]]; then cmake --build "$build" --target velmora >/dev/null; fi
bench_write_config "$work/bench.cfg" <<CFG
[Tables]
1=bench_rows
[Files]
1=$work/bench_rows.csv
[Templates]
All=$work/bench.ini
CFG
cat >"$work/bench.ini" <<INI
[FIELDS]
1=id
2=quantity
3=amount
4=ratio
5=ordered
6=changed
7=customer
8=note
INI
measure="/usr/bin/python3 $root/bench/measure_command.py"
$measure "velmora -> CSV" -- "$velmora" "$work/bench.cfg"
sed -i "s|^1=$work/bench_rows.csv|1=$work/bench_rows.txt|" "$work/bench.cfg"
$measure "velmora -> TXT (width pass + padding)" -- "$velmora" "$work/bench.cfg"
sed -i "s|^1=$work/bench_rows.txt|1=$work/bench_rows.pdf|" "$work/bench.cfg"
$measure "velmora -> PDF (ruled pages)" -- "$velmora" "$work/bench.cfg"
$measure "mariadb --batch -> file" --stdout "$work/client.tsv" -- "$client" --no-defaults \
  --socket="$VELMORA_TEST_SOCKET" --user="$VELMORA_TEST_USER" --password="$VELMORA_TEST_PASSWORD" \
  --database="$VELMORA_TEST_DATABASE" --batch --skip-column-names -e 'select * from bench_rows'
ls -l "$work"/bench_rows.csv "$work"/bench_rows.txt "$work"/bench_rows.pdf "$work"/client.tsv | awk '{print $5, $9}'
