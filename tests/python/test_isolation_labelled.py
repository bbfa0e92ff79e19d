"""quorix.isolation_at with labelled, lazy and many arguments: pandas Series in any combination aligned as pandas
aligns them, xarray DataArrays (numpy- or Dask-backed) as xarray does, plain Dask arrays, workers=, and grids
whose case changes at every element. The
expected values are numpy calls on arrays aligned here by hand, label by label or by an outer product written
out, so that pandas', xarray's and Dask's own alignment is not the judge."""
import math
import warnings

import numpy as np
import pytest

import quorix
from conftest import bits

NAMES = list(quorix.ISOLATION_NAMES)


def by_label(pairs, labels):
    """The values of {label: value} at each label, NaN where it has none: alignment written out."""
    return np.array([pairs.get(label, math.nan) for label in labels])


# Each row: the arguments as {name: {label: value}} (a Series each), the labels pandas' union gives, and the
# labels where every Series has a value.
SERIES_CASES = [
    # D and n of one frame: one index, kept in its order.
    ({"D": {"c": 0.5, "a": 2.0, "b": 9.0}, "n": {"c": 1.5, "a": 2.0, "b": 3.0}}, ["c", "a", "b"]),
    # Different indexes: the sorted union, NaN where one has no label.
    ({"D": {0: 0.3, 1: 2.0, 2: 4.0}, "n": {1: 2.0, 2: 3.0, 5: 1.2}}, [0, 1, 2, 5]),
    # Four Series, bearings among them, gamma without D's last label.
    ({"D": {"x": 1.5, "y": 6.0, "z": 2.0}, "gamma": {"y": 0.3, "x": 0.8}, "alpha": {"x": 0.02, "y": 0.1, "z": 0.0},
      "bearings": {"z": 3.0, "y": 2.0, "x": 8.0}}, ["x", "y", "z"]),
    # A Series of one label beside a longer one.
    ({"uy": {"q": 0.5}, "D": {"p": 0.1, "q": 0.7}}, ["p", "q"]),
]


@pytest.mark.parametrize("columns, labels", SERIES_CASES)
def test_series_in_any_combination_align_as_pandas_and_give_series(columns, labels):
    pd = pytest.importorskip("pandas")
    got = quorix.isolation_at(**{name: pd.Series(pairs) for name, pairs in columns.items()})
    arrays = {name: by_label(pairs, labels) for name, pairs in columns.items()}
    present = np.logical_and.reduce([~np.isnan(a) for a in arrays.values()])
    want = quorix.isolation_at(**{k: v[present] for k, v in arrays.items()})
    for name in NAMES:
        column = got[name]
        assert isinstance(column, pd.Series) and column.name == name, name
        assert column.index.tolist() == labels, name
        assert bits(column.to_numpy()[present]) == bits(want[name]), name
        assert np.isnan(column.to_numpy()[~present]).all(), name


def test_a_series_beside_an_array_and_numbers_keeps_its_index():
    pd = pytest.importorskip("pandas")
    D = pd.Series([0.05, 0.2, 0.6], index=[10, 20, 30])
    n = np.array([0.7, 2.0, 5.0])
    got = quorix.isolation_at(D, n=n, fy=3.0, uy=0.1, bearings=4)
    want = quorix.isolation_at(D.to_numpy(), n=n, fy=3.0, uy=0.1, bearings=4)
    assert got.Keff.index.tolist() == [10, 20, 30]
    assert [bits(got[k].to_numpy()) for k in NAMES] == [bits(want[k]) for k in NAMES]


def grid(D, n, **case):
    """The properties on the outer product D × n, written out element by element as plain numbers."""
    out = {name: np.empty((len(D), len(n))) for name in NAMES}
    for i, d in enumerate(D):
        for j, m in enumerate(n):
            with warnings.catch_warnings():
                warnings.simplefilter("ignore")
                r = quorix.isolation_at(float(d), n=float(m), **case)
            for name in NAMES:
                out[name][i, j] = r[name]
    return out


D_VALUES = np.array([0.01, 0.3, 2.5, 40.0])
N_VALUES = np.array([0.5, 1.0, 3.0])


# The chunks of the Dask-backed arrays (None: numpy-backed): one block, and blocks that cut both dimensions.
@pytest.mark.parametrize("chunks", [None, 2, 1])
def test_xarray_broadcasts_by_dimension_name_numpy_or_dask_backed(chunks):
    xr = pytest.importorskip("xarray")
    D = xr.DataArray(D_VALUES, dims="D", coords={"D": D_VALUES}, attrs={"units": "m"})
    n = xr.DataArray(N_VALUES, dims="n", coords={"n": N_VALUES})
    if chunks is not None:
        pytest.importorskip("dask.array")
        D, n = D.chunk({"D": chunks}), n.chunk({"n": chunks})
    got = quorix.isolation_at(D, n=n, gamma=0.3, alpha=0.05, fy=2.0, uy=0.5)
    want = grid(D_VALUES, N_VALUES, gamma=0.3, alpha=0.05, fy=2.0, uy=0.5)
    for name in NAMES:
        column = got[name]
        # The dimensions in the order of the arguments (n, gamma, alpha, fy, uy, D, bearings), as n * D has them.
        assert isinstance(column, xr.DataArray) and column.name == name and column.dims == ("n", "D"), name
        assert (chunks is not None) == (column.chunks is not None), name  # lazy while Dask-backed
        assert column.attrs == {}, name  # the input's units are not the output's
        assert bits(column.values.ravel()) == bits(want[name].T.ravel()), name


def test_xarray_aligns_coordinates_as_its_arithmetic_does():
    xr = pytest.importorskip("xarray")
    D = xr.DataArray([0.2, 0.8, 3.0], dims="case", coords={"case": ["a", "b", "c"]})
    n = xr.DataArray([4.0, 1.5], dims="case", coords={"case": ["c", "a"]})
    got = quorix.isolation_at(D, n=n)
    # The inner join, in the order of n, the first argument that has the dimension (as n * D gives it).
    want = quorix.isolation_at(np.array([3.0, 0.2]), n=np.array([4.0, 1.5]))
    assert got.Keff.coords["case"].values.tolist() == ["c", "a"]
    assert [bits(got[k].values) for k in NAMES] == [bits(want[k]) for k in NAMES]


@pytest.mark.parametrize("workers", [None, 1, 2])
def test_dask_arrays_stay_lazy_and_give_the_numpy_bits(workers):
    da = pytest.importorskip("dask.array")
    D = np.geomspace(0.02, 30.0, 12).reshape(4, 3)
    n = np.array([0.8, 2.0, 6.0])
    got = quorix.isolation_at(da.from_array(D, chunks=(2, 2)), n=n, gamma=0.6, bearings=2, workers=workers)
    assert all(isinstance(got[k], da.Array) for k in NAMES)
    want = quorix.isolation_at(D, n=n, gamma=0.6, bearings=2)
    assert [bits(got[k].compute().ravel()) for k in NAMES] == [bits(want[k].ravel()) for k in NAMES]


def test_dask_elements_without_properties_are_nan_without_a_warning():
    da = pytest.importorskip("dask.array")
    D = da.from_array(np.array([1.0, -1.0, 2.0]), chunks=2)
    gamma = np.array([0.5, 0.5, 0.0])  # gamma = 0: Qd = 0, no bilinear loop
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        got = quorix.isolation_at(D, gamma=gamma)
        Keff, Kd = got.Keff.compute(), got.Kd.compute()
    assert np.isfinite(Keff[[0, 2]]).all() and np.isnan(Keff[1])
    assert np.isfinite(Kd[0]) and np.isnan(Kd[1:]).all()


# Each thread keeps the loops of the cases it meets; a grid whose case changes at every element, with more
# distinct cases than are kept (the cache starts afresh) or fewer, and with -0.0 beside 0.0 for alpha
# (different bits, the same case), must give every element the bits of its own call.
@pytest.mark.parametrize("count, workers", [(7, 1), (1500, 2)])
def test_a_grid_whose_case_changes_at_every_element_gives_each_its_own_bits(count, workers):
    n = np.linspace(0.6, 6.0, count)
    alpha = np.where(np.arange(count) % 2 == 0, 0.0, -0.0)
    D = np.array([0.07, 1.3, 9.0])[:, None]
    got = quorix.isolation_at(D, n=n, alpha=alpha, gamma=0.45, workers=workers)
    for i in (0, 2):
        for j in sorted({0, 1, count // 2, count - 1}):
            one = quorix.isolation_at(float(D[i, 0]), n=float(n[j]), alpha=float(alpha[j]), gamma=0.45)
            assert [bits(got[k][i, j]) for k in NAMES] == [bits(one[k]) for k in NAMES], (i, j)
