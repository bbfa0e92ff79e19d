"""quorix.cycles and quorix.fit on records made here, by integrating the
Bouc-Wen law in time (RK4), independently of the engine's closed forms."""
import math

import numpy as np
import pytest

import quorix


def _slope(z, n, gamma, s):
    a = abs(z)
    return 1.0 - s * gamma * a ** (n - 1.0) * z - (1.0 - gamma) * a**n


def _step(z, dx, n, gamma, sub=4):
    h, s = dx / sub, (1.0 if dx > 0 else -1.0)
    for _ in range(sub):
        k1 = _slope(z, n, gamma, s)
        k2 = _slope(z + 0.5 * h * k1, n, gamma, s)
        k3 = _slope(z + 0.5 * h * k2, n, gamma, s)
        k4 = _slope(z + h * k3, n, gamma, s)
        z += h / 6.0 * (k1 + 2 * k2 + 2 * k3 + k4)
    return z


def record(n, gamma, alpha, fy, uy, amplitudes, per_quarter=150):
    """Three cycles 0 -> +a -> -a -> 0 per amplitude, each block begun on
    its steady cycle (found by shooting with the same integration)."""
    us, zs = [0.0], [0.0]
    for a in amplitudes:
        X = a / uy

        def miss(z0):
            z = -z0
            for _ in range(2 * per_quarter):
                z = _step(z, X / per_quarter, n, gamma)
            return z - z0

        x0, x1 = 0.3, 0.6
        g0, g1 = miss(x0), miss(x1)
        for _ in range(40):
            if g1 == g0 or abs(x1 - x0) < 1e-15:
                break
            x0, g0, x1 = x1, g1, min(max(x1 - g1 * (x1 - x0) / (g1 - g0), 1e-9), 1 - 1e-15)
            g1 = miss(x1)
        z = -x1
        for _ in range(per_quarter):
            z = _step(z, X / per_quarter, n, gamma)
        du = a / per_quarter
        P = per_quarter
        for _ in range(3):
            for q in range(4 * P):
                z = _step(z, (1 if (q < P or q >= 3 * P) else -1) * du / uy, n, gamma)
                k = q + 1 if q < P else (2 * P - q - 1 if q < 3 * P else q + 1 - 4 * P)
                us.append(k * du)
                zs.append(z)
    u = np.array(us)
    return u, alpha * fy * u / uy + (1 - alpha) * fy * np.array(zs)


TRUE = dict(n=2.0, gamma=0.7, alpha=0.1, fy=50.0, uy=2.0)


@pytest.fixture(scope="module")
def synthetic():
    return record(TRUE["n"], TRUE["gamma"], TRUE["alpha"], TRUE["fy"], TRUE["uy"], [1.4, 3.0, 8.0])


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


def test_fit_recovers_the_parameters(synthetic):
    u, F = synthetic
    result = quorix.fit(u, F)
    for name, value in TRUE.items():
        assert result["parameters"][name] == pytest.approx(value, rel=1e-6), name
    assert result["parameters"]["beta"] == pytest.approx(0.3, rel=1e-6)
    assert result["cycles"].tolist() == [1, 4, 7]  # the steady cycles
    np.testing.assert_allclose(result["model_F"], F[result["points"]], atol=1e-6 * 85.0)
    np.testing.assert_allclose(result["model_EDC"], result["measured_EDC"], rtol=1e-4)
    loop_u, loop_F = result["loops"][2]
    assert loop_u.max() == pytest.approx(8.0) and loop_F.max() == pytest.approx(F.max(), rel=1e-6)


def test_fixed_parameters_are_held(synthetic):
    u, F = synthetic
    result = quorix.fit(u, F, cycles=[3, 4], fix={"n": 2.5, "beta": 0.3})
    assert result["parameters"]["n"] == 2.5 and result["parameters"]["gamma"] == pytest.approx(0.7)
    assert result["fixed"]["n"] and not result["fixed"]["alpha"]
    assert result["errors"]["n"] == 0.0
    assert result["cycles"].tolist() == [3, 4]


@pytest.mark.parametrize(
    "make, message",
    [
        (lambda u, F: (u, 4.0 * u), "almost no area"),  # a purely elastic record
        (lambda u, F: (u[:200], F[:200]), "fewer than one full cycle"),
        (lambda u, F: (u, F[:-1]), "differ in number"),
    ],
)
def test_records_without_an_answer(synthetic, make, message):
    u, F = make(*synthetic)
    with pytest.raises(ValueError, match=message):
        quorix.fit(u, F)


def test_bad_arguments(synthetic):
    u, F = synthetic
    with pytest.raises(ValueError, match='unknown parameter "k"'):
        quorix.fit(u, F, fix={"k": 1.0})
    with pytest.raises(ValueError, match="does not exist"):
        quorix.fit(u, F, cycles=[99])
    with pytest.raises(ValueError, match="one-dimensional"):
        quorix.cycles(np.zeros((3, 3)), np.zeros(9))
