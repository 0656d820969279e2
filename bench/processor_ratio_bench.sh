#!/usr/bin/env bash
# Processor time of whole exports against the client writing its own file.
# Starts a private MariaDB server, fills the ten-column table (two integers, a
# decimal, a double, a date, a date-time, three texts, a flag) with ROWS rows,
# and runs, RUNS times each in turn, `mariadb -B -N -e 'select * from t' > file`
# and velmora exporting the same table into CSV, TXT (with its width pass),
# XLS, RTF, DBF and PDF. Prints the median processor time (user and system)
# and wall time of each and the ratio of its processor time to the client's.
#
#   bench/processor_ratio_bench.sh              # 1,000,000 rows, 3 runs
#   bench/processor_ratio_bench.sh 100000 5     # a quicker run, 5 runs
#
# Uses the build directory in VELMORA_BENCH_BUILD when set (bench/run.sh sets
# it), else builds an optimised one in build-bench-ratio.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
rows="${1:-1000000}"
runs="${2:-3}"
# shellcheck source=bench/bench_server.sh
source "$root/bench/bench_server.sh"
build="${VELMORA_BENCH_BUILD:-$root/build-bench-ratio}"
bench_build_velmora

bench_start_server ratio
bench_fill_ten_column_rows t "$rows"

commands=()
labels=()
add_command() {
  labels+=("$1")
  commands+=("$2")
}
add_command "mariadb -B -N > file" "\"$client\" ${connect[*]} --database=$VELMORA_TEST_DATABASE -B -N -e 'select * from t' > \"$work/client.tsv\""
for ending in csv txt xls rtf dbf pdf; do
  bench_write_config "$work/$ending.cfg" <<CFG
[Tables]
1=t
[Files]
1=$work/t.$ending
CFG
  add_command "velmora -> ${ending^^}" "\"$build/velmora\" \"$work/$ending.cfg\" > /dev/null"
done

/usr/bin/python3 - "$runs" "${labels[@]}" -- "${commands[@]}" <<'PY'
import resource, statistics, subprocess, sys, time

args = sys.argv[1:]
runs = int(args.pop(0))
split = args.index("--")
labels, commands = args[:split], args[split + 1:]
times = {label: [] for label in labels}
for _ in range(runs):
    # One run of every command in turn, so that a slow moment of the machine
    # touches them all alike.
    for label, command in zip(labels, commands):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.monotonic()
        subprocess.run(command, shell=True, check=True)
        wall = time.monotonic() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        times[label].append((cpu, wall))
client_cpu = statistics.median(cpu for cpu, _ in times[labels[0]])
print(f"{'export':<24} {'cpu s':>8} {'wall s':>8} {'cpu ratio':>10}   (medians of {runs} runs)")
for label in labels:
    cpu = statistics.median(c for c, _ in times[label])
    wall = statistics.median(w for _, w in times[label])
    print(f"{label:<24} {cpu:8.2f} {wall:8.2f} {cpu / client_cpu:10.2f}")
PY
