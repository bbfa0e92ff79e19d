#!/usr/bin/python3
"""Speed of the Python module against its three targets.

    PYTHONPATH=build/release/src/python /usr/bin/python3 bench/python/bench_quorix.py

1. 100000 accurate Solves over a broadcast grid of n and Umax/Uy: at most 0.3 s.
2. 100000 specified Solves at one n: at most 3 s.
3. A scalar quorix.solve(): at most 5 us above the engine's own time per Solve.

Times are the best of several runs (timeit's advice: the others measure the
machine's other work), with the median beside them; "cores" is CPU time over
wall time, how many cores the call kept busy.
"""
import argparse
import statistics
import time
import timeit

import numpy as np

import quorix


def timed(call, repeat):
    """Best and median wall time of `call`, and the cores it kept busy in its best run."""
    runs = []
    for _ in range(repeat):
        wall, cpu = time.perf_counter(), time.process_time()
        call()
        runs.append((time.perf_counter() - wall, time.process_time() - cpu))
    best = min(runs)
    return best[0], statistics.median(r[0] for r in runs), best[1] / best[0]


def report(label, best, median, target, unit="s", scale=1.0, extra=""):
    verdict = "ok" if best <= target else "MISSED"
    print(f"{label:<58} best {best * scale:9.3f} {unit}  median {median * scale:9.3f} {unit}"
          f"  target <= {target * scale:g} {unit}  {verdict}{extra}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--repeat", type=int, default=5, help="runs per measurement (default 5)")
    args = parser.parse_args()

    # 1. The accurate arithmetic over a 100 x 1000 grid.
    n = np.linspace(0.5, 5.0, 100)[:, None]
    u = np.linspace(0.05, 10.0, 1000)[None, :]
    best, median, cores = timed(lambda: quorix.solve(n=n, u=u, accurate=True), args.repeat)
    report("100000 accurate Solves, grid n 0.5..5 x U 0.05..10", best, median, 0.3,
           extra=f"  ({cores:.2f} cores)")

    # 2. The specified arithmetic at one n, its first call with the digamma
    # memory empty for that n, then warm.
    u = np.linspace(0.0001, 10.0, 100000)
    for exponent in (2.0, 3.0):
        first, _, _ = timed(lambda: quorix.solve(n=exponent, u=u), 1)
        best, median, cores = timed(lambda: quorix.solve(n=exponent, u=u), args.repeat)
        report(f"100000 specified Solves, n = {exponent:g}, U 0.0001..10", best, median, 3.0,
               extra=f"  ({cores:.2f} cores; first call {first:.3f} s)")

    # 3. The call overhead of one scalar Solve: quorix.solve() against the
    # same Solve timed inside the engine, both measured in turn.
    case = dict(n=2.0, gamma=0.9, beta=0.1, alpha=0.1, fy=2.86, uy=0.111, u=1.0)
    for accurate in (False, True):
        calls = 20000 if not accurate else 50000
        quorix.solve(**case, accurate=accurate)
        python, engine = [], []
        for _ in range(args.repeat):
            python.append(timeit.timeit(lambda: quorix.solve(**case, accurate=accurate), number=calls) / calls)
            engine.append(quorix._core._engine_seconds_per_solve(calls, **case, accurate=accurate))
        overhead = [p - e for p, e in zip(python, engine)]
        label = f"scalar solve() overhead, {'accurate' if accurate else 'specified'}, n = 2"
        report(label, min(python) - min(engine), statistics.median(overhead), 5e-6, unit="us", scale=1e6,
               extra=f"  (call {min(python) * 1e6:.2f} us, engine {min(engine) * 1e6:.2f} us)")


if __name__ == "__main__":
    main()
