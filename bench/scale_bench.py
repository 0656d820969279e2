#!/usr/bin/python3
"""Exports the first ROWS rows of a table with velmora into every format and
with the mariadb client (and mariadb-dump) into theirs, one run each, and
prints one Markdown table: wall time, peak resident memory and processor time
of every run, and velmora's wall-time and processor-time ratios to its peer.
Called by scale_bench.sh, which starts the server and fills the table."""
import argparse
import os
import subprocess
import time

# Export, file ending, template lines, and the peer it is compared with.
EXPORTS = [
    ("CSV", "csv", "", "client -B -N --quick"),
    ("CSV (stored)", "csv", "[GENERAL]\nStoreResult=1\n", "client -B -N"),
    ("TXT (width pass, stored)", "txt", "", "client -B -N"),
    ("TXT (no width pass)", "txt", "[TXT]\nAutoCalcColWidth=0\n", "client -B -N --quick"),
    ("DIF (stored)", "dif", "", "client -B -N"),
    ("SYLK", "slk", "", "client -B -N"),
    ("HTML", "html", "", "client --html"),
    ("XML", "xml", "", "client --xml"),
    ("SQL script", "sql", "", "dump"),
    ("JSON", "json", "", "client -B -N"),
    ("XLS", "xls", "", "client -B -N"),
    ("XLSX", "xlsx", "", "client -B -N"),
    ("RTF", "rtf", "", "client -B -N"),
    ("LaTeX", "tex", "", "client -B -N"),
    ("PDF", "pdf", "", "client -B -N"),
    ("DBF (stored)", "dbf", "", "client -B -N"),
]


def run(command, stdout_path=None):
    """Wall seconds, peak MiB and processor seconds of one command."""
    stdout = open(stdout_path, "wb") if stdout_path else subprocess.DEVNULL
    start = time.monotonic()
    process = subprocess.Popen(command, stdout=stdout)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.monotonic() - start
    if stdout_path:
        stdout.close()
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit("failed: %s" % " ".join(command))
    return wall, usage.ru_maxrss / 1024, usage.ru_utime + usage.ru_stime


def remove_outputs(work):
    for name in os.listdir(work):
        if name.startswith("out") or name.startswith("peer"):
            os.remove(os.path.join(work, name))


def main():
    parser = argparse.ArgumentParser()
    for name in ("velmora", "client", "dump", "work", "socket", "user", "password", "database", "table"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--rows", type=int, nargs="+", required=True)
    args = parser.parse_args()
    connect = ["--no-defaults", "--socket=" + args.socket, "--user=" + args.user,
               "--password=" + args.password]
    print("| rows | export | wall s | peak MiB | cpu s | peer | peer wall s | peer peak MiB | wall ratio | cpu ratio |")
    print("|---:|---|---:|---:|---:|---|---:|---:|---:|---:|")
    for rows in args.rows:
        query = "select * from %s where id <= %d" % (args.table, rows)
        peers = {
            "client -B -N": [args.client] + connect + ["--database=" + args.database, "-B", "-N", "-e", query],
            "client -B -N --quick": [args.client] + connect + ["--database=" + args.database, "-B", "-N",
                                                              "--quick", "-e", query],
            "client --html": [args.client] + connect + ["--database=" + args.database, "--html", "-e", query],
            "client --xml": [args.client] + connect + ["--database=" + args.database, "--xml", "-e", query],
            "dump": [args.dump] + connect + ["--skip-extended-insert", "--where=id <= %d" % rows, args.database,
                                             args.table],
        }
        peer_figures = {}
        for peer, command in peers.items():
            peer_figures[peer] = run(command, os.path.join(args.work, "peer.out"))
            remove_outputs(args.work)
            wall, peak, cpu = peer_figures[peer]
            print("| %d | %s | %.2f | %.0f | %.2f | | | | | |" % (rows, peer, wall, peak, cpu), flush=True)
        for label, ending, template, peer in EXPORTS:
            config = os.path.join(args.work, "scale.cfg")
            with open(os.path.join(args.work, "scale.ini"), "w") as out:
                out.write(template)
            with open(config, "w") as out:
                out.write("[Connection]\nHost=localhost\nPort=%s\nLogin=%s\nPassword=%s\nDBName=%s\n"
                          "[Queries]\nq=rows\n[SQL_q]\n1=%s\n[Files]\nq=%s\n[Templates]\nq=%s\n" % (
                              args.socket, args.user, args.password, args.database, query,
                              os.path.join(args.work, "out." + ending), os.path.join(args.work, "scale.ini")))
            wall, peak, cpu = run([args.velmora, config])
            remove_outputs(args.work)
            peer_wall, peer_peak, peer_cpu = peer_figures[peer]
            print("| %d | %s | %.2f | %.0f | %.2f | %s | %.2f | %.0f | %.2f | %.2f |" % (
                rows, label, wall, peak, cpu, peer, peer_wall, peer_peak, wall / peer_wall, cpu / peer_cpu),
                flush=True)


if __name__ == "__main__":
    main()
