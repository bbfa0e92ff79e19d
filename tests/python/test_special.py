"""quorix.special: each element, value and status, as quorix-cli eval gives it, and at a failure the value
scipy.special gives (the values themselves are the C++ tests', against mpmath)."""
import math

import numpy as np
import pytest

import quorix
from conftest import bits

special = quorix.special
INF, NAN = math.inf, math.nan


# Each function in each arithmetic, on a (2, 3) grid or one case; the arguments before the last are numbers.
@pytest.mark.parametrize("name, args, grid, accurate", [
    ("loggamma", [], [[0.5, 3.0, 1e-300], [7.25, 0.0, 40.0]], False), ("loggamma", [], [[7.25]], True),
    ("gamma", [], [[4.5, -2.5, 172.0], [0.1, -1.0, 30.0]], False), ("gamma", [], [[4.5]], True),
    ("digamma", [], [[-2.0, 0.5, 1.5], [1e5, 3.0, 12.25]], False), ("digamma", [], [[0.5]], True),
    ("hyp2f1", [1.0, 0.5, 1.5], [[-3.0]], False), ("hyp2f1", [1.0, 0.5, 1.5], [[-3.0]], True),
    ("series", [1.0, 1.0, 2.0], [[0.5]], False)])
def test_each_element_is_the_command_lines(cli, name, args, grid, accurate):
    kwargs = {"accurate": True} if accurate else {}  # series has the specified arithmetic alone
    values, status = getattr(special, name)(*args, np.array(grid), return_status=True, **kwargs)
    assert values.shape == status.shape == np.shape(grid) and values.dtype == np.float64
    for index, x in np.ndenumerate(np.array(grid)):
        want = cli.json("eval", name, *map(repr, args), repr(float(x)), *(["--accurate"] if accurate else []))
        assert int(status[index]) == want["status"], (index, x)
        if want["status"] != 0:  # at a failure the command line shows the engine's 0, Python scipy's value
            assert bits(values[index]) == bits(want["value"]), (index, x)


# Where the function has no value: the one-sided limit the sign of zero points to, NaN where the sign depends
# on the side (the negative integers) or for any other failure, +inf where it grows beyond the doubles.
POLES = [("gamma", 0.0, INF), ("gamma", -0.0, -INF), ("gamma", -7.0, NAN), ("gamma", INF, INF), ("gamma", -INF, NAN),
         ("gamma", NAN, NAN), ("digamma", 0.0, -INF), ("digamma", -0.0, INF), ("digamma", -30.0, NAN),
         ("digamma", INF, INF), ("digamma", -INF, NAN), ("loggamma", 0.0, INF), ("loggamma", -0.0, INF),
         ("loggamma", -2.0, NAN), ("loggamma", INF, INF), ("loggamma", NAN, NAN)]


# Beyond the doubles and below zero the specified arithmetic alone fails; the exact one has values there.
@pytest.mark.parametrize("name, x, value, accurate", [(*pole, accurate) for pole in POLES for accurate in (False, True)]
                         + [("gamma", 200.0, INF, False), ("loggamma", -0.5, NAN, False)])
def test_poles_give_what_scipy_gives_in_either_arithmetic(name, x, value, accurate):
    got, status = getattr(special, name)(x, accurate=accurate, return_status=True)
    assert (type(got), bits(got), status) == (float, bits(value), 0)
    # In an array beside a value that exists, which keeps its own.
    array, statuses = getattr(special, name)(np.array([x, 3.0]), accurate=accurate, return_status=True)
    assert bits(array) == [bits(value), bits(getattr(special, name)(3.0, accurate=accurate))]
    assert statuses[0] == 0 and statuses[1] > 0


def test_arrays_and_numbers_come_back_as_numpy_gives_them():
    assert type(special.gamma(3.0)) is float and type(special.gamma(3)) is float
    assert type(special.gamma(np.float64(3.0))) is np.float64 and type(special.gamma(np.array(3.0))) is np.float64
    value, status = special.series([1.0, 1.0], 1.0, 2.0, np.array([[0.0], [0.5]]), return_status=True)
    assert value.shape == status.shape == (2, 2) and status.dtype == np.int32
    z = np.array([0.1, 0.5, 2.0, 10.0])  # (3, 1) and (4,) broadcast; each element the scalar call's
    got = special.hyp2f1(1.0, np.ones((3, 1)), 2.0, -z)
    assert got.shape == (3, 4) and bits(got) == [bits([special.hyp2f1(1.0, 1.0, 2.0, -x) for x in z])] * 3
    # NaN in the exact family: a failure, not a refusal.
    assert special.hyp2f1(1.0, 0.5, 1.5, [0.5, NAN], accurate=True, return_status=True)[1].tolist() == [1, 0]


@pytest.mark.parametrize("call, error, message", [
    (lambda: special.hyp2f1([1.0, 2.0], 0.5, 1.5, [0.5, 0.5, 0.5]), ValueError, r"a \(2,\) b \(\) c \(\) z \(3,\)"),
    (lambda: special.hyp2f1([1.0, 2.0], 0.5, 1.5, 0.5, accurate=True), ValueError, r"\(at index \(1,\)\)$"),
    (lambda: special.digamma(["1.0"]), TypeError, "x must be a number"),
    (lambda: special.digamma(1.0, return_status=1), TypeError, "return_status must be True or False"),
])
def test_refusals_name_the_argument_and_the_first_element(call, error, message):
    with pytest.raises(error, match=message):
        call()


def test_a_fault_the_evaluator_lets_out_is_a_floating_point_error(cli):
    assert cli.json("eval", "hyp2f1", "1.0", "1e300", "1e300", "0.7")["raised"] is True
    with pytest.raises(FloatingPointError, match=r"^hyp2f1: a floating-point fault .* \(at index \(1,\)\)$") as raised:
        special.hyp2f1(np.ones(3), [1.0, 1e300, 1e300], [2.0, 1e300, 1e300], 0.7)
    assert raised.value.value == 0.0  # the engine's value there
