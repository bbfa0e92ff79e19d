"""quorix.solve: the engine's results to the last bit, for one case and for
numpy-broadcast grids of cases, from one Python thread or several."""
import math
import threading

import numpy as np
import pytest

import quorix
from conftest import case_options, same

NAMES = ["Za", "Fha", "Fela", "Fa", "Kcd", "Kda", "DEOverFyUy", "DEOverFhUy", "DE", "XiEq", "Ksec", "KsecOverK0"]
MODES = ["complementary", "direct"]

CASES = [
    {},  # the window's initial values, also quorix-cli's defaults
    # beta from gamma: .46 and .44, not 1 - gamma; beta - gamma differs in its
    # last bits, and so do Kcd and DE, in Direct and in Complementary mode.
    {"n": 3, "gamma": 0.54, "u": 3.0},
    {"n": 1.5, "gamma": 0.56, "u": 1.0},
    {"n": 2, "gamma": 0.5, "beta": 0.45, "alpha": 0.05, "fy": 1, "uy": 0.02, "u": 40},  # saturated: Za = 1
    {"n": 2.5, "gamma": 0.95, "u": 1e-4},
]
# Outside the model; the specified arithmetic answers them all the same.
ODD = [{"n": 0}, {"n": -1}, {"u": 0}, {"uy": 0}, {"gamma": 2, "u": -1}]


def check_against_cli(cli, case, mode, accurate):
    expected = cli.json("solve", *case_options(case, mode, accurate))
    expected = {**expected["results"], **expected["derived"]}
    got = quorix.solve(**case, mode=mode, accurate=accurate).as_dict()
    for name in NAMES:
        assert same(got[name], expected[name]), (name, got[name], expected[name])


@pytest.mark.parametrize("mode", MODES)
@pytest.mark.parametrize("case", CASES + ODD)
def test_specified_results_are_those_of_the_command_line(cli, case, mode):
    check_against_cli(cli, case, mode, accurate=False)


@pytest.mark.parametrize("mode", MODES)
@pytest.mark.parametrize("case", CASES)
def test_accurate_results_are_those_of_the_command_line(cli, case, mode):
    if not cli.has_accurate:
        pytest.skip("quorix-cli solve has no --accurate")
    check_against_cli(cli, case, mode, accurate=True)


def test_accurate_za_is_the_exact_root():
    # n = 2, w = beta - gamma = -0.8: the amplitude is
    # (atanh(Za) + atan(sqrt(0.8)·Za)/sqrt(0.8))/2 in closed form. The
    # specified search stops within 1e-12 of the root; the exact one is
    # within an ulp or two of it.
    for u in (0.3, 1.0, 3.0):
        za = quorix.solve(u=u, accurate=True).Za
        s = math.sqrt(0.8)
        amplitude = 0.5 * (math.atanh(za) + math.atan(s * za) / s)
        assert amplitude == pytest.approx(u, rel=1e-14)


def test_arrays_broadcast_like_numpy_and_match_scalar_calls():
    n = np.array([[1.5], [2.0], [3.0]])  # (3, 1)
    u = np.linspace(0.2, 8.0, 24)[::2]  # (12,), strided
    gamma = [0.9 - 0.02 * k for k in range(12)]  # a list
    fy = np.array([3])  # integers, (1,)
    r = quorix.solve(n=n, u=u, gamma=gamma, fy=fy, mode="direct")
    for name in NAMES:
        assert getattr(r, name).shape == (3, 12)
    for i in range(3):
        for j in range(12):
            one = quorix.solve(n=n[i, 0], u=u[j], gamma=gamma[j], fy=3, mode="direct")
            for name in NAMES:
                assert same(getattr(r, name)[i, j], getattr(one, name)), (name, i, j)


def test_numpy_scalars_give_a_scalar_result():
    r = quorix.solve(n=np.array(3.0), u=np.float32(2.0))
    assert isinstance(r.DE, float)
    assert same(r.DE, quorix.solve(n=3.0, u=2.0).DE)


def test_shapes_that_do_not_broadcast_are_refused_by_name():
    with pytest.raises(ValueError, match=r"n \(2,\).*u \(3,\)"):
        quorix.solve(n=[1.0, 2.0], u=[1.0, 2.0, 3.0])


@pytest.mark.parametrize("name", ["n", "gamma", "beta", "alpha", "fy", "uy", "u"])
def test_specified_arithmetic_never_raises(name):
    values = [math.inf, -math.inf, math.nan, -1.0]
    arrays = quorix.solve(**{name: values})
    for k, value in enumerate(values):
        one = quorix.solve(**{name: value})
        assert all(same(getattr(arrays, field)[k], getattr(one, field)) for field in NAMES)


def test_accurate_refuses_inputs_outside_the_domain_naming_them():
    with pytest.raises(ValueError, match="n must be positive"):
        quorix.solve(n=-1.0, accurate=True)
    with pytest.raises(ValueError, match="beta - gamma"):
        quorix.solve(gamma=-1.0, beta=1.0, accurate=True)
    # The first failing element in index order, whichever thread met it first.
    with pytest.raises(ValueError, match=r"Umax/Uy must not be negative: -1 \(at index \(40,\)\)"):
        quorix.solve(u=[1.0] * 40 + [-1.0, -2.0] * 20, accurate=True)


def test_two_python_threads_get_the_results_of_one():
    # Cold series in both threads at once first, then the same calls alone.
    n = np.linspace(1.23, 3.77, 40)
    barrier = threading.Barrier(2)
    outcomes = [None, None]

    def work(k):
        barrier.wait()
        outcomes[k] = (quorix.solve(n=n, u=2.0).as_dict(), [quorix.solve(n=x, u=1.5).DE for x in n[:8]])

    threads = [threading.Thread(target=work, args=(k,)) for k in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    alone = quorix.solve(n=n, u=2.0).as_dict()
    alone_scalars = [quorix.solve(n=x, u=1.5).DE for x in n[:8]]
    for arrays, scalars in outcomes:
        for name in NAMES:
            assert np.array_equal(arrays[name].view(np.int64), alone[name].view(np.int64)), name
        assert scalars == alone_scalars


def test_result_reads_as_attributes_dict_and_repr():
    r = quorix.solve(n=3.0, mode="direct")
    assert list(r.as_dict()) == NAMES
    assert all(getattr(r, name) == value for name, value in r.as_dict().items())
    assert (r.mode, r.accurate) == ("direct", False)
    text = repr(r)
    assert text.startswith("quorix.Result(mode='direct', accurate=False") and f"KsecOverK0={r.KsecOverK0!r}" in text
    with pytest.raises(ValueError, match="mode must be 'complementary' or 'direct'"):
        quorix.solve(mode="Direct")
