"""quorix.special where the functions have no value of the line: both modes answer alike.

The expected values are the limits themselves: the one-sided limit the sign of zero points to, NaN where
the sign depends on the side (the negative integers), +inf where the function grows without bound.
"""
import math

import numpy as np
import pytest

from quorix import special

INF, NAN = math.inf, math.nan

CASES = [
    # function, x, the limit there
    ("gamma", 0.0, INF), ("gamma", -0.0, -INF), ("gamma", -1.0, NAN), ("gamma", -7.0, NAN),
    ("gamma", INF, INF), ("gamma", -INF, NAN), ("gamma", NAN, NAN),
    ("loggamma", 0.0, INF), ("loggamma", -0.0, INF), ("loggamma", INF, INF), ("loggamma", NAN, NAN),
    ("digamma", 0.0, -INF), ("digamma", -0.0, INF), ("digamma", -3.0, NAN), ("digamma", INF, INF),
    ("digamma", -INF, NAN), ("digamma", NAN, NAN),
]


def same(got, expected):
    return (math.isnan(got) and math.isnan(expected)) or got == expected


@pytest.mark.parametrize("function, x, limit", CASES)
@pytest.mark.parametrize("accurate", [False, True])
def test_a_number_at_a_pole_in_either_mode(function, x, limit, accurate):
    value, status = getattr(special, function)(x, accurate=accurate, return_status=True)
    assert status == 0
    assert type(value) is float and same(value, limit), (value, limit)
    assert same(getattr(special, function)(x, accurate=accurate), limit)


# At the whole numbers 1, 2, 3 the values are (k - 1)!, its logarithm and -Euler's constant plus a harmonic sum.
EXACT = {
    "gamma": lambda k: float(math.factorial(k - 1)),
    "loggamma": lambda k: math.log(math.factorial(k - 1)),
    "digamma": lambda k: -0.5772156649015329 + sum(1.0 / j for j in range(1, k)),
}


@pytest.mark.parametrize("function", ["gamma", "loggamma", "digamma"])
def test_an_array_through_a_pole_keeps_its_other_elements_exact(function):
    points = [(x, limit) for f, x, limit in CASES if f == function][:3]
    x = np.array([[1.0, 2.0, 3.0], [p[0] for p in points]])
    value, status = getattr(special, function)(x, accurate=True, return_status=True)
    assert status.tolist() == [[1, 1, 1], [0, 0, 0]]
    np.testing.assert_allclose(value[0], [EXACT[function](k) for k in (1, 2, 3)], rtol=2.3e-16, atol=1e-300)
    assert all(same(got, limit) for got, (_, limit) in zip(value[1], points))
    # The two modes mark the same elements as failed and give them the same values.
    specified, specified_status = getattr(special, function)(x, return_status=True)
    assert ((specified_status == 0) == (status == 0)).all()
    np.testing.assert_array_equal(specified[1], value[1])


def test_hyp2f1_alike_for_nan_and_still_refused_outside_the_exact_family():
    assert math.isnan(special.hyp2f1(1.0, NAN, 2.0, 0.5, accurate=True))
    assert special.hyp2f1(1.0, 0.5, 1.5, [0.5, NAN], accurate=True, return_status=True)[1].tolist() == [1, 0]
    with pytest.raises(ValueError, match=r"\(at index \(1,\)\)$"):
        special.hyp2f1([1.0, 2.0], 0.5, 1.5, 0.5, accurate=True)
