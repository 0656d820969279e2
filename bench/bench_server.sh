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
