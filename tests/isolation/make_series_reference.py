#!/usr/bin/python3
"""Writes series_reference.h: the properties at D, from the law integrated by
mpmath at 50 digits (make_isolation_reference.py's properties(), nothing of
Quorix's closed forms), for the cases that try the series in σⁿ and the
Halley solves hardest: small exponents (slowly shrinking coefficients, a
second derivative unbounded at σ = 0), w = β − γ near 1 and near −1 (the
factors 1 − wᵏ and 1 + wᵏ), tiny amplitudes, and amplitudes just either side
of the peak Zaⁿ = ½, where the properties pass from the series to the
expansions about σⁿ = 1, and a large n at small amplitudes (Zaⁿ below 2⁻⁶⁴).

    /usr/bin/python3 tests/isolation/make_series_reference.py > tests/isolation/series_reference.h
"""
import mpmath as mp

from make_isolation_reference import G, properties

mp.mp.dps = 50


def boundary_X(n, gamma):
    """X where the peak has Zaⁿ = ½: half of G_w + G_1 there."""
    beta = mp.mpf(float(1 - gamma))
    w = beta - mp.mpf(gamma)
    s = mp.mpf(2) ** (-1 / mp.mpf(n))
    return (G(w, mp.mpf(n), s) + G(1, mp.mpf(n), s)) / 2


def cases():
    Uy = 0.01
    for n in (0.1, 0.25, 0.7):
        for gamma in (0.001, 0.999):
            for X in (1e-3, 0.3):
                yield n, gamma, 0.1, 40.0, Uy, X * Uy
    # A large n at small amplitudes: the loop's area and crossing of order P = Zaⁿ below 2⁻⁶⁴.
    for n, X in ((10.0, 0.01), (25.0, 0.2)):
        yield n, 0.5, 0.1, 40.0, Uy, X * Uy
    for n, gamma in ((0.5, 0.3), (2.0, 0.7), (6.0, 0.1)):
        X = float(boundary_X(n, gamma))
        for side in (0.99999, 1.00001):
            yield n, gamma, 0.1, 40.0, Uy, float(X * side) * Uy


def main():
    print("// Written by make_series_reference.py: the properties at D of the steady")
    print("// loop from mpmath's integration of the law at 50 digits, nearest doubles.")
    print("#pragma once\n")
    print('#include "isolation_reference.h"\n')
    print("inline constexpr IsolationReference kSeriesReference[] = {")
    for c in cases():
        values = properties(*c)
        print("    {" + ", ".join(repr(float(v)) for v in c + tuple(values)) + "},")
    print("};")


if __name__ == "__main__":
    main()
