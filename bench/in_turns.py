#!/usr/bin/python3
"""Runs shell commands in turn, RUNS rounds, and prints the median processor
time (user and system of the whole process) and wall time of each, with their
ratios to the commands named as yardsticks.

    in_turns.py RUNS LABEL... -- COMMAND... [--setup SETUP...] [--against LABEL...]

One round runs every command once, in order, so that a slow moment of the
machine touches them all alike. A SETUP, one per command, runs untimed before
each run of its command (removing the files of the run before, say). The columns after the times are the wall time
against each yardstick's ("wall/LABEL"), or, without --against, the processor
time against the first command's ("cpu ratio").
"""
import resource
import statistics
import subprocess
import sys
import time


def main():
    args = sys.argv[1:]
    runs = int(args.pop(0))
    against = []
    if "--against" in args:
        at = args.index("--against")
        args, against = args[:at], args[at + 1:]
    setups = []
    if "--setup" in args:
        at = args.index("--setup")
        args, setups = args[:at], args[at + 1:]
    split = args.index("--")
    labels, commands = args[:split], args[split + 1:]
    setups = setups or [""] * len(commands)
    times = {label: [] for label in labels}
    for _ in range(runs):
        for label, command, setup in zip(labels, commands, setups):
            if setup:
                subprocess.run(setup, shell=True, check=True)
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            start = time.monotonic()
            subprocess.run(command, shell=True, check=True)
            wall = time.monotonic() - start
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
            times[label].append((cpu, wall))
    medians = {label: (statistics.median(c for c, _ in times[label]), statistics.median(w for _, w in times[label]))
               for label in labels}
    width = max(len(label) for label in labels) + 2
    ratios = [f"wall/{label}" for label in against] or ["cpu ratio"]
    columns_width = max([14] + [len(name) for name in ratios])
    print(f"{'export':<{width}} {'cpu s':>8} {'wall s':>8} " + " ".join(f"{name:>{columns_width}}" for name in ratios) +
          f"   (medians of {runs} runs)")
    for label in labels:
        cpu, wall = medians[label]
        if against:
            columns = [wall / medians[other][1] for other in against]
        else:
            columns = [cpu / medians[labels[0]][0]]
        print(f"{label:<{width}} {cpu:8.2f} {wall:8.2f} " +
              " ".join(f"{value:{columns_width}.2f}" for value in columns))


if __name__ == "__main__":
    main()
