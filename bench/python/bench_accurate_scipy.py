#!/usr/bin/python3
"""The accurate mode's vectorised call beside a loop of scipy.special evaluations of the same formulas.

    PYTHONPATH=build/release/src/python /usr/bin/python3 bench/python/bench_accurate_scipy.py

The study: N cases with n in (0.5, 5) (100 values, each for consecutive cases
as a broadcast grid gives them, or with --new-n a new n for every case), gamma in (0.5, 0.99), beta = 1 - gamma and
Umax/Uy in (0.05, 10), spread by the golden ratio's fractional parts, both
formula sets. The scipy loop solves each case as an engineer would in Python:
Za by scipy.optimize.brentq (xtol 1e-12) on

    amp(x) = x/2 * (F(1, 1/n; 1 + 1/n; w x^n) + F(1, 1/n; 1 + 1/n; x^n)) = Umax/Uy

with scipy.special.hyp2f1 (Pfaff's transformation below t = -1), Za = 1 above
the amplitude at 0.999999999999, then the nine results from the Direct or
Complementary formulas. quorix solves the same cases in one call,
quorix.solve(..., accurate=True) with beta given (the same doubles on both
sides), on every core the process may use. Needs Debian's python3-scipy.

Printed: ns a case for both (wall; CPU over wall for the cores used), their
ratio, the wall time that 10^7 cases would take at quorix's rate, and how far
the scipy loop's Za and DE lie from quorix's (the scipy loop is the less
accurate of the two; the agreement shows that both compute the same thing).
"""
import argparse
import math
import time

import numpy as np
import scipy.optimize
import scipy.special

import quorix

ZA_UPPER_BOUND = 0.999999999999
GOLDEN = 0.6180339887498949


def study(count, n_values):
    """n, gamma, beta, U and the formula set of `count` cases: n_values values of n, each for
    consecutive cases as a broadcast grid gives them, or (0) a new n for every case."""
    phase = np.mod(GOLDEN * np.arange(1, count + 1), 1.0)
    if n_values:
        n = np.repeat(np.linspace(0.5, 5.0, n_values), -(-count // n_values))[:count]
    else:
        n = 0.5 + 4.5 * np.mod(phase * 13.0, 1.0)
    gamma = 0.5 + 0.49 * np.mod(phase * 7.0, 1.0)
    beta = 1.0 - gamma
    u = 0.05 + 9.95 * phase
    complementary = np.arange(count) % 2 == 1
    return n, gamma, beta, u, complementary


def f(b, t):
    """F(1, b; 1 + b; t) for t < 1."""
    if t < -1.0:
        return scipy.special.hyp2f1(1.0, 1.0, 1.0 + b, t / (t - 1.0)) / (1.0 - t)
    return scipy.special.hyp2f1(1.0, b, 1.0 + b, t)


def scipy_solve(n, gamma, beta, u, complementary, alpha=0.1, fy=2.86, uy=0.111):
    """The nine results of one case, as a list."""
    w, b1, b2 = beta - gamma, 1.0 / n, 2.0 / n

    def amp(x):
        xn = x ** n
        return 0.5 * x * (f(b1, w * xn) + f(b1, xn))

    top = amp(ZA_UPPER_BOUND)
    if u == 0.0:
        za = 0.0
    elif u <= top:
        za = scipy.optimize.brentq(lambda x: amp(x) - u, 0.0, ZA_UPPER_BOUND, xtol=1e-12)
    else:
        za = 1.0
    zc = ZA_UPPER_BOUND if za == 1.0 else za
    xn = zc ** n
    fha = (1.0 - alpha) * fy * za
    fela = alpha * fy * u
    if complementary:
        kcd = (0.5 * zc * f(b2, w * xn) + f(b1, w * xn)) * zc
        kda = (f(b1, xn) - 0.5 * zc * f(b2, xn)) * zc
        de_fh = (2.0 * u - kcd - kda) * 2.0
    else:
        kcd = -0.5 * za * za * f(b2, w * xn)
        kda = 0.5 * za * za * f(b2, xn)
        de_fh = (kcd + kda) * 2.0
    de_fy = (1.0 - alpha) * de_fh
    return [za, fha, fela, fha + fela, kcd, kda, de_fy, de_fh, de_fy * fy * uy]


def quorix_solve(n, gamma, beta, u, complementary):
    """Both formula sets, each in one vectorised call; Za and DE in the cases' order."""
    za, de = np.empty_like(n), np.empty_like(n)
    for mode, chosen in (("complementary", complementary), ("direct", ~complementary)):
        r = quorix.solve(n=n[chosen], gamma=gamma[chosen], beta=beta[chosen], u=u[chosen], alpha=0.1, fy=2.86,
                         uy=0.111, mode=mode, accurate=True)
        za[chosen], de[chosen] = r.Za, r.DE
    return za, de


def timed(call):
    wall, cpu = time.perf_counter(), time.process_time()
    value = call()
    return value, time.perf_counter() - wall, time.process_time() - cpu


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--scipy-cases", type=int, default=2000, help="cases of the scipy loop (default 2000)")
    parser.add_argument("--cases", type=int, default=1000000, help="cases of the quorix call (default 10^6)")
    parser.add_argument("--new-n", action="store_true", help="a new n for every case")
    parser.add_argument("--specified-cases", type=int, default=100,
                        help="cases of the specified arithmetic with a new n each (default 100)")
    parser.add_argument("--repeat", type=int, default=3, help="runs of each, the best kept (default 3)")
    args = parser.parse_args()

    n_values = 0 if args.new_n else 100
    cases = study(args.cases, n_values)
    best = None
    for _ in range(args.repeat):
        (_, wall, cpu) = timed(lambda: quorix_solve(*cases))
        best = (wall, cpu) if best is None or wall < best[0] else best
    q_wall, q_cpu = best[0] / args.cases, best[1] / args.cases

    small = study(args.scipy_cases, n_values)
    rows = list(zip(*(a.tolist() for a in small)))
    best = None
    for _ in range(args.repeat):
        (results, wall, cpu) = timed(lambda: [scipy_solve(*row) for row in rows])
        best = (wall, cpu, results) if best is None or wall < best[0] else best
    s_wall, s_cpu, results = best[0] / args.scipy_cases, best[1] / args.scipy_cases, best[2]

    za, de = quorix_solve(*small)
    za_s = np.array([r[0] for r in results])
    de_s = np.array([r[8] for r in results])
    za_diff = float(np.max(np.abs(za_s - za) / za))
    de_rel = np.abs(de_s - de) / np.abs(de)
    de_diff = float(np.max(de_rel))
    worst = int(np.argmax(de_rel))

    print(f"quorix, accurate, {args.cases} cases in one call each set: {q_wall * 1e9:9.0f} ns a case "
          f"({q_cpu / q_wall:.2f} cores, {q_cpu * 1e9:.0f} ns of CPU a case)")
    print(f"scipy.special loop, {args.scipy_cases} cases:              {s_wall * 1e9:9.0f} ns a case "
          f"({s_cpu / s_wall:.2f} cores)")
    if args.specified_cases:
        n, gamma, beta, u, _ = study(args.specified_cases, 0)
        (_, wall, cpu) = timed(lambda: quorix.solve(n=n, gamma=gamma, beta=beta, u=u, accurate=False))
        print(f"specified arithmetic, a new n every case, {args.specified_cases} cases: "
              f"{wall / args.specified_cases * 1e3:9.2f} ms a case ({cpu / wall:.2f} cores, "
              f"{cpu / args.specified_cases * 1e3:.2f} ms of CPU a case)")
    print(f"ratio (scipy loop / quorix), wall: {s_wall / q_wall:.0f}x; CPU: {s_cpu / q_cpu:.0f}x")
    print(f"10^7 cases at quorix's rate: {q_wall * 1e7:.1f} s wall; the scipy loop: {s_wall * 1e7 / 3600:.1f} h")
    print(f"scipy loop against quorix over its cases: Za {za_diff:.1e}, DE {de_diff:.1e} relative at most "
          f"(DE: n = {rows[worst][0]:.3f}, gamma = {rows[worst][1]:.3f}, U = {rows[worst][3]:.3f}, "
          f"{'complementary' if rows[worst][4] else 'direct'})")
    if not (math.isfinite(za_diff) and za_diff < 1e-9):
        raise SystemExit("the scipy loop's Za differs from quorix's: not the same formulas")


if __name__ == "__main__":
    main()
