"""quorix.isolation_at against quorix-cli isolation at --json, its broadcasting, NaN and warnings, and its
pandas, xarray and Dask arguments (their alignment is test_labelled.py's: here each kind is wired once), held
to numpy calls on arrays aligned here by hand, so that their own alignment is not the judge."""
import re
import warnings

import numpy as np
import pytest

import quorix
from conftest import bits

NAMES = list(quorix.ISOLATION_NAMES)
# (case, D, bearings): a sharp loop and a soft one, several bearings, and gamma = 0,
# whose loop crosses u = 0 at z = 0 (Qd = 0: no bilinear loop).
CASES = [(dict(n=8.0, gamma=0.7, alpha=0.05, fy=250.0, uy=0.01), 0.4, 4),
         (dict(n=0.6, gamma=0.2, alpha=0.3, fy=3.5, uy=2.0), 17.0, 2),
         (dict(n=2.0, gamma=0.0, alpha=0.1, fy=100.0, uy=0.02), 0.05, 1)]


def same_bits(got, want):
    return [bits(np.ravel(got[k])) for k in NAMES] == [bits(np.ravel(want[k])) for k in NAMES]


def cli_system(cli, case, D, bearings):
    args = [a for k, v in case.items() for a in (f"--{k}", repr(v))]
    system = cli.json("isolation", "at", *args, "--D", repr(D), "--bearings", bearings)["system"]
    bilinear = system["bilinear"] or {}
    return [system[k] for k in NAMES[:8]] + [bilinear.get(k, np.nan) for k in ("Kd", "Dy", "Ku")]


def test_equals_the_command_line_to_the_bit(cli):
    columns = {k: np.array([case[k] for case, _, _ in CASES]) for k in ("n", "gamma", "alpha", "fy", "uy")}
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # gamma = 0 has no bilinear loop: tested below
        r = quorix.isolation_at(np.array([d for _, d, _ in CASES]), bearings=np.array([b for *_, b in CASES]),
                                **columns)
    for i, (case, d, b) in enumerate(CASES):
        assert bits([r[name][i] for name in NAMES]) == bits(cli_system(cli, case, d, b)), case


# Each thread keeps the loops of the cases it meets; a grid whose case changes at every element, with more
# distinct cases than are kept (the cache starts afresh) or fewer, and with -0.0 beside 0.0 for alpha
# (different bits, the same case), must give every element the bits of its own call, on any number of threads.
@pytest.mark.parametrize("count, workers", [(7, 1), (1500, 2)])
def test_a_grid_whose_case_changes_at_every_element_gives_each_its_own_bits(count, workers):
    n = np.linspace(0.6, 6.0, count)
    alpha = np.where(np.arange(count) % 2 == 0, 0.0, -0.0)
    D = np.array([0.07, 1.3, 9.0])[:, None]
    gamma = np.array([0.3, 0.6, 0.9])[:, None, None]
    got = quorix.isolation_at(D, n=n, alpha=alpha, gamma=gamma, bearings=2, workers=workers)
    assert got.shape == (3, 3, count) and all(np.shape(v) == (3, 3, count) for v in got.values())
    for i, j in [(0, 0), (1, 1), (2, 2)]:
        for k in sorted({0, 1, count // 2, count - 1}):
            one = quorix.isolation_at(float(D[j, 0]), n=float(n[k]), alpha=float(alpha[k]), gamma=float(gamma[i, 0, 0]),
                                      bearings=2)
            assert [bits(got[name][i, j, k]) for name in NAMES] == [bits(one[name]) for name in NAMES], (i, j, k)


def test_missing_properties_are_nan_with_one_warning_a_call():
    n = np.array([2.0, 2.0, -1.0, 2.0, 2.0, 2.0])
    gamma = np.array([0.5, 0.5, 0.5, 0.0, 0.5, 0.5])
    D = np.array([1.0, 2.0, 1.0, 1.0, np.inf, 3.0])
    with pytest.warns(UserWarning) as caught:
        r = quorix.isolation_at(D, n=n, gamma=gamma)
    assert len(caught) == 1 and re.search(r"3 element\(s\).* index \(2,\): .*\bn\b", str(caught[0].message))
    all_nan = np.isnan(np.stack([r[k] for k in NAMES]))
    assert all_nan[:, [2, 4]].all() and not all_nan[:, [0, 1, 5]].any()
    assert all_nan[8:, 3].all() and not all_nan[:8, 3].any() and r.Qd[3] == 0.0  # gamma = 0: no bilinear loop
    # One case of numbers raises outside the domain, as quorix.solve does, and warns without a bilinear loop.
    with pytest.raises(ValueError, match="isolation_at: .*n"):
        quorix.isolation_at(1.0, n=-1.0)
    with pytest.raises(ValueError, match="bearings"):
        quorix.isolation_at(1.0, bearings=1.5)
    with pytest.warns(UserWarning, match="Qd must be positive"):
        r = quorix.isolation_at(1.0, gamma=0.0)
    assert type(r.Keff) is float and r.Keff > 0 and np.isnan(r.Kd)


def test_series_align_as_pandas_and_give_series():
    pd = pytest.importorskip("pandas")
    D, n = pd.Series([0.3, 2.0, 4.0], index=[0, 1, 2]), pd.Series([2.0, 3.0, 1.2], index=[1, 2, 5])
    got = quorix.isolation_at(D, n=n, bearings=pd.Series([2.0, 3.0, 8.0]), fy=3.0)  # the sorted union 0, 1, 2, 5
    want = quorix.isolation_at(np.array([2.0, 4.0]), n=[2.0, 3.0], bearings=[3.0, 8.0], fy=3.0)  # at labels 1, 2
    for name in NAMES:
        column = got[name]
        assert isinstance(column, pd.Series) and column.name == name and column.index.tolist() == [0, 1, 2, 5], name
        assert bits(column.to_numpy()[1:3]) == bits(want[name]) and np.isnan(column.to_numpy()[[0, 3]]).all(), name


def test_xarray_broadcasts_by_dimension_name_and_stays_lazy_on_dask():
    xr = pytest.importorskip("xarray")
    pytest.importorskip("dask.array")
    D_values, n_values = np.array([0.01, 0.3, 2.5, 40.0]), np.array([0.5, 1.0, 3.0])
    D = xr.DataArray(D_values, dims="D", coords={"D": D_values}, attrs={"units": "m"}).chunk({"D": 2})
    got = quorix.isolation_at(D, n=xr.DataArray(n_values, dims="n", coords={"n": n_values}).chunk({"n": 2}), gamma=0.3)
    # The dimensions in the order of the arguments (n before D), as n * D has them; lazy; not the input's units.
    assert all(got[k].name == k and got[k].dims == ("n", "D") and got[k].attrs == {} and got[k].chunks for k in NAMES)
    assert same_bits({k: got[k].values for k in NAMES}, quorix.isolation_at(D_values, n=n_values[:, None], gamma=0.3))


@pytest.mark.parametrize("workers", [None, 2])
def test_dask_arrays_stay_lazy_and_give_the_numpy_bits(workers):
    da = pytest.importorskip("dask.array")
    D, n = np.geomspace(0.02, 30.0, 12).reshape(4, 3), np.array([0.8, 2.0, 6.0])
    got = quorix.isolation_at(da.from_array(D, chunks=(2, 2)), n=n, gamma=0.6, bearings=2, workers=workers)
    assert all(isinstance(got[k], da.Array) for k in NAMES)
    assert same_bits({k: got[k].compute() for k in NAMES}, quorix.isolation_at(D, n=n, gamma=0.6, bearings=2))
    # Elements without properties: NaN, and no warning (the values exist only once computed).
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        got = quorix.isolation_at(da.from_array([1.0, -1.0, 2.0], chunks=2), gamma=[0.5, 0.5, 0.0])  # Qd = 0 last
        Keff, Kd = got.Keff.compute(), got.Kd.compute()
    assert np.isfinite(Keff[[0, 2]]).all() and np.isnan(Keff[1]) and np.isfinite(Kd[0]) and np.isnan(Kd[1:]).all()
