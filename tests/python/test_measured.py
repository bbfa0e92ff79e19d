"""quorix.cycles and quorix.fit on records made here, by integrating the
Bouc-Wen law in time (RK4), independently of the engine's closed forms."""
import math

import numpy as np
import pytest

import quorix

TRUE = dict(n=2.0, gamma=0.7, alpha=0.1, fy=50.0, uy=2.0)


def _step(z, dx, n, gamma, sub=4):
    """z after dx of dz/dx = 1 - gamma·sign(dx)·|z|^(n-1)·z - (1 - gamma)·|z|^n, in sub RK4 steps."""
    h, s = dx / sub, (1.0 if dx > 0 else -1.0)
    slope = lambda z: 1.0 - s * gamma * abs(z) ** (n - 1.0) * z - (1.0 - gamma) * abs(z) ** n  # noqa: E731
    for _ in range(sub):
        k1 = slope(z)
        k2 = slope(z + 0.5 * h * k1)
        k3 = slope(z + 0.5 * h * k2)
        k4 = slope(z + h * k3)
        z += h / 6.0 * (k1 + 2 * k2 + 2 * k3 + k4)
    return z


def record(n, gamma, alpha, fy, uy, amplitudes, P=150):
    """Three cycles 0 -> +a -> -a -> 0 per amplitude, P steps a quarter, each
    block begun on its steady cycle (found by shooting with the same integration)."""
    us, zs = [0.0], [0.0]
    for a in amplitudes:
        X = a / uy

        def miss(z0):  # half a steady cycle from -z0 must end at z0
            z = -z0
            for _ in range(2 * P):
                z = _step(z, X / P, n, gamma)
            return z - z0

        x0, x1 = 0.3, 0.6
        g0, g1 = miss(x0), miss(x1)
        for _ in range(40):
            if g1 == g0 or abs(x1 - x0) < 1e-15:
                break
            x0, g0, x1 = x1, g1, min(max(x1 - g1 * (x1 - x0) / (g1 - g0), 1e-9), 1 - 1e-15)
            g1 = miss(x1)
        z = -x1
        for _ in range(P):
            z = _step(z, X / P, n, gamma)
        for _ in range(3):
            for q in range(4 * P):
                z = _step(z, (1 if (q < P or q >= 3 * P) else -1) * a / P / uy, n, gamma)
                us.append((q + 1 if q < P else (2 * P - q - 1 if q < 3 * P else q + 1 - 4 * P)) * (a / P))
                zs.append(z)
    u = np.array(us)
    return u, alpha * fy * u / uy + (1 - alpha) * fy * np.array(zs)


@pytest.fixture(scope="module")
def synthetic():
    return record(*TRUE.values(), [1.4, 3.0, 8.0])


def test_cycles_of_an_ellipse_polygon():
    # u = d cos t, F = k u - c sin t at N steps a turn: area (N/2) c d sin(2 pi / N), clockwise.
    N, d, k, c = 200, 2.0, 3.0, 0.7
    t = 2 * np.pi * np.arange(3 * N + N // 4 + 1) / N
    u = d * np.cos(t)
    table = quorix.cycles(u, k * u - c * np.sin(t))
    area = 0.5 * N * c * d * math.sin(2 * math.pi / N)
    np.testing.assert_allclose(table["EDC"], [area, area], rtol=1e-12)
    np.testing.assert_allclose(table["Keff"], [k, k], rtol=1e-12)
    assert table["steady"].tolist() == [False, True]
    assert table["first"].tolist() == [N // 2, 3 * N // 2]
    assert table["steady_means"]["count"] == 1


def test_fit_recovers_the_parameters_or_holds_the_fixed_ones(synthetic):
    u, F = synthetic
    result = quorix.fit(u, F)
    for name, value in {**TRUE, "beta": 0.3}.items():
        assert result["parameters"][name] == pytest.approx(value, rel=1e-6), name
    assert result["cycles"].tolist() == [1, 4, 7]  # the steady cycles
    np.testing.assert_allclose(result["model_F"], F[result["points"]], atol=1e-6 * 85.0)
    np.testing.assert_allclose(result["model_EDC"], result["measured_EDC"], rtol=1e-4)
    loop_u, loop_F = result["loops"][2]
    assert loop_u.max() == pytest.approx(8.0) and loop_F.max() == pytest.approx(F.max(), rel=1e-6)

    held = quorix.fit(u, F, cycles=[3, 4], fix={"n": 2.5, "beta": 0.3})
    assert held["parameters"]["n"] == 2.5 and held["parameters"]["gamma"] == pytest.approx(0.7)
    assert held["fixed"]["n"] and not held["fixed"]["alpha"] and held["errors"]["n"] == 0.0
    assert held["cycles"].tolist() == [3, 4]


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda u, F: quorix.fit(u, 4.0 * u), "almost no area"),  # a purely elastic record
        (lambda u, F: quorix.fit(u[:200], F[:200]), "fewer than one full cycle"),
        (lambda u, F: quorix.fit(u, F[:-1]), "differ in number"),
        (lambda u, F: quorix.fit(u, F, fix={"k": 1.0}), 'unknown parameter "k"'),
        (lambda u, F: quorix.fit(u, F, cycles=[99]), "does not exist"),
        (lambda u, F: quorix.cycles(np.zeros((3, 3)), np.zeros(9)), "one-dimensional"),
    ],
)
def test_records_and_arguments_without_an_answer(synthetic, call, message):
    with pytest.raises(ValueError, match=message):
        call(*synthetic)
