#!/usr/bin/python3
"""Speed of quorix.isolation_at: 10^6 (case, D) pairs through its ufunc.

    PYTHONPATH=build/dev/src/python /usr/bin/python3 bench/python/bench_isolation.py

Two layouts of a million pairs: one case and a million displacements (each
thread keeps the case's loop), and a thousand cases by a thousand
displacements, the case changing at every element (D along the first axis).
Best and median wall time of a few runs; "cores" is CPU time over wall time.
"""
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
    return best[0], statistics.median(r[0] for r in runs), best[1] / best[0]


def main():
    D = np.geomspace(0.01, 50.0, 1_000_000)
    n = np.linspace(0.5, 5.0, 1000)
    D_rows = np.geomspace(0.01, 50.0, 1000)[:, None]
    layouts = {
        "one case, 10^6 D": lambda: quorix.isolation_at(D, n=2.0, gamma=0.5, alpha=0.05, fy=1.0, uy=1.0),
        "10^3 cases x 10^3 D, case changing each element": lambda: quorix.isolation_at(D_rows, n=n, gamma=0.5),
    }
    for label, call in layouts.items():
        best, median, cores = timed(call)
        print(f"{label:<50} best {best:7.3f} s  median {median:7.3f} s  ({cores:.2f} cores)  target <= 1 s")


if __name__ == "__main__":
    main()
