#!/usr/bin/env bash
# Starts a private MariaDB server, fills a table of mixed columns, and exports
# its first 100,000, 1,000,000 and 4,000,000 rows with velmora into every
# format, beside the mariadb client's own outputs of the same rows; prints wall
# time, peak memory and processor time of each run and velmora's ratios to its
# peers, as a table (bench/scale_bench.py).
#
#   bench/scale_bench.sh            # 100,000, 1,000,000 and 4,000,000 rows
#   bench/scale_bench.sh 100000     # 10,000, 100,000 and 400,000 rows
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

bench_start_server scale
largest=$((rows * 4))
bench_fill_mixed_rows scale_rows "$largest"

/usr/bin/python3 "$root/bench/scale_bench.py" --velmora "$build/velmora" --client "$client" \
  --dump "$(command -v mariadb-dump || command -v mysqldump)" --work "$work" \
  --socket "$VELMORA_TEST_SOCKET" --user "$VELMORA_TEST_USER" --password "$VELMORA_TEST_PASSWORD" \
  --database "$VELMORA_TEST_DATABASE" --table scale_rows \
  --rows $((rows / 10)) "$rows" "$largest"
