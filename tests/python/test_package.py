"""The package around the compiled core: solve as a numpy ufunc (out=, where=, dtypes, the array types that
dispatch through __array_ufunc__, Dask), the Result type, inputs refused by name, the docstrings' examples."""
import doctest
import importlib
import os
import pickle
import re
from pathlib import Path

import numpy as np
import pytest

import quorix
from conftest import bits

NAMES = list(quorix.NAMES)
U = np.linspace(0.05, 12.0, 37)  # below and beyond saturation


def test_out_and_where_behave_as_for_any_ufunc():
    full = quorix.solve(n=2.5, u=U)
    out = tuple(np.full(U.shape, -7.0) for _ in NAMES)
    where = U > 3.0
    r = quorix.solve(n=2.5, u=U, out=out, where=where)
    for name, column in zip(NAMES, out):
        assert r[name] is column, name  # the outputs are the arrays given
        assert bits(column[where]) == bits(full[name][where]), name
        assert (column[~where] == -7.0).all(), name  # left as they were
        column[0] = 5.0  # and still the caller's to write
    with pytest.raises(ValueError, match="read-only"):  # a result's own arrays are not
        full.DE[0] = 1.0


CASE = {"n": 2.5, "gamma": 0.7, "alpha": 0.05, "fy": 1.3, "uy": 0.1}  # none of them a float32 exactly


@pytest.mark.parametrize("inputs, dtype", [
    ({"u": U.astype(np.float32)}, np.float32),  # float32 alone: the float32 loop
    ({"u": U.astype(np.float32), "n": np.float32(3)}, np.float32),
    ({"u": U.astype(np.float32), "n": np.full(U.shape, 2.5)}, np.float64),  # a float64 array widens the call
    ({"u": U.astype(np.float16)}, np.float32),
    ({"u": (U * 10).astype(np.int64)}, np.float64),  # int64 casts safely only to float64
])
def test_dtypes_follow_numpy_and_float32_is_the_double_result_rounded_once(inputs, dtype):
    case = {**CASE, **inputs}
    r = quorix.solve(**case)
    assert {r[k].dtype for k in NAMES} == {np.dtype(dtype)}
    # The loop reads every input in its dtype (the Python floats of the case too, as numpy casts them),
    # solves in double and rounds each output once.
    wide = quorix.solve(**{k: np.asarray(v).astype(dtype).astype(np.float64) for k, v in case.items()})
    for k in NAMES:
        assert bits(r[k].astype(np.float64)) == bits(wide[k].astype(dtype).astype(np.float64)), k


def test_masked_arrays_come_back_masked():
    # (pandas' and xarray's own types: test_labelled.py.)
    # Masked elements are not computed: the accurate arithmetic would refuse the -1 under the mask.
    masked = np.ma.MaskedArray(np.where(U > 6.0, -1.0, U), mask=U > 6.0)
    r = quorix.solve(n=3.0, u=masked, accurate=True)
    assert isinstance(r.DE, np.ma.MaskedArray) and (r.DE.mask == (U > 6.0)).all()
    assert bits(r.DE.compressed()) == bits(quorix.solve(n=3.0, u=U, accurate=True).DE[U <= 6.0])


def test_dask_chunks_on_threads_with_workers_give_the_bits_of_the_numpy_call():
    da = pytest.importorskip("dask.array")
    import dask

    u = np.linspace(1e-4, 10.0, 400_000)
    n = np.array([1.5, 2.0, 3.0, 4.0])[np.arange(u.size) % 4]
    want = quorix.solve(n=n, u=u, accurate=True)
    lazy = quorix.solve(n=da.from_array(n, chunks=40_000), u=da.from_array(u, chunks=40_000), accurate=True, workers=2)
    assert isinstance(lazy.DE, da.Array)
    with dask.config.set(scheduler="threads"):
        got = dask.compute(*(lazy[k] for k in NAMES))
    assert [column.tobytes() for column in got] == [want[k].tobytes() for k in NAMES]


def test_the_first_failing_element_is_named_in_any_layout():
    u = np.ones((3, 50))
    u[2, 7] = u[1, 40] = -1.0  # (1, 40) comes first in C order
    with pytest.raises(ValueError, match=r"Umax/Uy must not be negative: -1 \(at index \(1, 40\)\)"):
        quorix.solve(u=u, accurate=True)
    with pytest.raises(ValueError, match=r"\(at index \(2, 7\)\)"):  # where= leaves (1, 40) out
        quorix.solve(u=u, accurate=True, where=np.arange(50) != 40)


def test_a_result_is_short_to_print_pickles_and_compares_by_value():
    big = quorix.solve(n=np.array([[2.0], [3.0]]), u=np.linspace(0.1, 10.0, 50_000))
    text = repr(big)
    assert "shape=(2, 50000)" in text and all(name in text for name in NAMES) and len(text) < 400
    assert re.search(r"DE=0\.2092", repr(quorix.solve()))  # one case shows its values
    again = pickle.loads(pickle.dumps(big))
    assert again == big and again.mode == big.mode and again.shape == (2, 50000)
    nan = quorix.solve(u=[0.0, np.inf], outside_domain="warn")
    assert nan == quorix.solve(u=[0.0, np.inf], outside_domain="warn")  # NaN outputs equal themselves
    assert quorix.solve(u=[1.0, 2.0]) != quorix.solve(u=[1.0, 2.5])
    assert quorix.solve(u=[1.0]) != quorix.solve(u=[1.0], mode="direct")
    assert quorix.solve(u=[1.0]) != quorix.solve(u=np.float32([1.0]))  # the dtype is part of the value
    with pytest.raises(TypeError):
        big["DE"] = 0.0


def test_a_result_is_a_data_frame():
    pd = pytest.importorskip("pandas")
    r = quorix.solve(n=2.0, u=U)
    frame = pd.DataFrame(r)
    assert list(frame.columns) == NAMES and bits(frame["XiEq"].to_numpy()) == bits(r.XiEq)
    grid = quorix.solve(n=np.array([[2.0], [3.0]]), u=U).to_frame()
    assert grid.shape == (2 * len(U), 12) and grid.index[len(U) + 1] == (1, 1)
    assert bits(grid.loc[(1, 1), "DE"]) == bits(quorix.solve(n=3.0, u=U[1]).DE)
    assert quorix.solve().to_frame().shape == (1, 12)


# Each function's own reading of its arguments, and each kind of non-number once.
@pytest.mark.parametrize("call, name", [
    (lambda: quorix.solve(n="2.5"), "n"),
    (lambda: quorix.solve(u=[1.0, None]), "u"),
    (lambda: quorix.solve(u=np.array([1.0, None], dtype=object)), "u"),
    (lambda: quorix.solve(fy=np.array([1 + 2j])), "fy"),
    (lambda: quorix.solve(accurate=1), "accurate"),
    (lambda: quorix.sweep("0.1", 1.0, 0.1), "start"),
    (lambda: quorix.loop(alpha=1j), "alpha"),
    (lambda: quorix.response([0.0, 1.0], z0="0"), "z0"),
    (lambda: quorix.special.hyp2f1(1.0, None, 2.0, 0.5), "b"),
    (lambda: quorix.Material.general(A=1.0, beta=0.5, gamma=None), "gamma"),
    (lambda: quorix.Material().solve(umax="1"), "umax"),
    (lambda: quorix.fit([0.0, 1.0], [0.0, None]), "F"),
])
def test_text_none_and_complex_are_refused_by_name_everywhere(call, name):
    with pytest.raises(TypeError, match=rf"\b{name} must be"):
        call()


def test_the_version_is_the_projects():
    top = Path(os.environ.get("QUORIX_SOURCE") or Path(__file__).resolve().parents[2]) / "CMakeLists.txt"
    if not top.exists():
        pytest.skip("the sources are not beside the tests")
    version = re.search(r"project\(Quorix VERSION (\d+)\.(\d+)\.(\d+)", top.read_text()).groups()
    assert quorix.__version__ == ".".join(version)


@pytest.mark.parametrize("module", ["quorix", "quorix._result", "quorix.special", "quorix.material",
                                    "quorix.ufuncs"])
def test_the_docstrings_examples_run(module):
    found = doctest.DocTestFinder().find(importlib.import_module(module), globs={"quorix": quorix, "np": np})
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    tests = [t for t in found if t.examples]
    assert tests and [runner.run(t).failed for t in tests] == [0] * len(tests)

