#!/usr/bin/env bash
# Checksums of what a build writes, to show that a change of the program's
# inside leaves every output byte as it was:
#
#   bash bench/output_checksums.sh VELMORA_BINARY [ROWS] > sums.txt
#
# Starts a private MariaDB server, loads the sample database of examples/, the
# awkward tables of the exactness fixture and the ten-column benchmark table
# with ROWS rows (default 1,000,000), and exports
# - every table of the sample and the fixture into every output format, once
#   with no template and once with each template of examples/templates;
# - the benchmark table into every format with no template.
# Prints one line per file: "TEMPLATE ITEM.EXT MD5". Bytes that differ from run
# to run by design are left out of the sum: the date of the last update in a
# DBF header, and the creation time of an .xlsx package (its members are summed
# instead of the archive). Compare two runs with diff.
set -euo pipefail
readonly binary=$(realpath "$1")
readonly rows=${2:-1000000}
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/bench_server.sh
source "$root/bench/bench_server.sh"

readonly endings=(xls xlsx rtf doc html txt csv dif slk tex xml dbf pdf sql json jsonl)

bench_start_server checksums >&2
"$client" "${connect[@]}" <"$root/examples/sample_database.sql"
"$client" "${connect[@]}" -e "CREATE DATABASE velmora_awkward CHARACTER SET utf8mb4"
"$client" "${connect[@]}" --database=velmora_awkward <"$root/tests/exactness/fixture.sql"
sample_tables=$("$client" "${connect[@]}" -N -e "SHOW FULL TABLES FROM velmora_sample" | cut -f1)
awkward_tables=$("$client" "${connect[@]}" -N -e "SHOW TABLES FROM velmora_awkward")
bench_fill_ten_column_rows big "$rows" >&2

# write_parameters FILE TEMPLATE DATABASE:TABLE...: one item per table and ending.
write_parameters() {
  local file=$1 template=$2 entry database table ending key
  shift 2
  {
    printf '[Connection]\nHost=localhost\nPort=%s\nLogin=%s\nPassword=%s\nDBName=%s\n' \
      "$VELMORA_TEST_SOCKET" "$VELMORA_TEST_USER" "$VELMORA_TEST_PASSWORD" "$VELMORA_TEST_DATABASE"
    for section in Tables Databases Files Templates; do
      printf '[%s]\n' "$section"
      for entry in "$@"; do
        database=${entry%%:*} table=${entry#*:}
        for ending in "${endings[@]}"; do
          key="${database}_${table}_${ending}"
          case $section in
            Tables) echo "$key=$table" ;;
            Databases) echo "$key=$database" ;;
            Files) echo "$key=$out/$database.$table.$ending" ;;
            Templates) [[ -z $template ]] || echo "$key=$template" ;;
          esac
        done
      done
    done
  } >"$file"
}

# sum_outputs LABEL: the sums of every file under $out, then empties it.
sum_outputs() {
  /usr/bin/python3 - "$1" "$out" <<'PY'
import hashlib, os, sys, zipfile
label, folder = sys.argv[1], sys.argv[2]
for name in sorted(os.listdir(folder)):
    path = os.path.join(folder, name)
    digest = hashlib.md5()
    if name.endswith(".xlsx"):
        with zipfile.ZipFile(path) as package:
            for member in sorted(package.namelist()):
                if member != "docProps/core.xml":
                    digest.update(member.encode() + b"\0" + package.read(member))
    else:
        data = bytearray(open(path, "rb").read())
        if name.lower().endswith(".dbf") and len(data) > 4:
            data[1:4] = b"\0\0\0"
        digest.update(data)
    print(label, name, digest.hexdigest())
PY
  rm -rf "${out:?}"/*
}

out="$work/out"
mkdir -p "$out"
entries=()
for table in $sample_tables; do entries+=("velmora_sample:$table"); done
for table in $awkward_tables; do entries+=("velmora_awkward:$table"); done
for template in "" "$root"/examples/templates/*.ini; do
  write_parameters "$work/run.cfg" "$template" "${entries[@]}"
  (cd "$work" && "$binary" run.cfg >"$work/run.log" 2>&1) || true
  label=$(basename "${template:-none}")
  sum_outputs "$label"
  # The lines of the run are part of what it writes.
  echo "$label run.log $(sed "s#$work#WORK#g" "$work/run.log" | md5sum | cut -d' ' -f1)"
done
write_parameters "$work/run.cfg" "" "$VELMORA_TEST_DATABASE:big"
(cd "$work" && "$binary" run.cfg >"$work/run.log" 2>&1) || true
sum_outputs none
echo "none big.run.log $(sed "s#$work#WORK#g" "$work/run.log" | md5sum | cut -d' ' -f1)"
