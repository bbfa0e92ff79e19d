"""The engine's special functions with its calling convention: (value, status).

Status 0 marks a failure; with ``accurate=True`` the exact mathematics is
returned instead, with status 1 (ValueError outside its domain). Every
argument is a real number (TypeError naming it otherwise).

Examples
--------
>>> from quorix import special
>>> special.gamma(4.0)  # the specified arithmetic, as the model's published computation has it
(5.999999999999997, 1)
>>> special.gamma(4.0, accurate=True)
(6.0, 1)
"""
from . import _checks
from ._core import special as _special

__all__ = ["loggamma", "gamma", "digamma", "hyp2f1", "series"]


def loggamma(x, *, accurate=False):
    """ln Gamma(x) for x > 0.

    Parameters
    ----------
    x : float
        The argument, dimensionless.
    accurate : bool, optional
        True: the exact value (status 1).

    Returns
    -------
    (float, int)
        The value and the engine's status (0: a failure).

    Examples
    --------
    >>> quorix.special.loggamma(1.0)
    (0.0, 1)
    """
    return _special.loggamma(_checks.real("loggamma", "x", x), accurate=_checks.flag("loggamma", "accurate", accurate))


def gamma(x, *, accurate=False):
    """Gamma(x) for x > 0 and negative non-integers.

    Parameters
    ----------
    x : float
        The argument, dimensionless.
    accurate : bool, optional
        True: the exact value (status 1).

    Returns
    -------
    (float, int)
        The value and the engine's status (0: a failure).

    Examples
    --------
    >>> quorix.special.gamma(5.0, accurate=True)
    (24.0, 1)
    """
    return _special.gamma(_checks.real("gamma", "x", x), accurate=_checks.flag("gamma", "accurate", accurate))


def digamma(x, *, accurate=False):
    """psi(x), the logarithmic derivative of Gamma.

    Parameters
    ----------
    x : float
        The argument, dimensionless; the poles 0, -1, -2, ... give status 0.
    accurate : bool, optional
        True: the exact value (status 1).

    Returns
    -------
    (float, int)
        The value and the status: 1 from a table or when the series met its stop test,
        2 when all of its terms ran, 0 for a failure.

    Examples
    --------
    >>> quorix.special.digamma(-2.0)[1]
    0
    """
    return _special.digamma(_checks.real("digamma", "x", x), accurate=_checks.flag("digamma", "accurate", accurate))


def hyp2f1(a, b, c, z, *, accurate=False):
    """The Gauss hypergeometric function F(a, b; c; z) for z < 1.

    Parameters
    ----------
    a, b, c, z : float
        The parameters and the argument, dimensionless.
    accurate : bool, optional
        True: the exact value, for F(1, b; 1 + b; t) and F(b, 1; 1 + b; t) only.

    Returns
    -------
    (float, int)
        The value and the engine's status (0: a failure).

    Raises
    ------
    FloatingPointError
        A floating-point fault of the evaluator's own arithmetic; its ``value`` attribute
        holds what the evaluator had stored.

    Examples
    --------
    >>> quorix.special.hyp2f1(1.0, 1.0, 2.0, 0.0)
    (1.0, 1)
    """
    args = [_checks.real("hyp2f1", name, v) for name, v in zip("abcz", (a, b, c, z))]
    return _special.hyp2f1(*args, accurate=_checks.flag("hyp2f1", "accurate", accurate))


def series(a, b, c, z):
    """The Gauss series of F(a, b; c; z) summed term by term.

    Parameters
    ----------
    a, b, c, z : float
        The parameters and the argument, dimensionless.

    Returns
    -------
    (float, int)
        The sum and the index of the term that left it unchanged (0 when 1000 terms did not).

    Examples
    --------
    >>> quorix.special.series(1.0, 1.0, 1.0, 0.0)
    (1.0, 1)
    """
    return _special.series(*[_checks.real("series", name, v) for name, v in zip("abcz", (a, b, c, z))])
