#!/usr/bin/env bash
# Workbook (XLSX) speed and memory. Starts a private MariaDB server, fills a
# table of ROWS rows (default 1,000,000) of ten mixed columns, and exports the
# whole table, streamed as the server sends it, to XLSX with velmora, beside
# the client writing its own file of the same query (`mariadb -B -N`), best of
# three runs each: wall time, processor time, peak memory, their ratios, and
# cells per second. Then the same export at deflate levels 0 and 6
# ([XLSX] CompressionLevel) for the size and time they trade.
#
#   bench/xlsx_export_bench.sh           # 1,000,000 rows
#   bench/xlsx_export_bench.sh 100000    # a quicker run
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
python=/usr/bin/python3

bench_start_server xlsx
connect+=(--database="$VELMORA_TEST_DATABASE")
bench_fill_ten_column_rows xlsx_rows "$rows"

velmora="$build/velmora"
measure="$python $root/bench/measure_command.py"
# field NAME LINE: the number before the word NAME ("s", "MiB", "cpu-s") in a measure line
field() { awk -v name="$1" '{for (i = 1; i < NF; ++i) if ($(i + 1) == name) {print $i; exit}}' <<<"$2"; }
# best LINE...: the line of the shortest wall time
best() {
  local chosen=""
  for line in "$@"; do
    if [[ -z "$chosen" ]] || awk -v a="$(field s "$line")" -v b="$(field s "$chosen")" 'BEGIN {exit !(a < b)}'; then
      chosen="$line"
    fi
  done
  echo "$chosen"
}

# config LEVEL: the parameter file and template of one export
config() {
  printf '[XLSX]\nCompressionLevel=%s\n' "$1" >"$work/level$1.ini"
  bench_write_config "$work/level$1.cfg" <<CFG
[Tables]
1=xlsx_rows
[Files]
1=$work/all$1.xlsx
[Templates]
1=$work/level$1.ini
CFG
}

echo
echo "whole table: $rows rows x 10 columns, streamed, best of three runs each"
config 1
runs=()
for run in 1 2 3; do
  runs+=("$($measure "velmora -> XLSX (level 1)" -- "$velmora" "$work/level1.cfg")")
done
xlsx_line=$(best "${runs[@]}")
runs=()
for run in 1 2 3; do
  runs+=("$($measure "mariadb -B -N -> file" --stdout "$work/client.tsv" -- "$client" "${connect[@]}" \
    --batch --skip-column-names -e "select * from xlsx_rows")")
done
client_line=$(best "${runs[@]}")
echo "$xlsx_line"
echo "$client_line"
awk -v vw="$(field s "$xlsx_line")" -v vc="$(field cpu-s "$xlsx_line")" -v vm="$(field MiB "$xlsx_line")" \
  -v cw="$(field s "$client_line")" -v cc="$(field cpu-s "$client_line")" -v cells="$((rows * 10))" \
  'BEGIN {printf "XLSX / client: wall %.2fx (goal <= 1.5), cpu %.2fx (goal <= 2), peak %.1f MiB (goal <= 32 MB)\n",
          vw / cw, vc / cc, vm
          printf "%.2f million cells per second\n", cells / vw / 1e6}'
"$python" - "$work/all1.xlsx" <<'PY'
import sys, zipfile
archive = zipfile.ZipFile(sys.argv[1])
info = archive.getinfo('xl/worksheets/sheet1.xml')
print(f"worksheet: {info.file_size / 2**20:.1f} MiB of XML deflated to {info.compress_size / 2**20:.1f} MiB"
      f" ({info.compress_size / info.file_size:.1%}); entries {len(archive.namelist())}")
PY
rm -f "$work/all1.xlsx"

echo
for level in 0 6; do
  config "$level"
  line=$($measure "velmora -> XLSX (level $level)" -- "$velmora" "$work/level$level.cfg")
  echo "$line, $(stat -c %s "$work/all$level.xlsx") bytes"
  rm -f "$work/all$level.xlsx"
done
