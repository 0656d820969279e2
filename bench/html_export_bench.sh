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
echo "filling html_rows with $rows rows"
"$client" "${connect[@]}" <<SQL
CREATE TABLE html_rows (
  id INT NOT NULL PRIMARY KEY,
  quantity INT,
  amount DECIMAL(12,2),
  ratio DOUBLE,
  ordered DATE,
  changed DATETIME,
  customer VARCHAR(40),
  city VARCHAR(40),
  flag TINYINT,
  note VARCHAR(200)
) CHARACTER SET utf8mb4;
INSERT INTO html_rows
SELECT seq, seq % 1000, seq * 1.25, seq / 7, '2024-01-01' + INTERVAL (seq % 3650) DAY,
       '2024-01-01 08:00:00' + INTERVAL seq SECOND, CONCAT('customer ', seq % 5000),
       IF(seq % 3 = 0, 'Zürich', 'Lyon & <Paris>'), seq % 2,
       IF(seq % 10 = 0, NULL, CONCAT('note "', seq, '"'))
FROM seq_1_to_$rows;
SQL

velmora="$build/velmora"
cat >"$work/bench.cfg" <<CFG
[Connection]
Host=localhost
Port=$VELMORA_TEST_SOCKET
Login=$VELMORA_TEST_USER
Password=$VELMORA_TEST_PASSWORD
DBName=$VELMORA_TEST_DATABASE
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
