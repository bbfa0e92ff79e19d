"""The engine's special functions, on numbers and on arrays of any shape (numpy broadcasting, float64).

Each takes ``accurate=False`` (the specified arithmetic, the model's published computation, to the last
bit) or ``accurate=True`` (the exact mathematics; hyp2f1 outside the family it covers raises ValueError,
naming the index of the first such element of an array), and ``return_status=True`` to get the engine's
status beside the value: ``(value, status)``, an int32 array of statuses for an array.

Where either mode fails (status 0: a pole, NaN, +-inf, or the specified arithmetic's own limits) the
value follows scipy.special: at a pole the one-sided
limit the sign of zero points to, or NaN where the sign depends on the side (the negative integers);
+inf where the function grows beyond the doubles (Gamma(x) for x > 171, every function at +inf); NaN for
any other failure (an argument outside the function's domain, NaN, -inf). Python numbers give Python
floats; numpy scalars and 0-d arrays give numpy scalars; anything else a float64 array. Every argument is
a real number or an array of them (TypeError naming it otherwise).

Examples
--------
>>> from quorix import special
>>> special.gamma(4.0)  # the specified arithmetic, as the model's published computation has it
5.999999999999997
>>> special.gamma(4.0, accurate=True)
6.0
>>> special.digamma([0.0, -0.0, -2.0, 1.0], return_status=True)
(array([       -inf,         inf,         nan, -0.57721566]), array([0, 0, 0, 1], dtype=int32))
"""

import numpy as np

from . import _checks
from ._core import special as _special

__all__ = ["loggamma", "gamma", "digamma", "hyp2f1", "series"]


def _negative_integer(x):
    return (x < 0.0) & (np.floor(x) == x) & np.isfinite(x)


# At a failure (status 0), the value scipy.special gives there: from the argument x.
def _loggamma_failed(x):
    return np.where((x == 0.0) | (x == np.inf), np.inf, np.nan)


def _gamma_failed(x):
    at_zero = np.where(np.signbit(x), -np.inf, np.inf)
    return np.where(x == 0.0, at_zero, np.where(x > 171.0, np.inf, np.nan))


def _digamma_failed(x):
    at_zero = np.where(np.signbit(x), np.inf, -np.inf)
    return np.where(x == 0.0, at_zero, np.where(x == np.inf, np.inf, np.nan))


def _nan_failed(*args):
    return np.full(np.shape(args[0]), np.nan)


def _evaluate(function, names, args, accurate, return_status, failed_value):
    values = [_checks.real_array(function, name, v) for name, v in zip(names, args)]
    accurate = _checks.flag(function, "accurate", accurate)
    return_status = _checks.flag(function, "return_status", return_status)
    python = all(type(v) is float or type(v) is int or type(v) is bool for v in values)
    try:
        arrays = np.broadcast_arrays(*[np.asarray(v, dtype=np.float64) for v in values])
    except ValueError:
        shapes = " ".join(f"{name} {np.shape(v)}" for name, v in zip(names, values))
        raise ValueError(f"{function}: the arguments cannot be broadcast to one shape: {shapes}") from None
    shape = arrays[0].shape
    flat = [np.ascontiguousarray(a).ravel() for a in arrays]
    computed = getattr(_special, f"_{function}_array")(*flat, *([accurate] if failed_value is not None else []))
    result, status, failure = computed
    if failure is not None:
        _raise(function, failure, shape, result)
    if failed_value is not None:
        failed = status == 0
        if failed.any():
            result[failed] = failed_value(*[f[failed] for f in flat])
    result, status = result.reshape(shape), status.reshape(shape)
    if shape == ():
        result, status = (float(result), int(status)) if python else (result[()], status[()])
    return (result, status) if return_status else result


def _raise(function, failure, shape, values):
    index, kind, message = failure
    where = "" if shape == () else f" (at index {tuple(int(i) for i in np.unravel_index(index, shape))})"
    if kind == "fault":
        error = FloatingPointError(f"{function}: {message}{where}")
        error.value = float(values[index])
        raise error
    raise ValueError(f"{message}{where}")


def loggamma(x, *, accurate=False, return_status=False):
    """ln Gamma(x) for x > 0.

    Parameters
    ----------
    x : float or array_like
        The argument, dimensionless.
    accurate : bool, optional
        True: the exact value (status 1); at a pole, NaN or +-inf status 0 and the value below.
    return_status : bool, optional
        True: (value, status), the engine's status 0 for a failure.

    Returns
    -------
    float or ndarray
        The value; at a failure as scipy.special.loggamma gives it: +inf at 0 (either sign) and at
        +inf, NaN for x < 0.

    Examples
    --------
    >>> quorix.special.loggamma(1.0)
    0.0
    >>> quorix.special.loggamma([0.0, -1.0])
    array([inf, nan])
    """
    return _evaluate("loggamma", "x", (x,), accurate, return_status, _loggamma_failed)


def gamma(x, *, accurate=False, return_status=False):
    """Gamma(x) for x > 0 and negative non-integers.

    Parameters
    ----------
    x : float or array_like
        The argument, dimensionless.
    accurate : bool, optional
        True: the exact value (status 1); at a pole, NaN or +-inf status 0 and the value below.
    return_status : bool, optional
        True: (value, status), the engine's status 0 for a failure.

    Returns
    -------
    float or ndarray
        The value; at a failure as scipy.special.gamma gives it: +inf at +0, -inf at -0, NaN at the
        negative integers (the sign of the pole depends on the side), +inf beyond x = 171.

    Examples
    --------
    >>> quorix.special.gamma(5.0, accurate=True)
    24.0
    >>> quorix.special.gamma(np.array([-0.0, -1.0, 200.0]))
    array([-inf,  nan,  inf])
    """
    return _evaluate("gamma", "x", (x,), accurate, return_status, _gamma_failed)


def digamma(x, *, accurate=False, return_status=False):
    """psi(x), the logarithmic derivative of Gamma.

    Parameters
    ----------
    x : float or array_like
        The argument, dimensionless.
    accurate : bool, optional
        True: the exact value (status 1); at a pole, NaN or +-inf status 0 and the value below.
    return_status : bool, optional
        True: (value, status): 1 from a table or when the series met its stop test, 2 when all of
        its terms ran, 0 for a failure.

    Returns
    -------
    float or ndarray
        The value; at a failure as scipy.special.psi gives it: -inf at +0, +inf at -0, NaN at the
        poles -1, -2, ... (the sign depends on the side).

    Examples
    --------
    >>> quorix.special.digamma(-2.0, return_status=True)
    (nan, 0)
    """
    return _evaluate("digamma", "x", (x,), accurate, return_status, _digamma_failed)


def hyp2f1(a, b, c, z, *, accurate=False, return_status=False):
    """The Gauss hypergeometric function F(a, b; c; z) for z < 1.

    Parameters
    ----------
    a, b, c, z : float or array_like
        The parameters and the argument, dimensionless; they broadcast as numpy broadcasts.
    accurate : bool, optional
        True: the exact value, for F(1, b; 1 + b; t) and F(b, 1; 1 + b; t) only (ValueError for
        other parameters); NaN with status 0 where an argument is NaN.
    return_status : bool, optional
        True: (value, status), the engine's status 0 for a failure.

    Returns
    -------
    float or ndarray
        The value; NaN where the evaluator fails (status 0).

    Raises
    ------
    FloatingPointError
        A floating-point fault of the evaluator's own arithmetic (naming the index in an array);
        its ``value`` attribute holds what the evaluator had stored.

    Examples
    --------
    >>> quorix.special.hyp2f1(1.0, 1.0, 2.0, 0.0)
    1.0
    >>> quorix.special.hyp2f1(1.0, 1.0, 2.0, np.array([0.0, -1.0])).round(6)
    array([1.      , 0.693147])
    """
    return _evaluate("hyp2f1", "abcz", (a, b, c, z), accurate, return_status, _nan_failed)


def series(a, b, c, z, *, return_status=False):
    """The Gauss series of F(a, b; c; z) summed term by term.

    Parameters
    ----------
    a, b, c, z : float or array_like
        The parameters and the argument, dimensionless; they broadcast as numpy broadcasts.
    return_status : bool, optional
        True: (sum, status), the status the index of the term that left the sum unchanged (0
        when 1000 terms did not reach it: the sum is then the last partial sum).

    Returns
    -------
    float or ndarray
        The sum.

    Examples
    --------
    >>> quorix.special.series(1.0, 1.0, 1.0, 0.0, return_status=True)
    (1.0, 1)
    """
    return _evaluate("series", "abcz", (a, b, c, z), False, return_status, None)
