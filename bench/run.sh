#!/usr/bin/env bash
# Builds the benchmarks optimised (build-bench) and runs them: the text export
# benchmark (arguments are passed on to it: [ROWS] [OUTPUT_DIRECTORY]), then
# every bench/*_bench.sh script with ROWS, if given, as its argument; the
# scripts find the build directory in VELMORA_BENCH_BUILD.
#
#   bench/run.sh            # 1,000,000 rows
#   bench/run.sh 100000     # a quicker run
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VELMORA_BENCH_BUILD:-$root/build-bench}"

cmake -G Ninja -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF -DVELMORA_BENCH=ON >/dev/null
cmake --build "$build"

"$build/bench/text_export_bench" "$@"

export VELMORA_BENCH_BUILD="$build"
for script in "$root"/bench/*_bench.sh; do
  [ -e "$script" ] || continue
  echo
  echo "== $(basename "$script")"
  bash "$script" ${1:+"$1"}
done
