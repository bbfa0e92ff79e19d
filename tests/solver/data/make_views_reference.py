#!/usr/bin/python3
"""Reference values for views_test.cpp, computed with mpmath at 30 digits.

1. The derived quantities of the window's initial texts (n = 2, beta = 0.1,
   gamma = 0.9, alpha = 0.10, Fy = 2.86, Uy = 0.111, Umax/Uy = 1), from the
   elementary closed forms at n = 2, w = beta - gamma = -0.8:
     amp(x) = (atan(sqrt(0.8) x)/sqrt(0.8) + atanh(x)) / 2 = U gives Za,
     DE/(Fh Uy) = 2 (2U - Kcd* - Kda*),
     Kcd* = atan(sqrt(0.8) Za)/sqrt(0.8) + ln(1 + 0.8 Za^2)/1.6,
     Kda* = ln(1 + Za).
2. The energy one steady cycle dissipates, DE = (1 - alpha) Fy Uy * 2 * (loop
   integral of z dx over the loading branch), by quadrature of the hysteresis
   law dz/dx = 1 - w|z|^n (z < 0), 1 - z^n (z > 0), for cases the tests draw:
     per branch  2U - Int_0^Za (1 + z)/(1 - w z^n) dz - Int_0^Za (1 - z)/(1 - z^n) dz,
   with Za from 2U = Int_0^Za dz/(1 - w z^n) + Int_0^Za dz/(1 - z^n), and
   Za = 1 once U passes the amplitude at which z reaches 1.

Run: /usr/bin/python3 make_views_reference.py
"""
from mpmath import mp, mpf, sqrt, atan, atanh, log, findroot, quad, pi

mp.dps = 30


def derived_initial_texts():
    n, beta, gamma, alpha, fy, uy, u = 2, mpf("0.1"), mpf("0.9"), mpf("0.10"), mpf("2.86"), mpf("0.111"), mpf(1)
    s = sqrt(mpf("0.8"))
    amp = lambda x: (atan(s * x) / s + atanh(x)) / 2
    za = findroot(lambda x: amp(x) - u, (mpf("0.5"), mpf("0.99")), solver="anderson")
    kcd = atan(s * za) / s + log(1 + mpf("0.8") * za**2) / mpf("1.6")
    kda = log(1 + za)
    de = (1 - alpha) * fy * uy * 2 * (2 * u - kcd - kda)
    fa = (1 - alpha) * fy * za + alpha * fy * u
    umax = u * uy
    return {"XiEq": de / (2 * pi * fa * umax), "Ksec": fa / umax, "KsecOverK0": fa / (fy * u)}


def dissipated_energy(n, gamma, alpha, fy, uy, u):
    n, gamma, alpha, fy, uy, u = (mpf(v) for v in (n, gamma, alpha, fy, uy, u))
    w = (1 - gamma) - gamma
    gw = lambda a: quad(lambda z: 1 / (1 - w * z**n), [0, a])
    g1 = lambda a: quad(lambda z: 1 / (1 - z**n), [0, a])
    # The amplitude at which z reaches 1 is infinite: G_1 diverges at 1. Solve
    # in t = -ln(1 - Za), which is well conditioned up to Za within 1e-25 of 1.
    za_of = lambda t: -mp.expm1(-t)
    t = findroot(lambda t: gw(za_of(t)) + g1(za_of(t)) - 2 * u, (mpf("0.1"), mpf(50)), solver="anderson")
    za = za_of(t)
    kcd = quad(lambda z: (1 + z) / (1 - w * z**n), [0, za])
    kda = quad(lambda z: (1 - z) / (1 - z**n), [0, za])
    return za, (1 - alpha) * fy * uy * 2 * (2 * u - kcd - kda)


def saturated_energy(n, gamma, alpha, fy, uy, u):
    # Za = 1: the branch reaches z = 1 and stays there; the (1 - z) of Kda*
    # cancels the pole of 1/(1 - z^n).
    n, gamma, alpha, fy, uy, u = (mpf(v) for v in (n, gamma, alpha, fy, uy, u))
    w = (1 - gamma) - gamma
    kcd = quad(lambda z: (1 + z) / (1 - w * z**n), [0, 1])
    kda = quad(lambda z: (1 - z) / (1 - z**n), [0, 1])
    return (1 - alpha) * fy * uy * 2 * (2 * u - kcd - kda)


if __name__ == "__main__":
    for key, value in derived_initial_texts().items():
        print(f"{key} = {mp.nstr(value, 17)}")
    for case in [(2, "0.9", "0.1", "2.86", "0.111", 1), (3, "0.5", "0.3", 1, 1, "1.5"), ("1.5", "0.9", 0, 1, 1, 2)]:
        za, de = dissipated_energy(*case)
        print(f"unsaturated {case}: Za = {mp.nstr(za, 17)}  DE = {mp.nstr(de, 17)}")
    for case in [(5, "0.9", "0.1", "2.86", "0.111", 9), ("0.5", "0.5", "0.9", 1, 1, 60)]:
        print(f"saturated {case}: DE = {mp.nstr(saturated_energy(*case), 17)}")
