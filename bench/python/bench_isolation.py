#!/usr/bin/python3
"""Speed of quorix.isolation_at: 10^6 (case, D) pairs through its ufunc.

    PYTHONPATH=build/dev/src/python /usr/bin/python3 bench/python/bench_isolation.py

Two layouts of a million pairs: one case and a million displacements (each
thread keeps the case's loop), and a thousand cases by a thousand
displacements, the case changing at every element (D along the first axis;
each thread keeps the loops of the cases it meets). Each on every core and
on one thread (workers=1). Best and median wall time of a few runs, the CPU
time of the best one, and "cores", CPU time over wall time: on a machine
shared with other work the wall time is the CPU time over the share of the
cores the process got, so the load average is printed beside them.
"""
import os
import statistics
import time

import numpy as np

import quorix


def timed(call, repeat=3):
    runs = []
    for _ in range(repeat):
        wall, cpu = time.perf_counter(), time.process_time()
        call()
        runs.append((time.perf_counter() - wall, time.process_time() - cpu))
    best = min(runs)
    return best[0], statistics.median(r[0] for r in runs), best[1]


def main():
    D = np.geomspace(0.01, 50.0, 1_000_000)
    n = np.linspace(0.5, 5.0, 1000)
    D_rows = np.geomspace(0.01, 50.0, 1000)[:, None]
    layouts = {
        "one case, 10^6 D": lambda w: quorix.isolation_at(D, n=2.0, gamma=0.5, alpha=0.05, fy=1.0, uy=1.0, workers=w),
        "10^3 cases x 10^3 D, case changing each element": lambda w: quorix.isolation_at(D_rows, n=n, gamma=0.5,
                                                                                         workers=w),
    }
    print("load average %.1f %.1f %.1f on %d cores" % (*os.getloadavg(), os.cpu_count()))
    for label, call in layouts.items():
        for workers in (None, 1):
            best, median, cpu = timed(lambda: call(workers))
            print(f"{label:<50} workers={str(workers):<4} wall best {best:6.3f} s  median {median:6.3f} s  "
                  f"CPU {cpu:6.3f} s ({cpu / best:.2f} cores)  target: wall <= 1 s")


if __name__ == "__main__":
    main()
