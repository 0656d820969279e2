#!/usr/bin/env bash
# How fast an SQL script replays, one record a statement against
# RowsPerInsert=1000. Starts a private MariaDB server, fills the ten-column
# table with ROWS rows, exports it to a script each way, and loads each
# script with the command-line client into an empty database of its own;
# wall time of each export and each replay, and the replays' ratio.
#
#   bench/sql_replay_bench.sh            # 1,000,000 rows
#   bench/sql_replay_bench.sh 100000     # a quicker run
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

bench_start_server sql-replay
bench_fill_ten_column_rows replay_rows "$rows"
measure="/usr/bin/python3 $root/bench/measure_command.py"
printf '[SQL]\nCreateTable=1\nRowsPerInsert=1000\n' > "$work/multi.ini"
printf '[SQL]\nCreateTable=1\n' > "$work/single.ini"
for kind in single multi; do
  bench_write_config "$work/$kind.cfg" <<CFG
[Tables]
1=replay_rows
[Files]
1=$work/$kind.sql
[Templates]
1=$work/$kind.ini
CFG
done

echo
echo "replay_rows ($rows rows)"
for kind in single multi; do
  $measure "velmora -> SQL script ($kind)" -- "$build/velmora" "$work/$kind.cfg"
done
ls -l "$work/single.sql" "$work/multi.sql" | awk '{print $5, $9}'
for kind in single multi; do
  "$client" "${connect[@]}" -e "DROP DATABASE IF EXISTS replay_$kind; CREATE DATABASE replay_$kind"
  start=$(date +%s%N)
  "$client" "${connect[@]}" --default-character-set=utf8mb4 "replay_$kind" < "$work/$kind.sql"
  end=$(date +%s%N)
  echo "$kind $(( (end - start) / 1000000 ))" >> "$work/replay.times"
  count=$("$client" "${connect[@]}" -N -e "SELECT COUNT(*) FROM replay_$kind.replay_rows")
  echo "replay ($kind): $(tail -1 "$work/replay.times" | cut -d' ' -f2) ms, $count rows"
done
awk '{t[$1]=$2} END {printf "replay ratio single/multi: %.1f\n", t["single"] / t["multi"]}' "$work/replay.times"
