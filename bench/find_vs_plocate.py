#!/usr/bin/env python3
"""Whole-process `nusk find` against `plocate -b -i` over the same tree, alternating.

For every query, each round runs every command once, in turn (so all see the same
machine load), and records the wall time and the peak resident set of that one process
(os.wait4). Prints per command the median and best wall, the median CPU (user + system),
the median peak memory, the result count (output lines), and the ratios of the medians
to plocate's.

    bench/find_vs_plocate.py --nusk build/native/app/nusk --dbdir /tmp/perfhome \\
        --plocate-db /tmp/perf_plocate.db [--baseline /tmp/nusk_base [--baseline-dbdir DIR]] [--runs 31] \\
        abc q '*a*b*c*'

Build the databases first: `nusk --dbdir DIR build` and
`updatedb -o DB -U / --prunepaths ""`.
"""
import argparse
import os
import statistics
import subprocess
import tempfile
import time


def run_once(argv):
    start = time.perf_counter()
    proc = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    out = proc.stdout.read()
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    return wall, usage.ru_maxrss, out.count(b"\n"), usage.ru_utime + usage.ru_stime


def peak_kib(argv):
    """Peak resident set of argv alone, in KiB. The ru_maxrss that wait4 gives for a child
    of this script counts the script's own memory that the child had before its exec
    (about 14 MiB of Python), so the program is started by /usr/bin/time, a small
    process, and its figure is read instead."""
    with tempfile.NamedTemporaryFile("r") as out:
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", out.name] + argv,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return int(out.read().split()[-1])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--nusk", required=True)
    ap.add_argument("--dbdir", required=True)
    ap.add_argument("--plocate-db", required=True)
    ap.add_argument("--baseline", help="an earlier nusk binary, run on the same database")
    ap.add_argument("--baseline-dbdir", help="the baseline's own copy of the database (default --dbdir), for a "
                    "baseline whose search snapshot has another format: on one folder the two would write theirs "
                    "in turn")
    ap.add_argument("--runs", type=int, default=31)
    ap.add_argument("--memory-runs", type=int, default=5,
                    help="runs per command under /usr/bin/time for the peak memory (after the timed rounds)")
    ap.add_argument("queries", nargs="+")
    a = ap.parse_args()
    print("load average before: %.2f %.2f %.2f" % os.getloadavg())
    for q in a.queries:
        cmds = {"nusk": [a.nusk, "find", "--dbdir", a.dbdir, q]}
        if a.baseline:
            cmds["baseline"] = [a.baseline, "find", "--dbdir", a.baseline_dbdir or a.dbdir, q]
        cmds["plocate"] = ["plocate", "-d", a.plocate_db, "-b", "-i", q]
        for argv in cmds.values():  # warm the page cache
            run_once(argv)
        walls = {k: [] for k in cmds}
        rss = {k: [] for k in cmds}
        cpu = {k: [] for k in cmds}
        count = {}
        for _ in range(a.runs):
            for k, argv in cmds.items():
                w, m, c, t = run_once(argv)
                walls[k].append(w)
                cpu[k].append(t)
                rss[k].append(m)
                count[k] = c
        peak = {k: statistics.median(peak_kib(argv) for _ in range(a.memory_runs)) for k, argv in cmds.items()}
        base = statistics.median(walls["plocate"])
        base_cpu = statistics.median(cpu["plocate"])
        print("query %r" % q)
        for k in cmds:
            med = statistics.median(walls[k])
            med_cpu = statistics.median(cpu[k])
            print("  %-8s wall median %6.1f ms (best %6.1f), ratio %.2f | CPU median %6.1f ms, ratio %.2f | "
                  "peak %5.1f MiB, ratio %.2f (wait4: %5.1f) | results %d"
                  % (k, med * 1000, min(walls[k]) * 1000, med / base, med_cpu * 1000, med_cpu / base_cpu,
                     peak[k] / 1024, peak[k] / peak["plocate"], statistics.median(rss[k]) / 1024, count[k]))
    print("load average after: %.2f %.2f %.2f" % os.getloadavg())


if __name__ == "__main__":
    main()
