#!/usr/bin/env bash
# Workbook (XLS) speed and memory. Starts a private MariaDB server, fills a
# table of ROWS rows (default 1,000,000) of ten mixed columns, then
#  1. exports its first 65,535 rows (one full sheet) to XLS with velmora, and
#     writes the same values with python3-xlwt (installed when missing; its
#     time covers the writing alone, velmora's the whole run, query included);
#  2. exports the whole table to XLS (a sheet per 65,535 rows: 16 sheets for
#     1,000,000 rows) and to CSV, both reading the rows as the server sends
#     them; wall time and peak memory of each, and what the workbook added;
#  3. writes the same query's rows with the command-line client
#     (mariadb -B -N into its own file), and sets the XLS export against it:
#     the goals are a wall time of at most 1.0x the client's and a peak of at
#     most 64 MiB (the workbook's worksheets and shared strings wait in
#     temporary files, so the peak stays flat at any row count).
#
#   bench/xls_export_bench.sh           # 1,000,000 rows
#   bench/xls_export_bench.sh 100000    # a quicker run
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
if ! "$python" -c 'import xlwt, olefile' 2>/dev/null; then
  apt-get install -y python3-xlwt python3-olefile >/dev/null
fi

bench_start_server xls
connect+=(--database="$VELMORA_TEST_DATABASE")
bench_fill_ten_column_rows xls_rows "$rows"

velmora="$build/velmora"
measure="$python $root/bench/measure_command.py"
# The sheets of a workbook: its BOUNDSHEET records, counted in the globals.
count_sheets() {
  "$python" - "$1" <<'PY'
import struct, sys, olefile
stream = olefile.OleFileIO(sys.argv[1]).openstream('Workbook').read()
position = sheets = 0
while True:
    record, length = struct.unpack_from('<HH', stream, position)
    position += 4 + length
    sheets += record == 0x0085
    if record == 0x000A:
        break
print(sheets)
PY
}

sheet_rows=$((rows < 65535 ? rows : 65535))
bench_write_config "$work/sheet.cfg" <<CFG
[Queries]
q=xls_sheet
[SQL_q]
1=select * from xls_rows where id <= $sheet_rows
[Files]
q=$work/sheet.xls
CFG
"$client" "${connect[@]}" --batch --skip-column-names \
  -e "select * from xls_rows where id <= $sheet_rows" >"$work/sheet.tsv"
echo
echo "one sheet: $sheet_rows rows x 10 columns, best of three runs each"
# field NAME LINE: the number before the word NAME ("s", "MiB", "cpu-s") in a measure line
field() { awk -v name="$1" '{for (i = 1; i < NF; ++i) if ($(i + 1) == name) {print $i; exit}}' <<<"$2"; }
best_velmora="" best_xlwt=""
for run in 1 2 3; do
  line=$($measure "velmora -> XLS (query included)" -- "$velmora" "$work/sheet.cfg")
  if [[ -z "$best_velmora" ]] || awk -v a="$(field s "$line")" -v b="$(field s "$best_velmora")" \
    'BEGIN {exit !(a < b)}'; then best_velmora="$line"; fi
  times=$("$python" "$root/bench/xls_write_xlwt.py" "$work/sheet.tsv" "$work/sheet-xlwt.xls")
  if [[ -z "$best_xlwt" ]] || awk -v a="${times% *}" -v b="${best_xlwt% *}" 'BEGIN {exit !(a < b)}'; then
    best_xlwt="$times"
  fi
done
echo "$best_velmora"
printf '%-40s %8.3f s  %23.3f cpu-s  (writing only)\n' "python3-xlwt -> XLS" "${best_xlwt% *}" "${best_xlwt#* }"
awk -v vw="$(field s "$best_velmora")" -v vc="$(field cpu-s "$best_velmora")" -v xw="${best_xlwt% *}" \
  -v xc="${best_xlwt#* }" 'BEGIN {printf "velmora is %.1fx as fast as xlwt (wall), %.1fx (cpu)\n", xw / vw, xc / vc}'
ls -l "$work/sheet.xls" "$work/sheet-xlwt.xls" | awk '{print $5, $9}'

bench_write_config "$work/all.cfg" <<CFG
[Tables]
1=xls_rows
[Files]
1=$work/all.xls
CFG
echo
echo "whole table: $rows rows"
xls_line=$($measure "velmora -> XLS" -- "$velmora" "$work/all.cfg")
echo "$xls_line"
echo "sheets: $(count_sheets "$work/all.xls")"
ls -l "$work/all.xls" | awk '{print $5, $9}'
rm -f "$work/all.xls"
sed -i "s|^1=$work/all.xls|1=$work/all.csv|" "$work/all.cfg"
csv_line=$($measure "velmora -> CSV (same streamed rows)" -- "$velmora" "$work/all.cfg")
echo "$csv_line"
awk -v x="$(field MiB "$xls_line")" -v c="$(field MiB "$csv_line")" \
  'BEGIN {printf "the workbook added %.1f MiB to the peak of the same streamed rows\n", x - c}'

echo
echo "the command-line client on the same query, best of three runs each"
best_client="" best_xls=""
sed -i "s|^1=$work/all.csv|1=$work/all.xls|" "$work/all.cfg"
for run in 1 2 3; do
  line=$($measure "mariadb -B -N -> its own file" --stdout "$work/all.tsv" -- "$client" "${connect[@]}" \
    --database="$VELMORA_TEST_DATABASE" --batch --skip-column-names -e "select * from xls_rows")
  if [[ -z "$best_client" ]] || awk -v a="$(field s "$line")" -v b="$(field s "$best_client")" \
    'BEGIN {exit !(a < b)}'; then best_client="$line"; fi
  rm -f "$work/all.tsv"
  line=$($measure "velmora -> XLS" -- "$velmora" "$work/all.cfg")
  if [[ -z "$best_xls" ]] || awk -v a="$(field s "$line")" -v b="$(field s "$best_xls")" \
    'BEGIN {exit !(a < b)}'; then best_xls="$line"; fi
  rm -f "$work/all.xls"
done
echo "$best_client"
echo "$best_xls"
awk -v xw="$(field s "$best_xls")" -v cw="$(field s "$best_client")" -v xm="$(field MiB "$best_xls")" \
  -v xc="$(field cpu-s "$best_xls")" -v cc="$(field cpu-s "$best_client")" 'BEGIN {
    printf "XLS wall %.2fx the client (goal <= 1.0x: %s), processor %.2fx\n", xw / cw,
      xw <= cw ? "met" : "missed", xc / cc
    printf "XLS peak %.1f MiB (goal <= 64 MiB: %s)\n", xm, xm <= 64 ? "met" : "missed"
  }'
