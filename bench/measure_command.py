#!/usr/bin/python3
"""Runs a command and prints its wall time, peak resident memory and processor
time (user and system).

    measure_command.py LABEL [--stdout FILE] -- COMMAND ARGS...
"""
import resource
import subprocess
import sys
import time


def main():
    args = sys.argv[1:]
    label = args.pop(0)
    stdout_path = None
    if args and args[0] == "--stdout":
        stdout_path = args[1]
        args = args[2:]
    if args and args[0] == "--":
        args = args[1:]
    stdout = open(stdout_path, "wb") if stdout_path else subprocess.DEVNULL
    start = time.monotonic()
    status = subprocess.run(args, stdout=stdout).returncode
    wall = time.monotonic() - start
    if stdout_path:
        stdout.close()
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = usage.ru_utime + usage.ru_stime
    print(f"{label:<40} {wall:8.3f} s  {usage.ru_maxrss / 1024:8.1f} MiB peak  {cpu:8.3f} cpu-s  (exit {status})")
    sys.exit(status)


if __name__ == "__main__":
    main()
