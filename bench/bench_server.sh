# Shared by the benchmark scripts (sourced, not run): the optimised program and
# a private MariaDB server that is stopped and removed when the script exits.

# Configures and builds velmora in $build (optimised) unless it is there.
bench_build_velmora() {
  if [[ ! -x "$build/velmora" ]]; then
    cmake -G Ninja -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF \
      -DVELMORA_BENCH=ON >/dev/null
    cmake --build "$build" --target velmora
  fi
}

# Starts the server in a new working directory named after $1; sets work,
# server, client and connect (the client's connection options, no database)
# and the variables of the server's server.env.
bench_start_server() {
  work="$(mktemp -d "${TMPDIR:-/tmp}/velmora-$1-bench-XXXXXX")"
  server="$work/server"
  trap 'bash "$root/tests/support/test_server.sh" stop "$server" || true; rm -rf "$work"' EXIT
  bash "$root/tests/support/test_server.sh" start "$server"
  # shellcheck disable=SC1091
  source "$server/server.env"
  client=$(command -v mariadb || command -v mysql)
  connect=(--no-defaults --socket="$VELMORA_TEST_SOCKET" --user="$VELMORA_TEST_USER"
    --password="$VELMORA_TEST_PASSWORD")
}

# Creates table $1 in the test database and fills it with $2 rows of eight
# mixed columns: two integers, a decimal, a double, a date, a date-time, a
# short text and a longer one that is NULL in every tenth row. $3 and $4, when
# given, are the SQL expressions (of seq) of the two texts.
bench_fill_mixed_rows() {
  local customer="${3:-CONCAT('customer ', seq % 5000)}" note="${4:-CONCAT('note for order ', seq)}"
  echo "filling $1 with $2 rows"
  "$client" "${connect[@]}" --database="$VELMORA_TEST_DATABASE" <<SQL
CREATE TABLE $1 (
  id INT NOT NULL PRIMARY KEY,
  quantity INT,
  amount DECIMAL(12,2),
  ratio DOUBLE,
  ordered DATE,
  changed DATETIME,
  customer VARCHAR(40),
  note TEXT
) CHARACTER SET utf8mb4;
INSERT INTO $1
SELECT seq, seq % 1000, seq * 1.25, seq / 7, '2024-01-01' + INTERVAL (seq % 3650) DAY,
       '2024-01-01 08:00:00' + INTERVAL seq SECOND, $customer,
       IF(seq % 10 = 0, NULL, $note)
FROM seq_1_to_$2;
SQL
}

# Creates table $1 in the test database and fills it with $2 rows of ten
# columns: the eight above (note a VARCHAR(200) with quotes), a city with
# markup and non-ASCII letters, and a TINYINT flag.
bench_fill_ten_column_rows() {
  echo "filling $1 with $2 rows"
  "$client" "${connect[@]}" --database="$VELMORA_TEST_DATABASE" <<SQL
CREATE TABLE $1 (
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
INSERT INTO $1
SELECT seq, seq % 1000, seq * 1.25, seq / 7, '2024-01-01' + INTERVAL (seq % 3650) DAY,
       '2024-01-01 08:00:00' + INTERVAL seq SECOND, CONCAT('customer ', seq % 5000),
       IF(seq % 3 = 0, 'Zürich', 'Lyon & <Paris>'), seq % 2,
       IF(seq % 10 = 0, NULL, CONCAT('note "', seq, '"'))
FROM seq_1_to_$2;
SQL
}

# Writes parameter file $1: the connection to the test database, then the
# item sections read from standard input.
bench_write_config() {
  {
    printf '[Connection]\nHost=localhost\nPort=%s\nLogin=%s\nPassword=%s\nDBName=%s\n' \
      "$VELMORA_TEST_SOCKET" "$VELMORA_TEST_USER" "$VELMORA_TEST_PASSWORD" "$VELMORA_TEST_DATABASE"
    cat
  } >"$1"
}
