#!/usr/bin/env bash
# Demonstration on a fresh Debian 12 machine: installs what it needs, builds
# velmora, starts a private MariaDB server, loads examples/sample_database.sql,
# exports it with examples/sample.cfg into ./demo-output and stops the server.
#
#   bash scripts/demo.sh        (as root, or as a user with sudo)
set -euo pipefail
cd "$(dirname "$0")/.."
readonly ROOT=$(pwd)
readonly BUILD_DIR="$ROOT/build-demo"
readonly OUTPUT_DIR="$ROOT/demo-output"

say() { printf '\n==> %s\n' "$*"; }

# --- packages --------------------------------------------------------------
readonly PACKAGES=(cmake ninja-build g++ pkg-config mariadb-server mariadb-client libmariadb-dev libmariadb3 libxlsxwriter-dev
  libharfbuzz-dev libfribidi-dev libfontconfig-dev zlib1g-dev libdeflate-dev fonts-dejavu-core fonts-droid-fallback)
source "$ROOT/scripts/missing_packages.sh"
mapfile -t missing < <(missing_packages "${PACKAGES[@]}")
if ((${#missing[@]})); then
  say "Installing ${missing[*]}"
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends --no-remove "${missing[@]}"
fi

# --- build -----------------------------------------------------------------
say "Building velmora (Release) in $BUILD_DIR"
cmake -G Ninja -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR"

# --- private server --------------------------------------------------------
SERVER_DIR=$(mktemp -d "${TMPDIR:-/tmp}/velmora-demo-XXXXXX")
stop_server() { bash "$ROOT/tests/support/test_server.sh" stop "$SERVER_DIR" >/dev/null 2>&1 || true; }
trap stop_server EXIT

say "Starting a private MariaDB server"
bash "$ROOT/tests/support/test_server.sh" start "$SERVER_DIR"
# shellcheck disable=SC1091
source "$SERVER_DIR/server.env"

say "Loading examples/sample_database.sql"
client=$(command -v mariadb || command -v mysql)
"$client" --no-defaults --socket="$VELMORA_TEST_SOCKET" --user="$VELMORA_TEST_USER" \
  --password="$VELMORA_TEST_PASSWORD" <"$ROOT/examples/sample_database.sql"

# The sample parameter file with the connection section of this server.
config="$SERVER_DIR/demo.cfg"
{
  printf '[Connection]\nHost=localhost\nPort=%s\nLogin=%s\nPassword=%s\nDBName=velmora_sample\n\n' \
    "$VELMORA_TEST_SOCKET" "$VELMORA_TEST_USER" "$VELMORA_TEST_PASSWORD"
  awk '/^[[:space:]]*\[/ { skip = tolower($0) ~ /^[[:space:]]*\[[[:space:]]*connection[[:space:]]*\]/ } !skip' \
    "$ROOT/examples/sample.cfg"
} >"$config"

# --- export ----------------------------------------------------------------
say "Exporting with examples/sample.cfg"
rm -rf "$OUTPUT_DIR"
status=0
# Text widths count characters in a UTF-8 locale; a bare machine has none set.
if [ -z "${LC_ALL:-}${LC_CTYPE:-}${LANG:-}" ]; then export LANG=C.UTF-8; fi
"$BUILD_DIR/velmora" "$config" || status=$?

if [[ -d "$OUTPUT_DIR" ]]; then
  say "The exported files are in $OUTPUT_DIR:"
  ls -l "$OUTPUT_DIR"
fi
if ((status != 0)); then
  echo "velmora ended with exit status $status" >&2
fi
exit "$status"
