#!/usr/bin/python3
"""Writes reference.tsv: mpmath values of log-gamma, gamma, digamma and 2F1.

Run with Debian's interpreter (it carries python3-mpmath):

    /usr/bin/python3 tests/specialfunctions/data/make_reference.py

Every argument is a Python float, the same IEEE double the C++ test passes,
and mpmath takes it exactly, so each value belongs to the double argument and
not to the decimal that suggested it (1/3 below means the double nearest 1/3).
Arguments are written with repr(), the shortest text that reads back to the
same double; values with 20 significant digits from a 30-digit evaluation.

Rows, tab-separated, '#' starts a comment line:

    lgamma   -      x  ln Γ(x)
    gamma    -      x  Γ(x)
    digamma  table  x  ψ(x)  0
    digamma  series x  ψ(x)  tail
    hyp2f1   region a  b  c  z  F(a, b; c; z)
    partial  -      a  b  c  z  sum of the Gauss series through the term of index 1000

For arguments answered by the 100000-term digamma series, tail is what the
cut-off omits:  sum_{k>N} (x-1)/(k(k+x-1)) = ψ(x+N) - ψ(N+1),  N = 100000,
about (x-1)/N.  The region of a 2F1 row is where the evaluator sends it:
A, B1, B2, Bm (c-a-b near a non-zero integer), D/<inner region>; a suffix
"psi" marks the logarithmic forms that need ψ at arguments with no table
entry (neither a whole number nor a half-integer up to 1000).
"""

import os

import mpmath
from mpmath import mp, mpf

mp.dps = 30
SERIES_TERMS = 100000


def tabled(x):
    """Whether Digamma answers x from one of its two tables."""
    if x == int(x):
        return 1 <= x <= 1000
    return (x - 0.5) == int(x - 0.5) and 0 <= x - 0.5 <= 999


def region(a, b, c, z):
    if abs(z) <= 0.5:
        return "A"
    if 0.5 < z < 1:
        d = (c - a) - b
        m = round(d)  # ties to even, as in the evaluator
        if abs(m - d) > 0.000001:
            return "B2"
        if m == 0:
            psi_args = (a, b)
            name = "B1"
        else:
            k = abs(m)
            psi_args = (a + k, b + k) if m > 0 else (a, b)
            name = "Bm"
        return name + ("" if all(tabled(p) for p in psi_args) else "psi")
    if z < -0.5:
        return "D/" + region(a, c - b, c, z / (z - 1))
    return "none"


def gamma_rows():
    rows = []
    for x in [0.01, 0.1, 0.5, 1.0, 1.5, 2.0, 2.5, 3.7, 7.25, 10.3, 33.3, 100.0, 150.25, 171.6, 1000.0, 1e5]:
        rows.append(("lgamma", "-", [x], mpmath.loggamma(mpf(x))))
    for x in [0.01, 0.5, 1.0, 1.5, 2.5, 3.7, 5.0, 10.3, 33.3, 100.0, 150.25, 171.6,
              -0.3, -0.5, -1.5, -2.5, -3.001, -10.7, -50.2, -100.5, -150.3]:
        rows.append(("gamma", "-", [x], mpmath.gamma(mpf(x))))
    return rows


def digamma_rows():
    rows = []
    for x in [1.0, 2.0, 3.0, 10.0, 100.0, 1000.0, 0.5, 1.5, 10.5, 999.5,
              4.0 / 3.0, 0.25, 2.7, 50.3, 0.001, -0.3, 1001.0, 2000.5]:
        psi = mpmath.digamma(mpf(x))
        if tabled(x):
            rows.append(("digamma", "table", [x], psi, mpf(0)))
        else:
            tail = mpmath.digamma(mpf(x) + SERIES_TERMS) - mpmath.digamma(mpf(SERIES_TERMS + 1))
            rows.append(("digamma", "series", [x], psi, tail))
    return rows


def hyp2f1_cases():
    cases = [
        # Region A: the series itself.
        (1.0, 1.0, 2.0, 0.5), (1.0, 1.0, 2.0, -0.5), (0.5, 0.5, 1.0, 0.3), (1.7, -2.3, 0.4, 0.45),
        (1.0 / 3.0, 1.0, 4.0 / 3.0, -0.5), (2.5, 3.5, 1.5, 0.5), (0.3, 0.7, 1.9, 0.0),
        # Region B2: transformation to 1 - z with gamma factors.
        (1.0, 0.3, 1.5, 0.8), (0.7, 1.9, 2.1, 0.75), (2.5, 0.25, 0.6, 0.95), (0.3, 0.6, 1.4, 0.99),
        (1.5, 2.25, 3.0, 0.6),
        # Region B1 with tabled ψ.
        (1.0, 0.5, 1.5, 0.7), (1.0, 1.0, 2.0, 0.9), (0.5, 0.5, 1.0, 0.8), (2.0, 3.0, 5.0, 0.55),
        (1.5, 2.5, 4.0, 0.97), (1.0, 1.0, 2.0, 0.999999),
        # Region B1 with ψ from the series.
        (1.0, 1.0 / 3.0, 4.0 / 3.0, 0.6),
        # c = a + b + m, m a non-zero integer.
        (1.0, 1.0, 3.0, 0.6), (1.0, 1.0, 3.0, 0.9), (1.0, 1.0, 3.0, 0.99), (1.0, 0.5, 2.5, 0.7),
        (1.0, 0.5, 0.5, 0.7), (0.5, 1.0, 3.5, 0.8), (2.0, 1.5, 1.5, 0.7), (1.5, 2.5, 3.0, 0.8),
        (0.5, 1.5, 5.0, 0.9), (1.0, 0.3, 2.3, 0.8), (1.3, 0.4, 0.7, 0.8),
        # Region D: Pfaff, then A, B1, B2 or the integer-gap form.
        (1.0, 0.5, 1.5, -0.7), (1.0, 1.0, 2.0, -1.0), (1.0, 0.5, 1.5, -2.0), (0.6, 1.3, 2.2, -5.0),
        (1.0, 1.0, 2.0, -3.0), (1.0, 2.0, 3.0, -3.0), (1.0, 2.0, 3.0, -9.0), (0.5, 0.5, 2.0, -1000.0),
    ]
    # The model's family: F(1, k/n; 1 + k/n; z) and F(1/n, 1; 1 + 1/n; z),
    # with c formed as 1 + b in double arithmetic exactly as the callers do.
    for n in [0.5, 1.0, 2.0, 3.0, 4.0, 7.0]:
        for z in [0.6, 0.95, -1.5, -9.0]:
            for b in [1.0 / n, 2.0 / n]:
                cases.append((1.0, b, 1.0 + b, z))
            cases.append((1.0 / n, 1.0, 1.0 + 1.0 / n, z))
    unique = []
    for case in cases:
        if case not in unique:
            unique.append(case)
    return unique


def hyp2f1_rows():
    rows = []
    for a, b, c, z in hyp2f1_cases():
        value = mpmath.hyp2f1(mpf(a), mpf(b), mpf(c), mpf(z))
        rows.append(("hyp2f1", region(a, b, c, z), [a, b, c, z], value))
    return rows


def partial_rows():
    rows = []
    for a, b, c, z in [(1.0, 1.0, 2.0, 0.999)]:
        term, total = mpf(1), mpf(1)
        for n in range(1, 1001):
            term = term * (mpf(a) + n - 1) * (mpf(b) + n - 1) / (mpf(c) + n - 1) * mpf(z) / n
            total += term
        rows.append(("partial", "-", [a, b, c, z], total))
    return rows


def main():
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "reference.tsv")
    with open(path, "w", encoding="ascii", newline="\n") as out:
        out.write("# Generated by make_reference.py (mpmath %s, %d digits); do not edit.\n" % (mpmath.__version__, mp.dps))
        out.write("# kind\tclass\targuments...\tvalue[\ttail]\n")
        for row in gamma_rows() + digamma_rows() + hyp2f1_rows() + partial_rows():
            kind, label, args, value = row[:4]
            fields = [kind, label] + [repr(float(x)) for x in args] + [mpmath.nstr(value, 20)]
            if kind == "digamma":
                fields.append(mpmath.nstr(row[4], 20))
            out.write("\t".join(fields) + "\n")


if __name__ == "__main__":
    main()
