#!/usr/bin/env bash
# Starts and stops a private MariaDB server for the test suite.
#
#   test_server.sh start DIR   install a fresh data directory under DIR, start the
#                              server on DIR/mysqld.sock and a free TCP port on
#                              127.0.0.1, create the test user and database, and
#                              write DIR/server.env
#   test_server.sh start-tls DIR
#                              as start, with TLS: certificates made with openssl
#                              in DIR/certs (a CA, a server certificate issued
#                              for "localhost" only, a client certificate, and a
#                              second CA that signed none of them)
#   test_server.sh stop DIR    shut the server down and remove DIR
#
# The server reads no option files; nothing outside DIR is touched.
set -euo pipefail

readonly TEST_USER=velmora
readonly TEST_PASSWORD='velmora-test-pw'
readonly TEST_DATABASE=velmora_test
readonly START_TIMEOUT_SECONDS=60

die() {
  echo "test_server.sh: $*" >&2
  exit 1
}

find_tool() {
  local name
  for name in "$@"; do
    if command -v "$name" >/dev/null 2>&1; then
      command -v "$name"
      return 0
    fi
    if [[ -x "/usr/sbin/$name" ]]; then
      echo "/usr/sbin/$name"
      return 0
    fi
  done
  die "none of these programs is installed: $*"
}

# True when something accepts connections on 127.0.0.1:$1.
port_in_use() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

pick_free_port() {
  local attempt port
  for attempt in $(seq 1 50); do
    port=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
    if ! port_in_use "$port"; then
      echo "$port"
      return 0
    fi
  done
  die "no free TCP port found"
}

server_pid() {
  local dir=$1
  [[ -s "$dir/mysqld.pid" ]] && cat "$dir/mysqld.pid"
}

stop_server() {
  local dir=$1
  [[ -d "$dir" ]] || return 0
  local admin pid
  admin=$(find_tool mariadb-admin mysqladmin)
  if [[ -S "$dir/mysqld.sock" ]]; then
    "$admin" --no-defaults --socket="$dir/mysqld.sock" --user=root --connect-timeout=5 \
      shutdown >/dev/null 2>&1 || true
  fi
  pid=$(server_pid "$dir" || true)
  if [[ -n "$pid" ]]; then
    local waited=0
    while kill -0 "$pid" 2>/dev/null && ((waited < 100)); do
      sleep 0.1
      waited=$((waited + 1))
    done
    if kill -0 "$pid" 2>/dev/null; then
      kill -TERM "$pid" 2>/dev/null || true
      sleep 2
      kill -KILL "$pid" 2>/dev/null || true
    fi
  fi
  rm -rf "$dir"
}

# Elliptic-curve keys: generated in milliseconds, unlike RSA ones.
new_key() {
  openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:prime256v1 -out "$1" 2>/dev/null
}

# Writes a CA ($1.pem, $1.key) named $2.
make_ca() {
  new_key "$1.key"
  openssl req -x509 -new -key "$1.key" -out "$1.pem" -days 2 -subj "/CN=$2" 2>/dev/null
}

# Writes $1.pem and $1.key, signed by the CA ca, with the extension lines $3.
make_signed() {
  local certs=$(dirname "$1")
  new_key "$1.key"
  openssl req -new -key "$1.key" -out "$1.csr" -subj "/CN=$2" 2>/dev/null
  printf '%s\n' "$3" >"$1.ext"
  openssl x509 -req -in "$1.csr" -CA "$certs/ca.pem" -CAkey "$certs/ca.key" -CAcreateserial \
    -out "$1.pem" -days 2 -extfile "$1.ext" 2>/dev/null
}

make_certificates() {
  local certs=$1
  command -v openssl >/dev/null 2>&1 || die "openssl is not installed"
  mkdir -p "$certs"
  make_ca "$certs/ca" "Velmora Test CA"
  make_ca "$certs/other-ca" "Velmora Unrelated CA"
  make_signed "$certs/server" localhost "subjectAltName=DNS:localhost"
  make_signed "$certs/client" velmora "extendedKeyUsage=clientAuth"
  chmod 600 "$certs"/*.key
}

start_server() {
  local dir=$1 tls=${2:-}
  stop_server "$dir"
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  local -a tls_options=()
  if [[ -n "$tls" ]]; then
    make_certificates "$dir/certs"
    tls_options=(--ssl-ca="$dir/certs/ca.pem" --ssl-cert="$dir/certs/server.pem"
      --ssl-key="$dir/certs/server.key")
  fi

  local install_db server admin client user
  install_db=$(find_tool mariadb-install-db mysql_install_db)
  server=$(find_tool mariadbd mysqld)
  admin=$(find_tool mariadb-admin mysqladmin)
  client=$(find_tool mariadb mysql)
  user=$(id -un)

  # Host names are never looked up: a bare machine may have no /etc/hosts.
  # Temporary tables go to the server's own directory: servers set up at
  # the same time in one /tmp can take each other's names there.
  mkdir -p "$dir/tmp"
  if ! "$install_db" --no-defaults --datadir="$dir/data" --user="$user" --tmpdir="$dir/tmp" \
      --auth-root-authentication-method=normal --skip-test-db --skip-name-resolve --force \
      >"$dir/install.log" 2>&1; then
    cat "$dir/install.log" >&2
    die "mariadb-install-db failed"
  fi

  local port attempt started=0
  for attempt in 1 2 3 4 5; do
    port=$(pick_free_port)
    rm -f "$dir/mysqld.pid" "$dir/mysqld.sock"
    "$server" --no-defaults --datadir="$dir/data" --tmpdir="$dir/tmp" --socket="$dir/mysqld.sock" \
      --port="$port" --bind-address=127.0.0.1 --user="$user" \
      --pid-file="$dir/mysqld.pid" --log-error="$dir/error.log" \
      --skip-networking=0 --skip-name-resolve --character-set-server=utf8mb4 \
      --collation-server=utf8mb4_general_ci --innodb-buffer-pool-size=64M "${tls_options[@]}" \
      </dev/null >/dev/null 2>&1 &
    local launcher=$!
    local deadline=$((SECONDS + START_TIMEOUT_SECONDS))
    while ((SECONDS < deadline)); do
      if "$admin" --no-defaults --socket="$dir/mysqld.sock" --user=root \
          --connect-timeout=2 ping >/dev/null 2>&1; then
        started=1
        break
      fi
      # The server gave up (a taken port, for one): try the next port.
      kill -0 "$launcher" 2>/dev/null || break
      sleep 0.2
    done
    ((started)) && break
    kill -KILL "$launcher" 2>/dev/null || true
    wait "$launcher" 2>/dev/null || true
  done
  if ((!started)); then
    [[ -f "$dir/error.log" ]] && cat "$dir/error.log" >&2
    die "the server did not answer within ${START_TIMEOUT_SECONDS}s"
  fi

  "$client" --no-defaults --socket="$dir/mysqld.sock" --user=root <<SQL
CREATE USER '$TEST_USER'@'localhost' IDENTIFIED BY '$TEST_PASSWORD';
CREATE USER '$TEST_USER'@'127.0.0.1' IDENTIFIED BY '$TEST_PASSWORD';
GRANT ALL PRIVILEGES ON *.* TO '$TEST_USER'@'localhost' WITH GRANT OPTION;
GRANT ALL PRIVILEGES ON *.* TO '$TEST_USER'@'127.0.0.1' WITH GRANT OPTION;
CREATE DATABASE $TEST_DATABASE CHARACTER SET utf8mb4;
SQL

  cat >"$dir/server.env" <<ENV
VELMORA_TEST_SOCKET=$dir/mysqld.sock
VELMORA_TEST_PORT=$port
VELMORA_TEST_USER=$TEST_USER
VELMORA_TEST_PASSWORD=$TEST_PASSWORD
VELMORA_TEST_DATABASE=$TEST_DATABASE
VELMORA_TEST_CERTS=${tls:+$dir/certs}
ENV
  echo "test server running on port $port, socket $dir/mysqld.sock"
}

[[ $# -eq 2 ]] || die "usage: test_server.sh start|start-tls|stop DIR"
case "$1" in
  start) start_server "$2" ;;
  start-tls) start_server "$2" tls ;;
  stop) stop_server "$2" ;;
  *) die "usage: test_server.sh start|start-tls|stop DIR" ;;
esac
