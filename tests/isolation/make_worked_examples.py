#!/usr/bin/python3
"""Writes worked_examples.h: one design per code for an isolation system of
eight bearings, from mpmath alone (the loop's law integrated as in
make_isolation_reference.py, the damping rules written out again from the
codes, the fixed point D = map(D) by the secant method at 30 digits).
With --markdown it prints the same values as the README's table instead.

    /usr/bin/python3 tests/isolation/make_worked_examples.py > tests/isolation/worked_examples.h
    /usr/bin/python3 tests/isolation/make_worked_examples.py --markdown
"""
import sys

import mpmath as mp

mp.mp.dps = 30

# One bearing: n, gamma, alpha, Fy (kN), Uy (m); the system: N, W (kN), g (m/s^2), S1 (g).
CASE = dict(n=1.0, gamma=0.5, alpha=0.05, Fy=200.0, Uy=0.02)
SYSTEM = dict(N=8.0, W=20000.0, g=9.81, S1=0.6)


def G(y, n, s):
    return mp.quad(lambda z: 1 / (1 - y * z ** n), [0, s])


def bearing(D):
    n, gamma, alpha, Fy, Uy = (mp.mpf(CASE[k]) for k in ("n", "gamma", "alpha", "Fy", "Uy"))
    w = mp.mpf(float(1 - CASE["gamma"])) - gamma
    X = D / Uy
    at = lambda t: -mp.expm1(-t)
    ta = mp.findroot(lambda t: G(w, n, at(t)) + G(1, n, at(t)) - 2 * X, (mp.mpf(0), 4 * X + 10), solver="illinois")
    Za = at(ta)
    T = X - G(w, n, Za)
    z0 = at(mp.findroot(lambda t: G(1, n, at(t)) - T, (mp.mpf(0), ta), solver="illinois"))
    Fh = (1 - alpha) * Fy
    EDC = Fh * Uy * 2 * mp.quad(lambda z: z * (1 / (1 - z ** n) - 1 / (1 - w * z ** n)), [0, Za])
    F = alpha * Fy * X + Fh * Za
    return F / D, EDC, Fh * z0


def damping(code, beta):
    if code == "asce7":  # ASCE/SEI 7-22 Table 17.5-1
        rows = [(2, 0.8), (5, 1.0), (10, 1.2), (20, 1.5), (30, 1.7), (40, 1.9), (50, 2.0)]
        p = 100 * beta
        if p <= 2:
            return mp.mpf("0.8")
        for (x0, y0), (x1, y1) in zip(rows, rows[1:]):
            if p <= x1:
                return mp.mpf(y0) + (mp.mpf(y1) - mp.mpf(y0)) * (p - x0) / (x1 - x0)
        return mp.mpf(2)
    if code == "aashto":  # AASHTO guide for the seismic isolation design of bridges, Eq. 7.1-3
        return (beta / mp.mpf("0.05")) ** mp.mpf("0.3") if beta <= mp.mpf("0.3") else mp.mpf("1.7")
    eta = mp.sqrt(10 / (5 + 100 * beta))  # EN 1998-1 Eq. 3.6
    return 1 / max(eta, mp.mpf("0.55"))


def design(code):
    N, W, g, S1 = (mp.mpf(SYSTEM[k]) for k in ("N", "W", "g", "S1"))

    def at(D):
        Keff, EDC, Qd = bearing(D)
        beta = EDC / (2 * mp.pi * Keff * D ** 2)
        Teff = 2 * mp.pi * mp.sqrt(W / (N * Keff * g))
        B = damping(code, beta)
        return dict(D=D, Keff=N * Keff, Teff=Teff, betaEff=beta, B=B, Sa=S1 / Teff, F=N * Keff * D, F_bearing=Keff * D,
                    Qd=N * Qd, Kd=N * (Keff - Qd / D), Dy=D - EDC / (4 * Qd), next=g * S1 * Teff / (4 * mp.pi ** 2 * B))

    D = mp.findroot(lambda D: at(D)["next"] - D, mp.mpf("0.2"), solver="secant", tol=mp.mpf(10) ** -25)
    return at(D)


KEYS = ("D", "Keff", "Teff", "betaEff", "B", "Sa", "F", "F_bearing", "Qd", "Kd", "Dy")


def main():
    results = {code: design(code) for code in ("asce7", "aashto", "en1998")}
    if "--markdown" in sys.argv:
        print("| | " + " | ".join(KEYS) + " |")
        print("|---" * (len(KEYS) + 1) + "|")
        for code, r in results.items():
            print(f"| {code} | " + " | ".join(mp.nstr(r[k], 6) for k in KEYS) + " |")
        return
    print("// Written by make_worked_examples.py: one design per code, from mpmath alone.")
    print("#pragma once\n")
    print("struct WorkedExample {")
    print("  const char* code;")
    print("  double " + ", ".join(KEYS) + ";")
    print("};\n")
    print("// n, gamma, alpha, Fy, Uy of a bearing; N, W, g, S1 of the system.")
    print("inline constexpr double kWorkedCase[] = {" + ", ".join(repr(v) for v in CASE.values()) + "};")
    print("inline constexpr double kWorkedSystem[] = {" + ", ".join(repr(v) for v in SYSTEM.values()) + "};\n")
    print("inline constexpr WorkedExample kWorkedExamples[] = {")
    for code, r in results.items():
        print(f'    {{"{code}", ' + ", ".join(repr(float(r[k])) for k in KEYS) + "},")
    print("};")


if __name__ == "__main__":
    main()
