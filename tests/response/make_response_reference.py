#!/usr/bin/python3
"""Reference responses of the Bouc-Wen law to ~40 digits (needs python3-mpmath):

    /usr/bin/python3 tests/response/make_response_reference.py > tests/response/data/response_reference.tsv

In x = u/Uy with beta + gamma = 1, w = beta - gamma, s = sign(dx):
    dz/dx = 1 - gamma*s*|z|^(n-1)*z - beta*|z|^n.
With eta = s*z, xi = s*x every stretch is a loading, d(eta)/d(xi) = g(eta), g = 1 - eta^n
(eta >= 0) or 1 - w*|eta|^n (eta < 0). It separates: xi - xi_a = F(eta) - F(eta_a) with
F = int dzeta/g, and the work of a stretch is G(eta_b) - G(eta_a) with G = int zeta dzeta/g.
F and G are tanh-sinh quadratures split at eta = 0; eta comes from a bracketed Newton
iteration. No closed form is used; a Taylor integration of the ODE in its original form
(mpmath.odefun) checks every value, and any mismatch aborts.
"""
import math
import random
import sys

import mpmath
from mpmath import mp, mpf

DPS = 50
mp.dps = DPS
NEWTON_TOL = mpf(10) ** (10 - DPS)
CHECK_TOL = mpf(10) ** -25
SAT_GAP = mpf(10) ** -30  # 1 - |z| below which the saturated asymptote is checked
quad_err = [mpf(0)]
ode_steps = [0, mpf(0)]  # steps the Taylor integration checked, their largest relative difference


def quad(f, pts):
    v, e = mpmath.quad(f, pts, error=True)
    quad_err[0] = max(quad_err[0], e)
    return v


class Model:
    """Integrands of F and G. For eta >= 0 in u = -ln(1 - eta): 1 - eta reaches ~1e-104
    (n = 8, x = 30), where eta itself would round to 1; dF/du = t/(1 - eta^n), t = e^-u, is
    smooth and 1 - eta^n = -expm1(n*log1p(-t)) keeps its digits."""

    def __init__(self, n, gamma):
        self.n, self.gamma = mpf(n), mpf(gamma)
        self.beta = 1 - self.gamma
        self.w = self.beta - self.gamma
        assert self.n > 0 and self.gamma > 0  # gamma = 0 would give g(-1) = 0

    def dF_pos(self, u):
        d = 1 - (-mp.expm1(-u)) ** self.n if u < 1 else -mp.expm1(self.n * mp.log1p(-mp.exp(-u)))
        return mp.exp(-u) / d

    def dG_pos(self, u):
        return -mp.expm1(-u) * self.dF_pos(u)

    def dF_neg(self, eta):
        return 1 / (1 - self.w * (-eta) ** self.n)

    def dG_neg(self, eta):
        return eta * self.dF_neg(eta)


# A state is (pos, v, F, G): v = u if pos else eta; F, G are the primitives from 0.
def state_at(m, eta):
    if eta < 0:
        return (False, eta, -quad(m.dF_neg, [eta, 0]), -quad(m.dG_neg, [eta, 0]))
    u = -mp.log1p(-eta)
    if u == 0:
        return (True, mpf(0), mpf(0), mpf(0))
    pts = [0, u] if u <= 1 else [0, 1, u]
    return (True, u, quad(m.dF_pos, pts), quad(m.dG_pos, pts))


def eta_of(st):
    return -mp.expm1(-st[1]) if st[0] else st[1]


def gap_of(st):  # 1 - |eta|, to full relative accuracy when saturated
    return mp.exp(-st[1]) if st[0] else 1 + st[1]


def newton(f, x, Fx, target, lo, hi):
    """F(x) = target for increasing F, F' = f, root in [lo, hi]; bisects a step that leaves
    the bracket, and integrates only over each step."""
    for _ in range(200):
        if Fx == target:
            return x
        xn = x + (target - Fx) / f(x)
        if not lo < xn < hi:
            xn = (lo + hi) / 2
        Fn = Fx + quad(f, [x, xn])
        if Fn < target:
            lo = xn
        else:
            hi = xn
        if abs(xn - x) <= NEWTON_TOL * (1 + abs(xn)):
            return xn
        x, Fx = xn, Fn
    raise RuntimeError("Newton iteration did not converge")


def advance(m, st, dxi):
    """A state moved forward by dxi >= 0 along the loading."""
    if dxi == 0:
        return st
    pos, v, F, G = st
    target = F + dxi
    if not pos:
        if target <= 0:
            eta = newton(m.dF_neg, v, F, target, v, mpf(0))
            return (False, eta, target, G + quad(m.dG_neg, [v, eta]))
        v, F, G = mpf(0), mpf(0), mpf(0)  # through eta = 0, where F = G = 0
    u = newton(m.dF_pos, v, F, target, v, mp.inf)
    return (True, u, target, G + quad(m.dG_pos, [v, u]))


def stretches(x):
    """(first, last, s) per stretch; a zero step neither reverses nor sets the direction."""
    out, start, s = [], 0, 0
    for k in range(1, len(x)):
        if x[k] == x[k - 1]:
            continue
        sk = 1 if x[k] > x[k - 1] else -1
        if s == 0:
            s = sk
        elif sk != s:
            out.append((start, k - 1, s))
            start, s = k - 1, sk
    out.append((start, len(x) - 1, s or 1))
    return out


def respond(m, x, z0):
    """z at every sample, the work per stretch, and each stretch's G for the check."""
    z = [mpf(z0)] + [None] * (len(x) - 1)
    work, detail = [], []
    for a, b, s in stretches(x):
        st = state_at(m, s * z[a])
        Gs = {a: st[3]}
        for k in range(a + 1, b + 1):
            prev, dxi = st, s * (mpf(x[k]) - mpf(x[k - 1]))
            st = advance(m, st, dxi)
            if prev[0] and st[0] and gap_of(prev) < SAT_GAP:
                # Saturated, d(ln(1 - eta))/dxi = -n + O(1 - eta): a check without quadrature.
                assert abs(st[1] - prev[1] - m.n * dxi) < CHECK_TOL
            z[k] = s * eta_of(st)
            Gs[k] = st[3]
        work.append(st[3] - Gs[a])
        detail.append((a, b, s, Gs))
    return z, work, detail


def ode_check(m, x, z, detail):
    """dz/dx and dW/dx = z by Taylor series (odefun), forward in p = s*(x - x_k), over runs
    of at most 4 samples where z keeps its sign and |z| >= 0.05 (the branch point at 0)."""
    n, gam, bet = m.n, m.gamma, m.beta
    for a, b, s, Gs in detail:
        def rhs(p, y, s=s):
            zz = y[0]
            return [s * (1 - gam * s * abs(zz) ** (n - 1) * zz - bet * abs(zz) ** n), s * zz]
        k = a
        while k < b:
            j = min(b, k + 4)
            while j > k and not (z[k] * z[j] > 0 and min(abs(z[k]), abs(z[j])) >= 0.05):
                j -= 1
            if j == k:
                k += 1
                continue
            with mp.workdps(40):
                sol = mpmath.odefun(rhs, 0, [+z[k], mpf(0)])
                for i in range(k + 1, j + 1):
                    zo, wo = sol(s * (mpf(x[i]) - mpf(x[k])))
                    wq = Gs[i] - Gs[k]
                    dz = abs(zo - z[i]) / abs(z[i])
                    dw = abs(wo - wq) / abs(wq) if wq else abs(wo)
                    ode_steps[0] += 1
                    ode_steps[1] = max(ode_steps[1], dz, dw)
                    if not (dz < CHECK_TOL and dw < CHECK_TOL):
                        sys.exit("odefun disagrees at sample %d: dz=%s dW=%s" % (i, dz, dw))
            k = j


def to_double(v):
    """The nearest double, refusing a value whose rounding is not clear-cut."""
    f = float(v)
    if v == f:
        return f
    d = abs(v - f)
    for g in (math.nextafter(f, math.inf), math.nextafter(f, -math.inf)):
        assert abs(v - g) - d > mpf(10) ** -40, "ambiguous rounding of %s" % v
    return f


def legs(start, *plan):
    """Piecewise-linear path: from start to each (target, steps) in turn."""
    x = [start]
    for target, m in plan:
        a = x[-1]
        x += [a + (target - a) * k / m for k in range(1, m)] + [target]
    return x


def protocol(amps, per_quarter):
    """Two full cycles 0 -> +A -> -A -> 0 at each amplitude, from rest."""
    plan = []
    for A in amps:
        plan += [(A, per_quarter), (-A, 2 * per_quarter), (0.0, per_quarter)] * 2
    return legs(0.0, *plan)


def random_walk(seed, steps, bound):
    r = random.Random(seed)  # only random() is used: its sequence is stable
    x, s = [0.0], 1
    for _ in range(steps):
        if r.random() < 0.2:
            s = -s
        mag = (1e-3, 1e-2, 0.1, 0.25, 0.5)[int(r.random() * 5)] * (0.5 + r.random())
        if abs(x[-1] + s * mag) > bound:
            s = -s
        x.append(x[-1] + s * mag)
    return x


AMPS = (0.3, 0.6, 1.0, 1.5, 3.0)
HISTORIES = [
    ("virgin loading into deep saturation, 1-z < 1e-100 at x = 30", 8, 0.5, 0.0,
     [0.05 * k for k in range(21)] + [1 + 0.5 * k for k in range(1, 59)]),
    ("virgin loading to x = 10, quadratically graded spacing", 0.5, 0.75, 0.0,
     [10 * (k / 60) ** 2 for k in range(61)]),
    ("rising amplitudes 0.3/0.6/1/1.5/3, two cycles each", 1, 0.5, 0.0, protocol(AMPS, 4)),
    ("rising amplitudes, w = 0.4 (slope 1 - 0.4|z|^n for z < 0 on loading)", 2, 0.3, 0.0,
     protocol(AMPS, 3)),
    ("rising amplitudes, steep n = 8", 8, 0.75, 0.0, protocol(AMPS, 3)),
    ("inner loops with reversals at z > 0 and at z < 0", 1.5, 0.75, 0.0,
     legs(0.0, (2.0, 10), (1.6, 4), (2.2, 6), (-1.0, 16), (-0.6, 4), (-1.3, 6), (-0.9, 4),
          (0.4, 8), (0.1, 4), (0.5, 4))),
    ("irregular random walk, steps from 5e-4 to 0.75", 2.5, 0.3, 0.0, random_walk(7, 150, 4.0)),
    ("repeated samples: at the start, inside stretches and at reversals", 1, 1.0, 0.0,
     [0.0, 0.0, 0.2, 0.4, 0.4, 0.6, 0.8, 1.0, 1.0, 1.0, 0.7, 0.4, 0.4, 0.1, -0.2, -0.5, -0.5,
      -0.8, -0.8, -0.5, -0.2, -0.2, 0.1, 0.1, 0.4, 0.7, 0.7, 0.5, 0.5, 0.3, 0.3, 0.6, 0.9,
      1.2, 1.2, 1.2, 0.9, 0.6, 0.3, 0.0, 0.0]),
    # w = 0, so z = z0 + x while z < 0: steps of 0.12 keep z = 0 (known to ~1e-45 only) off the samples.
    ("loading from z0 = -0.7 and back", 2, 0.5, -0.7, legs(0.0, (3.0, 25), (0.0, 30))),
    ("unloading first from z0 = 0.95", 4, 0.75, 0.95, legs(0.0, (-2.0, 20), (1.0, 30), (-0.5, 15))),
    ("cycles +-20 with reversals from deep saturation on both sides, w = 0.4", 8, 0.3, 0.0,
     legs(0.0, (2.0, 8), (20.0, 18), (18.0, 8), (-20.0, 38), (-18.0, 8), (20.0, 38))),
    ("w = -1.4, irregular random walk", 0.5, 1.2, 0.0, random_walk(11, 120, 5.0)),
    ("ratcheting small loops about x ~ 1 after loading", 1.5, 1.0, 0.0,
     legs(0.0, (1.0, 10), *[(1.0 + 0.02 * c + 0.05 * sg, 3)
                            for c in range(8) for sg in (1, -1)])),
    ("tiny first steps, tiny steps at a reversal, dense zero crossing", 2.5, 0.5, 0.0,
     [0.0, 1e-9, 1e-6, 1e-4, 1e-3, 1e-2, 0.05, 0.1, 0.3, 0.6, 1.0, 1.5, 2.0,
      2.0 - 1e-9, 2.0 - 1e-6, 2.0 - 1e-3] + legs(1.9, (0.0, 8), (-0.8, 32), (-2.0, 6))[1:]
     + legs(-2.0, (-2.0 + 1e-6, 1), (1.0, 12))[1:]),
    ("unloading first from z0 = -0.7 (toward -1), w = -1.4", 4, 1.2, -0.7,
     legs(0.0, (-1.5, 10), (1.0, 20), (-0.3, 10), (0.4, 8))),
    ("further loading from z0 = 0.95, then a partial unload", 1, 0.3, 0.95,
     legs(0.0, (5.0, 25), (3.0, 10), (6.0, 15))),
]


def main():
    print("# Generated by tests/response/make_response_reference.py; rerun: /usr/bin/python3 "
          "tests/response/make_response_reference.py > tests/response/data/response_reference.tsv")
    print("# Bouc-Wen responses z(x) and work per stretch, computed at %d digits by quadrature of" % DPS)
    print("# the separated ODE and checked against Taylor-series integration. Do not edit by hand.")
    print("# history<TAB>what it exercises<TAB>n<TAB>gamma<TAB>z0, then its lines")
    print("# sample<TAB>u/Uy<TAB>exact z, rounded to the nearest double")
    print("# work<TAB>exact integral of z dx over each stretch between reversals, in order")
    for name, n, gamma, z0, x in HISTORIES:
        m = Model(n, gamma)
        z, work, detail = respond(m, x, z0)
        assert work[0] > 0 or z0 != 0  # loading from z = 0: positive work
        if n == 1 and z0 == 0:  # n = 1 from rest: z = 1 - e^-x, W = x - z
            for k in range(detail[0][1] + 1):
                assert abs(z[k] + mp.expm1(-mpf(x[k]))) < mpf(10) ** -40
                assert abs(detail[0][3][k] - detail[0][3][0] - (mpf(x[k]) - z[k])) < mpf(10) ** -40
        ode_check(m, x, z, detail)
        print(name, file=sys.stderr)
        print("history\t%s\t%r\t%r\t%r" % (name, float(n), float(gamma), float(z0)))
        for xk, zk in zip(x, z):
            print("sample\t%r\t%r" % (float(xk), to_double(zk)))
        for w in work:
            print("work\t%r" % to_double(w))
    print("odefun agrees on %d steps, within %s" % (ode_steps[0], mpmath.nstr(ode_steps[1], 3)), file=sys.stderr)
    assert quad_err[0] < mpf(10) ** -35, quad_err[0]


if __name__ == "__main__":
    main()
