#!/usr/bin/env bash
# Items exported at once. Starts a private MariaDB server, fills ten tables
# with ROWS rows each (the ten-column table), and writes them all as SQL
# scripts (RowsPerInsert=1000, one consistent snapshot), RUNS times each in
# turn: `mydumper -t 2` (installed when missing) writing its own multi-row
# statements of the same tables, the same followed by a sync of its files,
# velmora one item after the other, and velmora with Threads=2. Prints the
# median wall and processor time of each and their ratios to both peer runs
# and to the serial run.
#
#   bench/threads_bench.sh              # 10 tables of 100,000 rows, 3 runs
#   bench/threads_bench.sh 20000 5      # a quicker run, 5 runs
#
# Uses the build directory in VELMORA_BENCH_BUILD when set (bench/run.sh sets
# it), else configures an optimised one in build-bench.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# bench/run.sh passes the rows of its single-table benchmarks: a tenth of them a table.
rows="${1:-1000000}"
rows=$((rows / 10))
runs="${2:-3}"
tables=10
build="${VELMORA_BENCH_BUILD:-$root/build-bench}"
# shellcheck source=bench/bench_server.sh
source "$root/bench/bench_server.sh"
bench_build_velmora
if ! command -v mydumper >/dev/null; then
  apt-get install -y mydumper >/dev/null
fi

bench_start_server threads
for table in $(seq 1 "$tables"); do
  bench_fill_ten_column_rows "t$table" "$rows"
done

printf '[SQL]\nCreateTable=1\nRowsPerInsert=1000\n' >"$work/script.ini"
for threads in 1 2; do
  {
    printf 'Snapshot=1\nThreads=%s\n[Tables]\n' "$threads"
    for table in $(seq 1 "$tables"); do printf '%s=t%s\n' "$table" "$table"; done
    printf '[Files]\nAll=%s/out%s/any.sql\n[Templates]\nAll=%s/script.ini\n' "$work" "$threads" "$work"
  } | bench_write_config "$work/threads$threads.cfg"
done

# velmora forces every file to the device before it names it done; the peer
# leaves its files to the page cache. "mydumper -t 2 + sync" adds the writing
# of its files to the device, the like-for-like figure.
dump="mydumper --socket='$VELMORA_TEST_SOCKET' --user='$VELMORA_TEST_USER' --password='$VELMORA_TEST_PASSWORD' --database='$VELMORA_TEST_DATABASE' --threads=2 --outputdir='$work/dump'"
labels=("mydumper -t 2" "mydumper -t 2 + sync" "velmora serial" "velmora Threads=2")
commands=(
  "$dump"
  "$dump && sync -f '$work/dump'"
  "'$build/velmora' '$work/threads1.cfg' > /dev/null"
  "'$build/velmora' '$work/threads2.cfg' > /dev/null"
)
# The files of the round before are removed, and the removal finished, before
# the clock starts: deleting them is not the next export's work.
setups=(
  "rm -rf '$work/dump' && sync"
  "rm -rf '$work/dump' && sync"
  "rm -rf '$work/out1' && sync"
  "rm -rf '$work/out2' && sync"
)

echo
echo "$tables tables of $rows rows as SQL scripts"
/usr/bin/python3 "$root/bench/in_turns.py" "$runs" "${labels[@]}" -- "${commands[@]}" \
  --setup "${setups[@]}" --against "${labels[0]}" "${labels[1]}" "${labels[2]}"
# Files and sizes of the last run of each.
for threads in 1 2; do
  echo "velmora (Threads=$threads): $(ls "$work/out$threads" | wc -l) files, $(du -sk "$work/out$threads" | cut -f1) KiB"
done
echo "mydumper: $(ls "$work/dump" | wc -l) files, $(du -sk "$work/dump" | cut -f1) KiB"
# Items run at once write the very bytes of the serial run.
if diff -rq "$work/out1" "$work/out2" >/dev/null; then
  echo "Threads=2 scripts: the same bytes as the serial run's"
else
  echo "Threads=2 scripts differ from the serial run's" >&2
  exit 1
fi
