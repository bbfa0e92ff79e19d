"""Labelled arguments of quorix.solve: pandas Series and DataFrames aligned as pandas aligns them, xarray
DataArrays (numpy- or Dask-backed) as xarray does, and workers=. The expected values are numpy calls on
arrays aligned here by hand, label by label, so that pandas' and xarray's own alignment is not the judge."""
import math

import numpy as np
import pytest

import quorix
from conftest import bits

NAMES = list(quorix.NAMES)


# Each row: the arguments as {name: {label: value}} (a Series each), and the labels pandas' union gives.
@pytest.mark.parametrize("columns, labels", [
    # Two columns of one frame: one index, kept in its order.
    ({"n": {"c": 1.5, "a": 2.0, "b": 3.0}, "u": {"c": 0.5, "a": 2.5, "b": 9.0}}, ["c", "a", "b"]),
    # Different indexes, three Series: the sorted union, NaN where one has no label.
    ({"n": {1: 2.0, 2: 3.0, 5: 1.2}, "gamma": {5: 0.3, 1: 0.8, 2: 0.5}, "u": {0: 1.0, 1: 2.0, 2: 4.0}}, [0, 1, 2, 5])])
def test_series_in_any_combination_align_as_pandas_and_give_series(columns, labels):
    pd = pytest.importorskip("pandas")
    # Where a label is missing nothing is computed: the accurate arithmetic would refuse the NaN there.
    got = quorix.solve(**{name: pd.Series(pairs) for name, pairs in columns.items()}, accurate=True)
    arrays = {name: np.array([pairs.get(label, math.nan) for label in labels]) for name, pairs in columns.items()}
    present = np.logical_and.reduce([~np.isnan(a) for a in arrays.values()])
    want = quorix.solve(**{k: v[present] for k, v in arrays.items()}, accurate=True)
    for name in NAMES:
        column = got[name]
        assert isinstance(column, pd.Series) and column.name == name and column.index.tolist() == labels, name
        assert bits(column.to_numpy()[present]) == bits(want[name]), name
        assert np.isnan(column.to_numpy()[~present]).all(), name


def test_a_series_beside_arrays_numbers_and_umax_keeps_its_index():
    pd = pytest.importorskip("pandas")
    frame = pd.DataFrame({"umax": [0.1, 0.3, 0.6], "uy": [0.05, 0.1, 0.2]}, index=[10, 20, 30])
    n = np.array([1.5, 2.0, 4.0])
    got = quorix.solve(umax=frame["umax"], uy=frame["uy"], n=n, fy=3.0)
    want = quorix.solve(u=frame["umax"].to_numpy() / frame["uy"].to_numpy(), uy=frame["uy"].to_numpy(), n=n, fy=3.0)
    assert got.DE.index.tolist() == [10, 20, 30]
    with pytest.raises(ValueError, match=r"must not be negative: -2\.99.* \(at index \(1,\)\)"):  # a bad value: refused
        quorix.solve(n=n, umax=frame["umax"] * [1.0, -1.0, 1.0], uy=frame["uy"])
    assert [bits(got[k].to_numpy()) for k in NAMES] == [bits(want[k]) for k in NAMES]
    # An array that broadcasts wider than the Series: numpy's arrays, as pandas gives them.
    wide = quorix.solve(n=n[:, None], u=frame["umax"])
    assert isinstance(wide.DE, np.ndarray) and wide.DE.shape == (3, 3)


def test_frames_align_by_rows_and_columns_and_a_series_by_columns():
    pd = pytest.importorskip("pandas")
    n = pd.DataFrame({"p": [1.5, 2.0], "q": [3.0, 4.0]}, index=["a", "b"])
    u = pd.DataFrame({"q": [2.0, 5.0], "r": [1.0, 0.5]}, index=["b", "c"])
    got = quorix.solve(n=n, u=u)
    assert isinstance(got.DE, pd.DataFrame)
    assert (got.DE.index.tolist(), got.DE.columns.tolist()) == (["a", "b", "c"], ["p", "q", "r"])
    # Only (b, q) has both: n 4.0 and u 2.0.
    assert bits(got.DE.loc["b", "q"]) == bits(quorix.solve(n=4.0, u=2.0).DE)
    assert int(got.DE.isna().to_numpy().sum()) == 8
    # A Series beside a frame lines up with its columns, as frame + series does in pandas.
    row = quorix.solve(n=pd.Series({"p": 2.0, "q": 3.0}), u=pd.DataFrame({"p": [1.0, 2.0], "q": [3.0, 4.0]}))
    assert bits(row.DE.to_numpy()) == bits(quorix.solve(n=np.array([2.0, 3.0]), u=np.array([[1.0, 3.0], [2.0, 4.0]])).DE)


@pytest.mark.parametrize("backing", ["numpy", "dask"])
def test_data_arrays_align_by_coordinates_and_stay_lazy_on_dask(backing):
    xr = pytest.importorskip("xarray")
    if backing == "dask":
        pytest.importorskip("dask.array")
    u = xr.DataArray([0.5, 1.0, 2.0, 4.0], dims="u", coords={"u": [0, 1, 2, 3]})
    if backing == "dask":
        u = u.chunk(2)
    gamma = xr.DataArray([0.3, 0.6, 0.9], dims="u", coords={"u": [1, 2, 3]})  # the inner join: labels 1 to 3
    n = xr.DataArray([1.5, 3.0], dims="n")
    got = quorix.solve(u=u, gamma=gamma, n=n)
    assert isinstance(got.DE, xr.DataArray) and got.DE.name == "DE" and got.DE.dims == ("n", "u")
    assert got.DE["u"].values.tolist() == [1, 2, 3]
    assert (type(got.DE.data).__module__.startswith("dask")) == (backing == "dask")  # not computed yet
    want = quorix.solve(u=np.array([1.0, 2.0, 4.0]), gamma=np.array([0.3, 0.6, 0.9]), n=np.array([[1.5], [3.0]]))
    assert [bits(got[k].values) for k in NAMES] == [bits(want[k]) for k in NAMES]


def test_workers_change_no_bit_and_must_be_a_count():
    u, n = np.linspace(0.5, 12.0, 5000), np.array([[1.5], [2.5]])
    default = quorix.solve(n=n, u=u)
    assert all(quorix.solve(n=n, u=u, workers=workers) == default for workers in (1, 2, np.int64(3)))
    for workers, error, message in [(0, ValueError, "workers must lie from 1 to 4096, not 0"), (True, TypeError,
                                    "must be an int"), ("2", TypeError, "must be an int"), (2.0, TypeError, "an int")]:
        for u in (2.0, [1.0, 2.0]):  # one case too, which never reaches the threads
            with pytest.raises(error, match=message):
                quorix.solve(u=u, workers=workers)


@pytest.mark.parametrize("wrap", ["numpy", "pandas"])
def test_a_warning_names_the_callers_line(wrap):
    u = [2.0, 1e-6, 1e-6]  # the specified arithmetic loses its digits at the small amplitudes
    if wrap == "pandas":
        u = pytest.importorskip("pandas").Series(u, index=["a", "b", "c"])
    with pytest.warns(UserWarning, match="2 of 3 cases") as record:
        quorix.solve(n=1, gamma=0.1, u=u)
    assert [w.filename for w in record] == [__file__]
