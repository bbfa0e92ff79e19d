"""quorix.isolation_at with labelled, lazy and many arguments: pandas Series aligned as pandas aligns them,
xarray DataArrays (numpy- or Dask-backed) as xarray does, Dask arrays, workers=, and grids whose case changes at
every element. The expected values are numpy calls on arrays aligned here by hand, so that pandas', xarray's
and Dask's own alignment is not the judge."""
import math
import warnings

import numpy as np
import pytest

import quorix
from conftest import bits

NAMES = list(quorix.ISOLATION_NAMES)


def same_bits(got, want):
    return [bits(np.ravel(got[k])) for k in NAMES] == [bits(np.ravel(want[k])) for k in NAMES]


# The arguments as {name: {label: value}} (a Series each) and the labels of pandas' union.
@pytest.mark.parametrize("columns, labels", [
    ({"D": {"c": 0.5, "a": 2.0, "b": 9.0}, "n": {"c": 1.5, "a": 2.0, "b": 3.0}}, ["c", "a", "b"]),  # one index
    ({"D": {0: 0.3, 1: 2.0, 2: 4.0}, "n": {1: 2.0, 2: 3.0, 5: 1.2}}, [0, 1, 2, 5]),  # the sorted union
    ({"D": {"x": 1.5, "y": 6.0, "z": 2.0}, "gamma": {"y": 0.3, "x": 0.8}, "alpha": {"x": 0.02, "y": 0.1, "z": 0.0},
      "bearings": {"z": 3.0, "y": 2.0, "x": 8.0}}, ["x", "y", "z"]),
])
def test_series_align_as_pandas_and_give_series(columns, labels):
    pd = pytest.importorskip("pandas")
    got = quorix.isolation_at(**{name: pd.Series(pairs) for name, pairs in columns.items()})
    arrays = {name: np.array([pairs.get(label, math.nan) for label in labels]) for name, pairs in columns.items()}
    present = np.logical_and.reduce([~np.isnan(a) for a in arrays.values()])
    want = quorix.isolation_at(**{k: v[present] for k, v in arrays.items()})
    for name in NAMES:
        column = got[name]
        assert isinstance(column, pd.Series) and column.name == name and column.index.tolist() == labels, name
        assert bits(column.to_numpy()[present]) == bits(want[name]), name
        assert np.isnan(column.to_numpy()[~present]).all(), name
    # A Series beside an array and numbers keeps its index.
    D = pd.Series(arrays["D"], index=labels)
    mixed = quorix.isolation_at(D, n=np.linspace(0.7, 5.0, len(labels)), fy=3.0, uy=0.1, bearings=4)
    assert mixed.Keff.index.tolist() == labels
    assert same_bits(mixed, quorix.isolation_at(arrays["D"], n=np.linspace(0.7, 5.0, len(labels)), fy=3.0,
                                                uy=0.1, bearings=4))


@pytest.mark.parametrize("chunks", [None, 2])  # numpy-backed; Dask blocks cutting both dimensions
def test_xarray_broadcasts_by_dimension_name_numpy_or_dask_backed(chunks):
    xr = pytest.importorskip("xarray")
    D_values, n_values = np.array([0.01, 0.3, 2.5, 40.0]), np.array([0.5, 1.0, 3.0])
    D = xr.DataArray(D_values, dims="D", coords={"D": D_values}, attrs={"units": "m"})
    n = xr.DataArray(n_values, dims="n", coords={"n": n_values})
    if chunks is not None:
        pytest.importorskip("dask.array")
        D, n = D.chunk({"D": chunks}), n.chunk({"n": chunks})
    got = quorix.isolation_at(D, n=n, gamma=0.3, alpha=0.05, fy=2.0, uy=0.5)
    for name in NAMES:
        # The dimensions in the order of the arguments (n before D), as n * D has them; lazy while Dask-backed;
        # not the input's units.
        column = got[name]
        assert column.name == name and column.dims == ("n", "D") and column.attrs == {}, name
        assert (chunks is not None) == (column.chunks is not None), name
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        for j, m in enumerate(n_values):
            for i, d in enumerate(D_values):
                one = quorix.isolation_at(float(d), n=float(m), gamma=0.3, alpha=0.05, fy=2.0, uy=0.5)
                assert [bits(got[k].values[j, i]) for k in NAMES] == [bits(one[k]) for k in NAMES], (i, j)


def test_xarray_aligns_coordinates_as_its_arithmetic_does():
    xr = pytest.importorskip("xarray")
    D = xr.DataArray([0.2, 0.8, 3.0], dims="case", coords={"case": ["a", "b", "c"]})
    n = xr.DataArray([4.0, 1.5], dims="case", coords={"case": ["c", "a"]})
    got = quorix.isolation_at(D, n=n)
    # The inner join, in the order of n, the first argument that has the dimension (as n * D gives it).
    assert got.Keff.coords["case"].values.tolist() == ["c", "a"]
    assert same_bits({k: got[k].values for k in NAMES}, quorix.isolation_at(np.array([3.0, 0.2]), n=[4.0, 1.5]))


@pytest.mark.parametrize("workers", [None, 2])
def test_dask_arrays_stay_lazy_and_give_the_numpy_bits(workers):
    da = pytest.importorskip("dask.array")
    D, n = np.geomspace(0.02, 30.0, 12).reshape(4, 3), np.array([0.8, 2.0, 6.0])
    got = quorix.isolation_at(da.from_array(D, chunks=(2, 2)), n=n, gamma=0.6, bearings=2, workers=workers)
    assert all(isinstance(got[k], da.Array) for k in NAMES)
    assert same_bits({k: got[k].compute() for k in NAMES}, quorix.isolation_at(D, n=n, gamma=0.6, bearings=2))


def test_dask_elements_without_properties_are_nan_without_a_warning():
    da = pytest.importorskip("dask.array")
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        got = quorix.isolation_at(da.from_array([1.0, -1.0, 2.0], chunks=2), gamma=[0.5, 0.5, 0.0])  # Qd = 0 last
        Keff, Kd = got.Keff.compute(), got.Kd.compute()
    assert np.isfinite(Keff[[0, 2]]).all() and np.isnan(Keff[1]) and np.isfinite(Kd[0]) and np.isnan(Kd[1:]).all()


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
