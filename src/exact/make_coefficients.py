#!/usr/bin/python3
"""Writes coefficients.h: the constants of the accurate special functions.

Run with Debian's interpreter (it carries python3-mpmath):

    /usr/bin/python3 src/exact/make_coefficients.py

Every constant is evaluated with mpmath at 50 digits and written with 17
significant digits, which read back to the double nearest the value; the
constants that must be known beyond a double are split into a leading double
and the double nearest the remainder.

- The positive zero x0 of the digamma function, Euler's constant, ln 2 (in
  three parts) and pi, each as a pair of doubles.
- 1 / (2k + 1), the series of artanh(z) / z, for the double-double
  logarithm: checked to reach 2^-104 relative at the largest |z| it takes.
- Chebyshev coefficients of Q(x) = psi(x) / (x - x0) on [1, 5/2]. Digamma
  evaluates psi there as (x - x0) * Q(x), so its relative accuracy holds up
  next to the zero, where any sum of larger terms would cancel.
- B_2k / (2k)! for k = 1 .. 20, the Taylor coefficients of x / (e^x - 1) - 1
  + x/2, for the expansion of the Lerch function with large parameters.
- For log-gamma and gamma, every constant as a pair of doubles: ln pi and
  (ln 2 pi - 1)/2; Stirling's coefficients B_2k / (2k (2k - 1)); the
  Taylor coefficients of ln Gamma(1 + e) and ln Gamma(2 + e) (zeta values),
  which keep the relative accuracy next to the zeros at 1 and 2; those of
  sin(pi a) / a and cos(pi a) in a^2 for the reflection; and the zeros of
  ln|Gamma| below -2 (two between each pair of poles) with the Taylor
  coefficients of ln|Gamma| about each, for the arguments so close to a zero
  that the reflection's terms cancel to less than 2^-24 (see
  negative_zeros). Each series is
  checked against mpmath over its whole range: its truncation must stay
  below 2^-104 of the value (2^-70 for the two series next to the zeros,
  whose value is the result itself, not a term of it).
"""

import math
import os

from mpmath import (mp, mpf, bernoulli, chebyt, cos, euler, factorial, findroot, gamma, ldexp, linspace, log,
                    loggamma, nint, pi, psi, sin, zeta)

mp.dps = 50

LOW, HIGH = mpf(1), mpf("2.5")
NODES = 60
CUTOFF = mpf("1e-19")


def split(value):
    hi = float(value)
    lo = float(value - mpf(hi))
    return hi, lo


def literal(value):
    return repr(float(value)) if float(value) != 0 else "0.0"


def chebyshev_coefficients(f, low, high):
    half, mid = (high - low) / 2, (high + low) / 2
    thetas = [pi * (j + mpf(1) / 2) / NODES for j in range(NODES)]
    values = [f(mid + half * cos(theta)) for theta in thetas]
    coefficients = []
    for k in range(NODES):
        c = 2 * sum(v * cos(k * theta) for v, theta in zip(values, thetas)) / NODES
        coefficients.append(c)
    while abs(coefficients[-1]) < CUTOFF:
        coefficients.pop()
    return coefficients


# Where each series of the gamma functions is used, and how many terms it keeps.
STIRLING_FROM = 16  # ln Gamma(z) by Stirling's series for z >= 16
STIRLING_TERMS = 16
NEAR_ZERO = mpf(1) / 16  # ln Gamma(1 + e), ln Gamma(2 + e) by their Taylor series for |e| <= 1/16
AT_ONE_TERMS = 18
AT_TWO_TERMS = 15
SINE_TERMS = 14  # sin(pi a) / a and cos(pi a) for |a| <= 1/4
COSINE_TERMS = 14
TRUNCATION = mpf(2) ** -104
LOG_TERMS = 20  # artanh(z) / z for |z| <= (sqrt 2 - 1) / (sqrt 2 + 1)
# Next to the zeros only the relative accuracy of the one result counts:
# 2^-70 leaves the rounding to the last step.
NEAR_ZERO_TRUNCATION = mpf(2) ** -70


def pair_table(name, comment, values):
    lines = [f"// {comment}", f"inline constexpr int {name}Count = {len(values)};",
             f"inline constexpr double {name}[{name}Count][2] = {{"]
    for v in values:
        hi, lo = split(v)
        lines.append(f"    {{{literal(hi)}, {literal(lo)}}},")
    lines.append("};")
    return lines


def polynomial(coefficients, e):
    return sum(c * e ** k for k, c in enumerate(coefficients))


def worst_relative(exact, approx, points):
    return max(abs(approx(p) / exact(p) - 1) for p in points)


NEGATIVE_ZERO_WINDOW = mpf(2) ** -24  # |ln|Gamma|| below which the Taylor series takes over
NEGATIVE_ZERO_TERMS = 4


def next_double_up(value):
    """The least double >= value."""
    d = float(value)
    return d if mpf(d) >= value else math.nextafter(d, math.inf)


def negative_zeros():
    """The zeros x0 of ln|Gamma| on (-k - 1, -k), k >= 2, each with the
    half-width w = 2^-24 / |psi(x0)| of the window where |ln|Gamma|| < 2^-24
    and the Taylor coefficients psi^(j-1)(x0) / j!, j = 1 .. 4.

    Outside the windows the reflection's double-double terms, of order 1
    with an absolute error near 10^-30, leave less than 2^-70 relative; inside,
    ln|Gamma(x)| = sum_j t_j (x - x0)^j, whose fifth term is below 2^-80 of
    the value at |x - x0| <= w (checked here against mpmath). The zeros
    approach the poles as 1/k!: from k = 12 on the windows shrink below the
    spacing of the doubles, and only those zeros whose window holds a
    double that is not a pole are kept, down to the first pair of poles
    that both lie within half a spacing of their zeros.
    """
    f = lambda x: log(abs(gamma(x)))
    zeros = []
    for k in range(2, 40):
        left, right = mpf(-k - 1), mpf(-k)
        gap = mpf(10) ** -(mp.dps - 10)
        # |Gamma| falls from the pole at -k - 1 to its minimum, where psi = 0,
        # and rises to the pole at -k; below 1 there, one zero on each side.
        low = findroot(lambda x: psi(0, x), (left + gap, right - gap), solver="anderson")
        assert f(low) < 0
        for bracket in ((left + gap, low), (low, right - gap)):
            x0 = findroot(f, bracket, solver="anderson")
            assert left < x0 < right and abs(f(x0)) < mpf(10) ** -(mp.dps - 15), (k, x0)
            window = NEGATIVE_ZERO_WINDOW / abs(psi(0, x0))
            first = next_double_up(x0 - window)
            if not (mpf(first) <= x0 + window and first != round(first)):
                continue  # no double to take the series
            taylor = [psi(j - 1, x0) / factorial(j) for j in range(1, NEGATIVE_ZERO_TERMS + 1)]
            for d in (-window, -window / 3, window / 7, window):
                approx = sum(t * d ** j for j, t in enumerate(taylor, 1))
                assert abs(approx / f(x0 + d) - 1) < mpf(2) ** -80, (k, x0, d)
            zeros.append((x0, window, taylor))
        # Once both zeros lie within half a spacing of the doubles from
        # their poles, no double but a pole comes near any zero further down.
        half_spacing = math.ulp(float(right)) / 2
        if f(right - half_spacing) < 0 and f(left + half_spacing) < 0:
            break
    return zeros


def gamma_coefficients():
    """The tables of log-gamma and gamma, each checked for its truncation."""
    stirling = [bernoulli(2 * k) / (2 * k * (2 * k - 1)) for k in range(1, STIRLING_TERMS + 1)]
    # The asymptotic series alternates in sign: its truncation is below the
    # first term left out, taken against ln Gamma at the start of its range.
    k = STIRLING_TERMS + 1
    left_out = abs(bernoulli(2 * k) / (2 * k * (2 * k - 1))) / mpf(STIRLING_FROM) ** (2 * k - 1)
    assert left_out < TRUNCATION * loggamma(STIRLING_FROM), left_out
    # ln Gamma(1 + e) = -euler e + sum_k>=2 (-1)^k zeta(k) e^k / k and
    # ln Gamma(2 + e) = (1 - euler) e + sum_k>=2 (-1)^k (zeta(k) - 1) e^k / k,
    # both as e * (c_0 + c_1 e + ...).
    at_one = [-euler] + [(-1) ** k * zeta(k) / k for k in range(2, AT_ONE_TERMS + 1)]
    at_two = [1 - euler] + [(-1) ** k * (zeta(k) - 1) / k for k in range(2, AT_TWO_TERMS + 1)]
    edges = [e for e in linspace(-NEAR_ZERO, NEAR_ZERO, 101) if e != 0]
    one = worst_relative(lambda e: loggamma(1 + e), lambda e: e * polynomial(at_one, e), edges)
    two = worst_relative(lambda e: loggamma(2 + e), lambda e: e * polynomial(at_two, e), edges)
    assert one < NEAR_ZERO_TRUNCATION and two < NEAR_ZERO_TRUNCATION, (one, two)
    # sin(pi a) = a * sum_k (-1)^k pi^(2k+1) a^(2k) / (2k+1)!, cos(pi a) =
    # sum_k (-1)^k pi^(2k) a^(2k) / (2k)!, for |a| <= 1/4.
    sine = [(-1) ** k * pi ** (2 * k + 1) / factorial(2 * k + 1) for k in range(SINE_TERMS)]
    cosine = [(-1) ** k * pi ** (2 * k) / factorial(2 * k) for k in range(COSINE_TERMS)]
    quarter = [a for a in linspace(0, mpf(1) / 4, 101) if a != 0]
    s = worst_relative(lambda a: sin(pi * a), lambda a: a * polynomial(sine, a * a), quarter)
    c = worst_relative(lambda a: cos(pi * a), lambda a: polynomial(cosine, a * a), quarter)
    assert s < TRUNCATION and c < TRUNCATION, (s, c)

    out = [""]
    # ln m = 2 z * sum_k z^(2k) / (2k + 1), z = (m - 1) / (m + 1), m in [sqrt 1/2, sqrt 2).
    z = (mp.sqrt(2) - 1) / (mp.sqrt(2) + 1)
    artanh = [mpf(1) / (2 * k + 1) for k in range(LOG_TERMS)]
    log_check = abs(2 * z * polynomial(artanh, z * z) / log(mp.sqrt(2)) - 1)
    assert log_check < TRUNCATION, log_check
    out.append(f"// ln m = 2z * sum_k a_k z^(2k), z = (m - 1)/(m + 1), for m in [sqrt 1/2, sqrt 2); truncation below")
    out.append(f"// {float(log_check):.1e} relative.")
    out += pair_table("kArtanhSeries", "a_k = 1 / (2k + 1)", artanh)
    hi, lo = split(log(pi))
    out.append("// ln pi.")
    out.append(f"inline constexpr double kLogPiHi = {hi!r};")
    out.append(f"inline constexpr double kLogPiLo = {lo!r};")
    hi, lo = split((log(2 * pi) - 1) / 2)
    out.append("// (ln 2 pi - 1) / 2, the constant of Stirling's series about (z - 1/2)(ln z - 1).")
    out.append(f"inline constexpr double kStirlingConstantHi = {hi!r};")
    out.append(f"inline constexpr double kStirlingConstantLo = {lo!r};")
    out.append(f"// Stirling's series from z = {STIRLING_FROM} on: ln Gamma(z) = (z - 1/2)(ln z - 1) + (ln 2 pi - 1)/2")
    out.append(f"// + sum_k c_k / z^(2k - 1) with c_k = B_2k / (2k (2k - 1)); truncation below {float(left_out):.1e}.")
    out.append(f"inline constexpr double kStirlingFrom = {STIRLING_FROM}.0;")
    out += pair_table("kStirling", "B_2k / (2k (2k - 1)), k = 1, 2, ...", stirling)
    out.append(f"// ln Gamma(1 + e) = e * sum_k c_k e^k and ln Gamma(2 + e) = e * sum_k d_k e^k for |e| <= 1/16;")
    out.append(f"// truncation below {float(max(one, two)):.1e} relative.")
    out.append(f"inline constexpr double kNearZeroRadius = {float(NEAR_ZERO)!r};")
    out += pair_table("kLogGammaAtOne", "c_0 = -euler, c_k = (-1)^(k+1) zeta(k + 1) / (k + 1).", at_one)
    out += pair_table("kLogGammaAtTwo", "d_0 = 1 - euler, d_k = (-1)^(k+1) (zeta(k + 1) - 1) / (k + 1).", at_two)
    out.append(f"// sin(pi a) = a * sum_k s_k a^(2k), cos(pi a) = sum_k c_k a^(2k) for |a| <= 1/4;")
    out.append(f"// truncation below {float(max(s, c)):.1e} relative.")
    out += pair_table("kSinPi", "s_k = (-1)^k pi^(2k+1) / (2k+1)!", sine)
    out += pair_table("kCosPi", "c_k = (-1)^k pi^(2k) / (2k)!", cosine)
    with mp.workdps(60):
        zeros = negative_zeros()
    out.append("// The zeros x0 of ln|Gamma| below -2, in three parts (x - x0 at the double nearest x0 can be")
    out.append("// far below an ulp of x0), whose window |x - x0| <= w, where")
    out.append("// |ln|Gamma(x)|| < 2^-24, holds a double; there ln|Gamma(x)| = sum_j t_j (x - x0)^j, j = 1 .. 4,")
    out.append("// to 2^-80 relative.")
    out.append(f"inline constexpr int kNegativeZeroCount = {len(zeros)};")
    out.append("inline constexpr double kNegativeZero[kNegativeZeroCount][3] = {")
    for x0, _, _ in zeros:
        hi, lo = split(x0)
        lo2 = float(x0 - mpf(hi) - mpf(lo))
        out.append(f"    {{{literal(hi)}, {literal(lo)}, {literal(lo2)}}},")
    out.append("};")
    out.append("inline constexpr double kNegativeZeroWindow[kNegativeZeroCount] = {")
    for _, window, _ in zeros:
        out.append(f"    {literal(window)},")
    out.append("};")
    out.append(f"inline constexpr double kNegativeZeroTaylor[kNegativeZeroCount][{NEGATIVE_ZERO_TERMS}][2] = {{")
    for _, _, taylor in zeros:
        out.append("    {" + ", ".join(f"{{{literal(split(t)[0])}, {literal(split(t)[1])}}}" for t in taylor) + "},")
    out.append("};")
    return out, (log_check, left_out, one, two, s, c)


def main():
    x0 = findroot(lambda x: psi(0, x), mpf("1.4616321449683623"))
    q = lambda x: psi(0, x) / (x - x0)
    cheb = chebyshev_coefficients(q, LOW, HIGH)
    # The truncated series must reproduce Q to far below a double's precision.
    worst = mpf(0)
    for i in range(200):
        x = LOW + (HIGH - LOW) * i / 199
        y = (2 * x - LOW - HIGH) / (HIGH - LOW)
        approx = cheb[0] / 2 + sum(c * chebyt(k, y) for k, c in enumerate(cheb) if k > 0)
        worst = max(worst, abs(approx / q(x) - 1))
    assert worst < mpf("1e-18"), worst
    bern = [bernoulli(2 * k) / factorial(2 * k) for k in range(1, 21)]

    out = []
    out.append("// Generated by make_coefficients.py (mpmath, 50 digits); do not edit.")
    out.append("#pragma once")
    out.append("")
    out.append("namespace quorix::exact {")
    out.append("")
    hi, lo = split(x0)
    out.append("// The positive zero of the digamma function, x0 = x0Hi + x0Lo.")
    out.append(f"inline constexpr double kDigammaZeroHi = {hi!r};")
    out.append(f"inline constexpr double kDigammaZeroLo = {lo!r};")
    hi, lo = split(x0 - 1)
    out.append("// x0 - 1, for arguments below 1 that are not shifted by a rounded x + 1.")
    out.append(f"inline constexpr double kDigammaZeroMinusOneHi = {hi!r};")
    out.append(f"inline constexpr double kDigammaZeroMinusOneLo = {lo!r};")
    hi, lo = split(+euler)
    out.append("// Euler's constant.")
    out.append(f"inline constexpr double kEulerHi = {hi!r};")
    out.append(f"inline constexpr double kEulerLo = {lo!r};")
    ln2 = log(2)
    hi = float(ldexp(nint(ldexp(ln2, 42)), -42))
    lo = float(ln2 - mpf(hi))
    lo2 = float(ln2 - mpf(hi) - mpf(lo))
    out.append("// ln 2 with a leading part of 42 bits, so that e * kLn2Hi is exact for |e| < 2^11, and two more")
    out.append("// parts: e * ln 2 to 2^-106 relative needs the third once e * kLn2Lo is formed exactly.")
    out.append(f"inline constexpr double kLn2Hi = {hi!r};")
    out.append(f"inline constexpr double kLn2Lo = {lo!r};")
    out.append(f"inline constexpr double kLn2Lo2 = {lo2!r};")
    hi, lo = split(+pi)
    out.append("// pi.")
    out.append(f"inline constexpr double kPiHi = {hi!r};")
    out.append(f"inline constexpr double kPiLo = {lo!r};")
    out.append("")
    out.append(f"// psi(x) = (x - x0) * Q(x) on [1, 5/2]: Q = c0/2 + sum c_k T_k(y), y = (2x - 7/2) / (3/2);")
    out.append(f"// the truncation leaves {float(worst):.1e} relative.")
    out.append(f"inline constexpr int kDigammaChebyshevCount = {len(cheb)};")
    out.append("inline constexpr double kDigammaChebyshev[kDigammaChebyshevCount] = {")
    for c in cheb:
        out.append(f"    {literal(c)},")
    out.append("};")
    out.append("")
    out.append("// B_2k / (2k)!, k = 1, 2, ...")
    out.append(f"inline constexpr int kBernoulliOverFactorialCount = {len(bern)};")
    out.append("inline constexpr double kBernoulliOverFactorial[kBernoulliOverFactorialCount] = {")
    for c in bern:
        out.append(f"    {literal(c)},")
    out.append("};")
    gamma_lines, gamma_checks = gamma_coefficients()
    out += gamma_lines
    out.append("")
    out.append("}  // namespace quorix::exact")
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "coefficients.h")
    with open(path, "w") as f:
        f.write("\n".join(out) + "\n")
    print(f"wrote {path}: {len(cheb)} Chebyshev coefficients, truncation {float(worst):.2e}")
    print("series truncations (logarithm, Stirling, at 1, at 2, sine, cosine): " +
          ", ".join(f"{float(t):.1e}" for t in gamma_checks))


if __name__ == "__main__":
    main()
