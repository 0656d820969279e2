#!/usr/bin/env bash
# Processor time of whole exports against the client writing its own file.
# Starts a private MariaDB server, fills the ten-column table (two integers, a
# decimal, a double, a date, a date-time, three texts, a flag) with ROWS rows,
# and runs, RUNS times each in turn, `mariadb -B -N -e 'select * from t' > file`
# and velmora exporting the same table into CSV, TXT (with its width pass),
# XLS, RTF, DBF and PDF. Prints the median processor time (user and system)
# and wall time of each and the ratio of its processor time to the client's.
#
#   bench/processor_ratio_bench.sh              # 1,000,000 rows, 3 runs
#   bench/processor_ratio_bench.sh 100000 5     # a quicker run, 5 runs
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

bench_start_server ratio
bench_fill_ten_column_rows t "$rows"

commands=()
labels=()
add_command() {
  labels+=("$1")
  commands+=("$2")
}
add_command "mariadb -B -N > file" "\"$client\" ${connect[*]} --database=$VELMORA_TEST_DATABASE -B -N -e 'select * from t' > \"$work/client.tsv\""
for ending in csv txt xls rtf dbf pdf; do
  bench_write_config "$work/$ending.cfg" <<CFG
[Tables]
1=t
[Files]
1=$work/t.$ending
CFG
  add_command "velmora -> ${ending^^}" "\"$build/velmora\" \"$work/$ending.cfg\" > /dev/null"
done

/usr/bin/python3 "$root/bench/in_turns.py" "$runs" "${labels[@]}" -- "${commands[@]}"
