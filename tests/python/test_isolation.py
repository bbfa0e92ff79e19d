"""quorix.isolation_at against quorix-cli isolation at --json, and its broadcasting, NaN and warnings."""
import warnings

import numpy as np
import pytest

import quorix
from conftest import bits

# (case, D, bearings): soft and sharp loops, small and large amplitudes, several bearings, and gamma = 0,
# whose loop crosses u = 0 at z = 0 (Qd = 0: no bilinear loop).
CASES = [
    (dict(n=2.0, gamma=0.5, alpha=0.1, fy=100.0, uy=0.02), 0.05, 1),
    (dict(n=1.0, gamma=0.9, alpha=0.0, fy=1.0, uy=1.0), 0.3, 1),
    (dict(n=8.0, gamma=0.7, alpha=0.05, fy=250.0, uy=0.01), 0.4, 4),
    (dict(n=0.6, gamma=0.2, alpha=0.3, fy=3.5, uy=2.0), 17.0, 2),
    (dict(n=2.0, gamma=0.0, alpha=0.1, fy=100.0, uy=0.02), 0.05, 1),
]


def cli_system(cli, case, D, bearings):
    args = [a for k, v in case.items() for a in (f"--{k}", repr(v))]
    system = cli.json("isolation", "at", *args, "--D", repr(D), "--bearings", bearings)["system"]
    bilinear = system["bilinear"] or {}
    return [system[k] for k in quorix.ISOLATION_NAMES[:8]] + [bilinear.get(k, np.nan) for k in ("Kd", "Dy", "Ku")]


def test_equals_the_command_line_to_the_bit(cli):
    columns = {k: np.array([case[k] for case, _, _ in CASES]) for k in ("n", "gamma", "alpha", "fy", "uy")}
    D = np.array([d for _, d, _ in CASES])
    N = np.array([b for _, _, b in CASES])
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # gamma = 0 has no bilinear loop: tested below
        r = quorix.isolation_at(D, bearings=N, **columns)
    for i, (case, d, b) in enumerate(CASES):
        got = [r[name][i] for name in quorix.ISOLATION_NAMES]
        assert bits(got) == bits(cli_system(cli, case, d, b)), case


def test_broadcasts_and_each_element_is_its_own_case():
    # n alternates along the rows, so consecutive elements change case (each thread's kept loop must follow).
    n = np.array([[1.0], [3.0], [1.0], [0.7]])
    D = np.geomspace(0.05, 20.0, 9)
    gamma = np.array([0.3, 0.6, 0.9])[:, None, None]
    r = quorix.isolation_at(D, n=n, gamma=gamma, alpha=0.05, fy=10.0, uy=1.0, bearings=2, workers=2)
    assert r.shape == (3, 4, 9) and all(np.shape(v) == (3, 4, 9) for v in r.values())
    for (i, j, k) in [(0, 0, 0), (1, 1, 4), (2, 3, 8), (2, 2, 5)]:
        one = quorix.isolation_at(float(D[k]), n=float(n[j, 0]), gamma=float(gamma[i, 0, 0]), alpha=0.05,
                                  fy=10.0, uy=1.0, bearings=2)
        assert bits([r[name][i, j, k] for name in quorix.ISOLATION_NAMES]) == bits(list(one.values()))
    one_thread, every_thread = quorix.isolation_at(D, n=n, workers=1), quorix.isolation_at(D, n=n)
    assert all(bits(one_thread[k].ravel()) == bits(every_thread[k].ravel()) for k in quorix.ISOLATION_NAMES)


def test_missing_properties_are_nan_with_one_warning():
    n = np.array([2.0, 2.0, -1.0, 2.0, 2.0, 2.0])
    gamma = np.array([0.5, 0.5, 0.5, 0.0, 0.5, 0.5])
    D = np.array([1.0, 2.0, 1.0, 1.0, np.inf, 3.0])
    with pytest.warns(UserWarning) as caught:
        r = quorix.isolation_at(D, n=n, gamma=gamma)
    assert len(caught) == 1
    assert "3 element(s)" in str(caught[0].message) and "index (2,)" in str(caught[0].message)
    assert "n" in str(caught[0].message).split("index (2,)")[1]
    all_nan = np.isnan(np.stack([r[k] for k in quorix.ISOLATION_NAMES]))
    assert all_nan[:, [2, 4]].all() and not all_nan[:, [0, 1, 5]].any()
    assert all_nan[8:, 3].all() and not all_nan[:8, 3].any() and r.Qd[3] == 0.0  # gamma = 0: no bilinear loop


def test_one_case_raises_outside_the_domain_and_warns_without_a_bilinear_loop():
    with pytest.raises(ValueError, match="isolation_at: .*n"):
        quorix.isolation_at(1.0, n=-1.0)
    with pytest.raises(ValueError, match="bearings"):
        quorix.isolation_at(1.0, bearings=1.5)
    with pytest.warns(UserWarning, match="Qd must be positive"):
        r = quorix.isolation_at(1.0, gamma=0.0)
    assert type(r.Keff) is float and r.Keff > 0 and np.isnan(r.Kd)


def test_pandas_series_in_series_out():
    pd = pytest.importorskip("pandas")
    D = pd.Series([0.5, 1.0, 4.0], index=["a", "b", "c"])
    r = quorix.isolation_at(D, n=3.0, fy=50.0)
    plain = quorix.isolation_at(D.to_numpy(), n=3.0, fy=50.0)
    for name in quorix.ISOLATION_NAMES:
        assert isinstance(r[name], pd.Series) and r[name].name == name and list(r[name].index) == ["a", "b", "c"]
        assert bits(r[name].to_numpy()) == bits(plain[name])
