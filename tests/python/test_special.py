"""quorix.special on arrays: each element as quorix-cli eval gives it, the values at a failure as scipy.special
gives them (the values themselves are the C++ tests', against mpmath)."""
import math

import numpy as np
import pytest

import quorix
from conftest import bits

special = quorix.special


@pytest.mark.parametrize("name, grid", [
    ("loggamma", [[0.5, 3.0, 1e-300], [7.25, 0.0, 40.0]]),
    ("gamma", [[4.5, -2.5, 172.0], [0.1, -1.0, 30.0]]),
    ("digamma", [[-2.0, 0.5, 1.5], [1e5, 3.0, 12.25]]),
])
def test_an_array_holds_the_command_lines_values_and_statuses(cli, name, grid):
    values, status = getattr(special, name)(np.array(grid), return_status=True)
    assert values.shape == status.shape == (2, 3) and values.dtype == np.float64
    for index, x in np.ndenumerate(np.array(grid)):
        want = cli.json("eval", name, repr(float(x)))
        assert int(status[index]) == want["status"], (index, x)
        if want["status"] != 0:  # at a failure the command line shows the engine's 0, Python scipy's value
            assert bits(values[index]) == bits(want["value"]), (index, x)


# The values scipy.special gives where the function has no value: the one-sided limit the sign of zero points
# to, NaN at the negative integers (the limit's sign depends on the side), +inf where it grows beyond the doubles.
@pytest.mark.parametrize("name, x, value", [
    ("gamma", 0.0, math.inf), ("gamma", -0.0, -math.inf), ("gamma", -1.0, math.nan), ("gamma", -7.0, math.nan),
    ("gamma", 200.0, math.inf), ("gamma", math.inf, math.inf), ("gamma", math.nan, math.nan),
    ("digamma", 0.0, -math.inf), ("digamma", -0.0, math.inf), ("digamma", -1.0, math.nan),
    ("digamma", -30.0, math.nan), ("digamma", math.inf, math.inf), ("digamma", -math.inf, math.nan),
    ("loggamma", 0.0, math.inf), ("loggamma", -0.0, math.inf), ("loggamma", -2.0, math.nan),
    ("loggamma", -0.5, math.nan), ("loggamma", math.inf, math.inf),
])
def test_poles_give_what_scipy_gives(name, x, value):
    got, status = getattr(special, name)(x, return_status=True)
    assert (bits(got), status) == (bits(value), 0)
    assert bits(getattr(special, name)(np.array([x, x]))) == [bits(value)] * 2


def test_arrays_and_numbers_come_back_as_numpy_gives_them():
    assert type(special.gamma(3.0)) is float and type(special.gamma(3)) is float
    assert type(special.gamma(np.float64(3.0))) is np.float64 and type(special.gamma(np.array(3.0))) is np.float64
    value, status = special.series([1.0, 1.0], 1.0, 2.0, np.array([[0.0], [0.5]]), return_status=True)
    assert value.shape == status.shape == (2, 2) and status.dtype == np.int32
    assert (value[0] == 1.0).all() and (status[1] > 1).all()
    x = np.array([[0.5, 1.5], [7.5, 25.0]])  # the accurate arithmetic on arrays: each element the scalar call's
    for f in (special.loggamma, special.gamma, special.digamma):
        assert bits(f(x, accurate=True)) == [[bits(f(v, accurate=True)) for v in row] for row in x.tolist()], f
    z = np.array([0.1, 0.5, 2.0, 10.0])  # (3, 1) and (4,) broadcast; each element the scalar call's
    got = special.hyp2f1(1.0, np.ones((3, 1)), 2.0, -z)
    assert got.shape == (3, 4) and bits(got) == [bits([special.hyp2f1(1.0, 1.0, 2.0, -x) for x in z])] * 3


@pytest.mark.parametrize("call, error, message", [
    (lambda: special.hyp2f1([1.0, 2.0], 0.5, 1.5, [0.5, 0.5, 0.5]), ValueError, r"a \(2,\) b \(\) c \(\) z \(3,\)"),
    (lambda: special.hyp2f1([1.0, 2.0], 0.5, 1.5, 0.5, accurate=True), ValueError, r"\(at index \(1,\)\)$"),
    (lambda: special.hyp2f1(np.ones(3), [1.0, 1e300, 1e300], [2.0, 1e300, 1e300], 0.7), FloatingPointError,
     r"^hyp2f1: a floating-point fault .* \(at index \(1,\)\)$"),
    (lambda: special.digamma(["1.0"]), TypeError, "x must be a number"),
    (lambda: special.digamma(1.0, return_status=1), TypeError, "return_status must be True or False"),
])
def test_refusals_name_the_argument_and_the_first_element(call, error, message):
    with pytest.raises(error, match=message):
        call()
