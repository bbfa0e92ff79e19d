#!/usr/bin/python3
"""Reference responses of the Bouc-Wen hysteresis model, computed to ~40 digits.

    /usr/bin/python3 tests/response/make_response_reference.py > tests/response/data/response_reference.tsv

The table goes to stdout, progress and check results to stderr.  Needs python3-mpmath.

Model, in x = u/Uy with beta + gamma = 1 and w = beta - gamma:
    dz/dx = 1 - gamma*s*|z|^(n-1)*z - beta*|z|^n,        s = sign(dx).
Mirror symmetry: with eta = s*z and xi = s*x every stretch becomes a loading,
    d(eta)/d(xi) = g(eta),   g = 1 - eta^n (eta >= 0),   g = 1 - w*|eta|^n (eta < 0),
with xi increasing.  The ODE is autonomous and scalar, so it separates:
    xi - xi_a = F(eta) - F(eta_a),      F(eta) = int_0^eta dzeta / g(zeta),
and since z dx = (s*eta)(s*dxi) = eta dxi the work of a stretch is
    W = G(eta_b) - G(eta_a),            G(eta) = int_0^eta zeta dzeta / g(zeta).
F and G are tanh-sinh quadratures (mpmath.quad), split at eta = 0 where |eta|^n is
not smooth, and eta is found by a bracketed Newton iteration (dF/deta = 1/g).
No closed form is used.  An independent Taylor-series integration of the ODE
in its original form (mpmath.odefun) checks the values; any mismatch aborts.
"""
import math
import random
import sys
import time

import mpmath
from mpmath import mp, mpf

DPS = 50                         # working digits; results are wanted to 25
mp.dps = DPS
NEWTON_TOL = mpf(10) ** (10 - DPS)
ODE_DPS = 40                     # odefun's working digits
ODE_CHUNK = 4                    # samples integrated from one odefun start
CHECK_TOL = mpf(10) ** -25
quad_err = [mpf(0)]              # largest error estimate reported by quad
SAT_GAP = mpf(10) ** -30         # 1 - |z| below which the asymptotic check applies
sat_checks = [0]


def quad(f, pts):
    v, e = mpmath.quad(f, pts, error=True)
    quad_err[0] = max(quad_err[0], e)
    return v


class Model:
    """Integrands of F and G, on either side of eta = 0.

    eta >= 0 uses u = -ln(1 - eta) as the variable.  1 - eta decays like
    exp(-n*xi): at n = 8, x = 30 it is ~1e-104 and eta itself would round to 1
    at any sane precision, making F(eta) meaningless.  In u, dF/du = t/(1 - eta^n)
    with t = 1 - eta = e^-u, a smooth bounded integrand (-> 1/n as u -> oo), and
    1 - eta^n = -expm1(n*log1p(-t)) keeps full relative accuracy when t is tiny.
    eta < 0 uses eta itself: g >= 1 - w = 2*gamma > 0 there, nothing is singular.
    """

    def __init__(self, n, gamma):
        self.n, self.gamma = mpf(n), mpf(gamma)
        self.beta = 1 - self.gamma
        self.w = self.beta - self.gamma
        assert self.n > 0 and self.gamma > 0  # gamma = 0 would give g(-1) = 0

    def dF_pos(self, u):
        if u < 1:
            d = 1 - (-mp.expm1(-u)) ** self.n
        else:
            d = -mp.expm1(self.n * mp.log1p(-mp.exp(-u)))
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


def gap_of(st):
    """1 - |eta|, with full relative accuracy on the saturated side."""
    return mp.exp(-st[1]) if st[0] else 1 + st[1]


def newton(f, x, Fx, target, lo, hi):
    """Solve F(x) = target for increasing F with F' = f, given F(x) = Fx.

    The root lies in [lo, hi]; a Newton step leaving that bracket is replaced
    by bisection.  F at each iterate is updated by the quadrature over the last
    step only, so late iterations integrate over tiny intervals and are cheap.
    """
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
            return xn  # quadratic convergence: xn is good to ~NEWTON_TOL^2
        x, Fx = xn, Fn
    raise RuntimeError("Newton iteration did not converge")


def advance(m, st, dxi):
    """Move a state forward by dxi >= 0 along the canonical loading."""
    if dxi == 0:
        return st
    pos, v, F, G = st
    target = F + dxi  # F stays tied to the exact sample data, no drift
    if not pos:
        if target <= 0:
            eta = newton(m.dF_neg, v, F, target, v, mpf(0))
            return (False, eta, target, G + quad(m.dG_neg, [v, eta]))
        v, F, G = mpf(0), mpf(0), mpf(0)  # passes eta = 0, where F = G = 0
    u = newton(m.dF_pos, v, F, target, v, mp.inf)
    return (True, u, target, G + quad(m.dG_pos, [v, u]))


def stretches(x):
    """(first, last, s) per stretch.  A zero step neither reverses nor sets the
    direction; a stretch ends at the last sample before the first opposite step."""
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
    """z, 1 - |z| at every sample, work per stretch, per-stretch canonical G."""
    z = [mpf(z0)] + [None] * (len(x) - 1)
    gap = [1 - abs(z[0])] + [None] * (len(x) - 1)
    work, detail, st = [], [], None
    for a, b, s in stretches(x):
        st = state_at(m, s * z[a])
        Gs = {a: st[3]}
        for k in range(a + 1, b + 1):
            prev, dxi = st, s * (mpf(x[k]) - mpf(x[k - 1]))
            st = advance(m, st, dxi)
            if prev[0] and st[0] and gap_of(prev) < SAT_GAP:
                # Deep in saturation d(ln t)/dxi = -(1 - (1-t)^n)/t = -n + O(t): u must
                # grow by n*dxi.  This tests the saturated branch without quadrature.
                assert abs(st[1] - prev[1] - m.n * dxi) < CHECK_TOL
                sat_checks[0] += 1
            z[k], gap[k] = s * eta_of(st), gap_of(st)
            Gs[k] = st[3]
        work.append(st[3] - Gs[a])
        detail.append((a, b, s, Gs))
    return z, gap, work, detail


def ode_check(m, x, z, detail, stats):
    """Integrate dz/dx and dW/dx = z in their original form with mpmath.odefun.

    odefun builds Taylor series, so each run must stay where the right-hand side
    is analytic: z keeps one sign (z is monotone on a stretch, so the end samples
    decide) and |z| >= 0.05 (the branch point at z = 0 limits the step).  It only
    integrates forward, hence the variable p = s*(x - x_k) >= 0, dz/dp = s*dz/dx.
    """
    n, gam, bet = m.n, m.gamma, m.beta
    for a, b, s, Gs in detail:
        def rhs(p, y, s=s):
            zz = y[0]
            return [s * (1 - gam * s * abs(zz) ** (n - 1) * zz - bet * abs(zz) ** n), s * zz]
        k = a
        while k < b:
            j = min(b, k + ODE_CHUNK)
            while j > k and not (z[k] * z[j] > 0 and min(abs(z[k]), abs(z[j])) >= 0.05):
                j -= 1
            if j == k:
                stats["skipped"] += 1
                k += 1
                continue
            with mp.workdps(ODE_DPS):
                sol = mpmath.odefun(rhs, 0, [+z[k], mpf(0)])
                for i in range(k + 1, j + 1):
                    zo, wo = sol(s * (mpf(x[i]) - mpf(x[k])))
                    wq = Gs[i] - Gs[k]
                    dz = abs(zo - z[i]) / abs(z[i])
                    dw = abs(wo - wq) / abs(wq) if wq else abs(wo)
                    stats["steps"] += 1
                    stats["saturated"] += 1 - abs(z[i]) < mpf(10) ** -20
                    stats["max"] = max(stats["max"], dz, dw)
                    if not (dz < CHECK_TOL and dw < CHECK_TOL):
                        sys.exit("odefun disagrees at sample %d: dz=%s dW=%s" % (i, dz, dw))
            k = j


def to_double(v):
    """Nearest double to v, refusing a value whose rounding is not clear-cut."""
    f = float(v)
    if v == f:
        return f
    d = abs(v - f)
    for g in (math.nextafter(f, math.inf), math.nextafter(f, -math.inf)):
        assert abs(v - g) - d > mpf(10) ** -40, "ambiguous rounding of %s" % v
    return f


# ---------------------------------------------------------------- histories
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
    # w = 0 here, so z = z0 + x while z < 0: steps of 0.12 keep z = 0 off the samples
    # (a sample at z = 0 is known only to ~1e-45 absolute, too little to round to 0.0).
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


def write_table(out, p=print):
    """The histories as tab-separated lines: a history's line, then one a sample and one a stretch."""
    p("# Generated by tests/response/make_response_reference.py; rerun: /usr/bin/python3 "
      "tests/response/make_response_reference.py > tests/response/data/response_reference.tsv")
    p("# Bouc-Wen responses z(x) and work per stretch, computed at %d digits by quadrature of" % DPS)
    p("# the separated ODE and checked against Taylor-series integration. Do not edit by hand.")
    p("# history<TAB>what it exercises<TAB>n<TAB>gamma<TAB>z0, then its lines")
    p("# sample<TAB>u/Uy<TAB>exact z, rounded to the nearest double")
    p("# work<TAB>exact integral of z dx over each stretch between reversals, in order")
    for name, n, gamma, z0, x, z, work in out:
        p("history\t%s\t%r\t%r\t%r" % (name, float(n), float(gamma), float(z0)))
        for xk, zk in zip(x, z):
            p("sample\t%r\t%r" % (float(xk), zk))
        for w in work:
            p("work\t%r" % w)


def main():
    t0 = time.time()
    stats = {"steps": 0, "saturated": 0, "skipped": 0, "max": mpf(0)}
    out = []
    for name, n, gamma, z0, x in HISTORIES:
        t1 = time.time()
        m = Model(n, gamma)
        z, gap, work, detail = respond(m, x, z0)
        assert work[0] > 0 or z0 != 0  # loading from z = 0: positive work
        if n == 1 and z0 == 0:
            # n = 1 virgin loading has the elementary solution z = 1 - e^-x, W = x - z
            a, b, s, Gs = detail[0]
            for k in range(b + 1):
                assert abs(z[k] + mp.expm1(-mpf(x[k]))) < mpf(10) ** -40
                assert abs(Gs[k] - Gs[0] - (mpf(x[k]) - z[k])) < mpf(10) ** -40
        t2 = time.time()
        ode_check(m, x, z, detail, stats)
        zmin = min(gap)
        print("%-72s n=%-3g gamma=%-4g z0=%-5g samples=%3d stretches=%2d  "
              "min(1-|z|)=%.1e  min|W|=%.1e  quad %.0fs  ode %.0fs"
              % (name, n, gamma, z0, len(x), len(work), zmin, min(abs(w) for w in work),
                 t2 - t1, time.time() - t2), file=sys.stderr)
        out.append((name, n, gamma, z0, x, [to_double(v) for v in z],
                    [to_double(v) for v in work]))
    print("odefun cross-check: %d sample steps agree (%d of them with 1-|z| < 1e-20), "
          "%d starts skipped near z = 0; largest relative difference %s"
          % (stats["steps"], stats["saturated"], stats["skipped"],
             mpmath.nstr(stats["max"], 3)), file=sys.stderr)
    print("saturation asymptote d(ln(1-|z|))/d|x| = -n checked on %d steps" % sat_checks[0],
          file=sys.stderr)
    print("largest quad error estimate %s; total %.0f s"
          % (mpmath.nstr(quad_err[0], 3), time.time() - t0), file=sys.stderr)
    assert quad_err[0] < mpf(10) ** -35

    write_table(out)

if __name__ == "__main__":
    main()
