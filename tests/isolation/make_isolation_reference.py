#!/usr/bin/python3
"""Writes isolation_reference.h: the properties of the steady symmetric loop
at a displacement D, from the law integrated with mpmath at 50 digits on the
exact input doubles (quadrature along z of dx = dz/slope, roots by findroot),
each rounded once to the nearest double. Nothing of Quorix's closed forms is
used: the peak Za solves G_w(Za) + G_1(Za) = 2X, the crossing z0 solves
G_1(z0) = X - G_w(Za), the energy is Fh*Uy*2*int_0^Za z*(1/(1-z^n) - 1/(1-w z^n)) dz.

    /usr/bin/python3 tests/isolation/make_isolation_reference.py > tests/isolation/isolation_reference.h
"""
import mpmath as mp

mp.mp.dps = 50


def G(y, n, s):
    return mp.quad(lambda z: 1 / (1 - y * z ** n), [0, s])


def properties(n, gamma, alpha, Fy, Uy, D):
    n, gamma, alpha, Fy, Uy, D = (mp.mpf(v) for v in (n, gamma, alpha, Fy, Uy, D))
    beta = mp.mpf(float(1 - float(gamma)))  # the double beta = 1 - gamma the case holds
    w = beta - gamma
    X = D / Uy
    # Roots in t = -ln(1 - z), where the branch integrals grow about linearly
    # (z near saturation is 1 - 1e-20 and beyond), by the bracketed Illinois
    # method, then polished by the secant method.
    at = lambda t: -mp.expm1(-t)
    f = lambda t: G(w, n, at(t)) + G(1, n, at(t)) - 2 * X
    ta = mp.findroot(f, (mp.mpf(0), mp.mpf(4) * X + 10), solver="illinois")
    Za = at(ta)
    T = X - G(w, n, Za)
    t0 = mp.findroot(lambda t: G(1, n, at(t)) - T, (mp.mpf(0), ta), solver="illinois")
    z0 = at(t0)
    Fh = (1 - alpha) * Fy
    EDC = Fh * Uy * 2 * mp.quad(lambda z: z * (1 / (1 - z ** n) - 1 / (1 - w * z ** n)), [0, Za])
    F = alpha * Fy * X + Fh * Za
    Keff = F / D
    beta_eff = EDC / (2 * mp.pi * Keff * D ** 2)
    Qd = Fh * z0
    Kd = Keff - Qd / D
    Dy = D - EDC / (4 * Qd)
    return Keff, EDC, beta_eff, Qd, Kd, Dy


def cases():
    for n in (0.5, 1.0, 2.0, 3.0, 5.0, 10.0):
        for gamma in (0.1, 0.5, 0.9):
            for X in (0.05, 0.5, 1.5, 4.0):
                yield n, gamma, 0.05, 250.0, 0.004, X * 0.004


def main():
    print("// Written by make_isolation_reference.py: the properties at D of the steady")
    print("// loop from mpmath's integration of the law at 50 digits, nearest doubles.")
    print("#pragma once\n")
    print("struct IsolationReference {")
    print("  double n, gamma, alpha, Fy, Uy, D;")
    print("  double Keff, EDC, betaEff, Qd, Kd, Dy;")
    print("};\n")
    print("inline constexpr IsolationReference kIsolationReference[] = {")
    for c in cases():
        values = properties(*c)
        print("    {" + ", ".join(repr(float(v)) for v in c + tuple(values)) + "},")
    print("};")


if __name__ == "__main__":
    main()
