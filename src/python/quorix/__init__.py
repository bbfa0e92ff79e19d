"""Quorix: the energy the Bouc-Wen model (A = 1, beta + gamma = 1) dissipates in one symmetric cycle.

In closed form, with numpy arrays in and out. The law, in Wen's labelling (gamma on the |u'| term)::

    z' = (1/Uy) (u' - gamma |u'| |z|^(n-1) z - beta u' |z|^n),    F = alpha (Fy/Uy) u + (1 - alpha) Fy z

Functions
---------
solve(...)                      one case, or a grid of cases broadcast as numpy broadcasts (a ufunc)
sweep(start, stop, step, ...)   the rows of a sweep over Umax/Uy
loop(...)                       the closed hysteresis loop of one case
response(u, ...)                the model's exact response along a displacement history
read_record, cycles, fit        measured records: read, cut into cycles, the model fitted
verify(record, ...)             an analysis program's record against the model's exact response
isolation_at(D, ...)            an isolation system's properties at D on the exact loop (a ufunc)
Material                        analysis programs' materials in and out
special                         the engine's special functions
ufuncs                          the numpy ufuncs behind solve

Units: fy is a force and uy a length, in any consistent units; u is Umax/Uy
(dimensionless). Energies come in the unit of fy times that of uy.

Examples
--------
>>> import quorix
>>> r = quorix.solve(n=3, gamma=0.8, u=2.5, mode="direct")
>>> sorted(r)[:3]
['DE', 'DEOverFhUy', 'DEOverFyUy']
"""
import contextlib as _contextlib
import functools as _functools
import warnings as _warnings

import numpy as _np

from . import _checks, _core, _frames, special, ufuncs
from ._isolation import ISOLATION_NAMES, IsolationResult, isolation_at
from ._result import NAMES, Result
from .material import Material

__version__ = _core.__version__
__all__ = ["solve", "sweep", "loop", "response", "read_record", "cycles", "fit", "Material", "Result", "NAMES",
           "special", "ufuncs", "__version__", "verify", "Verification", "isolation_at", "IsolationResult"]

_D = _core._window_defaults()
_INPUTS = ("n", "gamma", "beta", "alpha", "fy", "uy", "u")
_MODES = ("complementary", "direct")


def _mode(function, mode):
    if not (isinstance(mode, str) and mode in _MODES):
        raise ValueError(f"{function}: mode must be 'complementary' or 'direct', not {mode!r}")
    return mode


def _outside(function, outside_domain):
    if not (isinstance(outside_domain, str) and outside_domain in ("raise", "warn")):
        raise ValueError(f"{function}: outside_domain must be 'raise' or 'warn', not {outside_domain!r}")
    return outside_domain


def _is_dask(value):
    return hasattr(value, "__dask_graph__") and type(value).__module__.startswith("dask.array")


def _masked(values):
    return any(isinstance(v, _np.ma.MaskedArray) for v in values)


_SOLVE_KEYWORDS = _INPUTS + ("umax", "mode", "accurate", "outside_domain", "out", "where", "workers")
_UFUNC_KEYWORDS = ("casting", "order", "dtype", "subok")


def solve(*, n=_D["n"], gamma=_D["gamma"], beta=None, alpha=_D["alpha"], fy=_D["fy"], uy=_D["uy"], u=None,
          umax=None, mode=_D["mode"], accurate=False, outside_domain="raise", out=None, where=True, workers=None,
          **ufunc_kwargs):
    """Solve one case, or every case of inputs that broadcast as numpy broadcasts.

    The law, in Wen's labelling (gamma on the |u'| term)::

        z' = (1/Uy) (u' - gamma |u'| |z|^(n-1) z - beta u' |z|^n),    F = alpha (Fy/Uy) u + (1 - alpha) Fy z

    with A = 1 and beta + gamma = 1 (a UserWarning when they are not). The inputs are
    those of a numpy ufunc (``quorix.ufuncs``): numbers, numpy arrays, sequences, masked
    arrays and Dask arrays (computed lazily), and every output then has their type and
    broadcast shape; arrays are computed on every core the process may use
    (``QUORIX_NUM_THREADS``, or ``workers``). pandas Series and DataFrames, in any
    combination, are aligned as pandas' arithmetic aligns them (two Series: the union of
    their indexes, NaN where one has no label; a Series beside a DataFrame: by its
    columns) and every output is a Series (a DataFrame) on those labels, named after the
    output; xarray DataArrays, numpy- or Dask-backed, are aligned and broadcast by name as
    xarray's arithmetic does and every output is a DataArray of that name.

    Parameters
    ----------
    n : float or array_like
        The exponent, dimensionless (> 0).
    gamma : float or array_like
        The coefficient of the |u'| term, dimensionless.
    beta : float or array_like, optional
        The coefficient of the u' term; default 1 - gamma as the window's field shows it
        (rounded to 15 digits: gamma = 0.9 gives 0.1).
    alpha : float or array_like
        The elastic share of the yield force, dimensionless (0 <= alpha < 1).
    fy : float or array_like
        The yield force Fy (force).
    uy : float or array_like
        The yield displacement Uy (length).
    u : float or array_like
        The amplitude of the symmetric cycle, Umax/Uy (dimensionless); default 1.
    umax : float or array_like, optional
        The amplitude Umax itself (length), instead of u: u is then umax / uy.
    mode : {'complementary', 'direct'}
        The set of loop integrals: beyond saturation (Za = 1) 'direct' stops growing while
        'complementary' grows DEOverFhUy by 4 per unit of u.
    accurate : bool
        False: the specified arithmetic, the window's, to the last bit; where its formulas
        lose their digits (small amplitudes, small n) it warns (UserWarning, once a call)
        with the count of cases whose results lie more than 1e-4 (relative) from the exact
        values or have the other sign, naming the first. True: the exact mathematics.
    outside_domain : {'raise', 'warn'}
        A case outside the model's domain (n <= 0, Fy <= 0, Uy <= 0, alpha outside [0, 1),
        beta - gamma > 1, u < 0, an input not finite): 'raise' (the default) raises ValueError
        naming the input, its value and the range, and in an array call the index of the first
        such element; 'warn' computes it as the window does (the infinities and NaN the solver
        leaves) with one UserWarning. The accurate arithmetic always raises.
    out : tuple of 12 arrays, optional
        Where to write the twelve outputs, as for any ufunc.
    where : array_like of bool, optional
        Which elements to compute, as for any ufunc; the others keep what ``out`` held.
    workers : int, optional
        At most this many threads for the call (this one included); default: one per core
        the process may use, or ``QUORIX_NUM_THREADS``. The results do not depend on it.
    **ufunc_kwargs
        ``casting``, ``order``, ``dtype``, ``subok``: numpy's ufunc keywords.

    Returns
    -------
    Result
        The twelve outputs Za, Fha, Fela, Fa, Kcd, Kda, DEOverFyUy, DEOverFhUy, DE, XiEq,
        Ksec, KsecOverK0 by name and as attributes. float32 inputs give float32 outputs
        where numpy's rules say so; the float32 loop then reads every input as a float32
        (a Python float beside a float32 array too, as numpy casts it), computes in double
        and rounds each output once. Anything else gives float64. Python numbers give Python floats; numpy scalars and
        0-d arrays give numpy scalars.

    Raises
    ------
    TypeError
        An input that is text ('2.5'), None, complex, or an array of objects (None inside
        one too), naming the input.
    ValueError
        Shapes that do not broadcast, a mode other than the two, and, accurate, an input
        outside the model's domain.

    Examples
    --------
    >>> r = quorix.solve(n=3, gamma=0.8, u=2.5)
    >>> r.Za < 1.0
    True
    >>> g = quorix.solve(n=np.array([[1.0], [2.0], [4.0]]), u=np.linspace(0.1, 10, 100))
    >>> g.DE.shape
    (3, 100)
    >>> quorix.solve(u=[1.0, 2.0], workers=1) == quorix.solve(u=[1.0, 2.0])
    True
    """
    _checks.keywords("solve", ufunc_kwargs, _UFUNC_KEYWORDS, _SOLVE_KEYWORDS)
    if umax is not None:
        if u is not None:
            raise TypeError("solve: give u (Umax/Uy) or umax (Umax itself), not both")
        umax, uy = _checks.real_array("solve", "umax", umax), _checks.real_array("solve", "uy", uy)
        with _np.errstate(divide="ignore", invalid="ignore"):  # uy = 0 is refused below, as outside the model
            u = _np.true_divide(umax, uy)
        if all(type(v) is float or type(v) is int for v in (umax, uy)):
            u = float(u)
    elif u is None:
        u = _D["u"]
    mode = _mode("solve", mode)
    accurate = _checks.flag("solve", "accurate", accurate)
    outside = _outside("solve", outside_domain)
    workers = _checks.workers("solve", workers)
    given = beta is not None
    plain = out is None and where is True and not ufunc_kwargs
    values = (n, gamma, beta, alpha, fy, uy, u)
    if plain and all(type(v) is float or type(v) is int for i, v in enumerate(values) if given or i != 2):
        return Result(_core._solve_scalar(n, gamma, beta, alpha, fy, uy, u, mode, accurate, outside), mode, accurate)
    names = [name for name in _INPUTS if given or name != "beta"]
    chosen = [v for name, v in zip(_INPUTS, values) if given or name != "beta"]
    ufunc = ufuncs.WINDOW[(mode, given)] if outside == "warn" and not accurate else ufuncs.BY_OPTIONS[(mode, accurate, given)]
    if out is not None:
        ufunc_kwargs["out"] = out
    if where is not True:
        ufunc_kwargs["where"] = where

    def compute(arrays, present=None):
        inputs = [_checks.real_array("solve", name, value) for name, value in zip(names, arrays)]
        if present is None:
            return _solve_arrays(ufunc, names, inputs, dict(ufunc_kwargs), where, workers)
        # Where a label is missing the outputs are NaN, as in pandas' arithmetic, and the NaN of the
        # alignment are not refused as inputs outside the model: those elements are not computed.
        wanted = present & _np.asarray(where, dtype=bool)
        outputs = _solve_arrays(ufunc, names, inputs, {**ufunc_kwargs, "where": wanted}, wanted, workers)
        if out is None:
            for output in outputs:
                _np.copyto(output, _np.nan, where=~present)
        return outputs

    # numpy hands the loop a broadcast call in pieces: their notes make one warning of each kind, given
    # here, so that it names the caller's line.
    with _core._notes_of_one_call("quorix.solve"):
        # pandas and xarray objects aligned as their own arithmetic aligns them, and given back as they came.
        outputs = _frames.with_pandas(chosen, compute, NAMES)
        if outputs is None:
            outputs = _frames.with_xarray(chosen, compute, NAMES)
        if outputs is None:
            outputs = compute(chosen)
    return Result(outputs, mode, accurate, frozen=out is None)


def _limit(workers):
    return _contextlib.nullcontext() if workers is None else _core._workers(workers)


def _solve_arrays(ufunc, names, inputs, kwargs, where, workers):
    """The twelve outputs of the ufunc on numbers, numpy, masked or Dask arrays."""
    if any(_is_dask(v) for v in inputs):
        return _solve_dask(ufunc, inputs, kwargs, workers)
    with _limit(workers):
        if _masked(inputs):
            return _solve_masked(ufunc, inputs, kwargs)
        try:
            return ufunc(*inputs, **kwargs)
        except ValueError as error:
            if "broadcast" in str(error):
                shapes = " ".join(f"{name} {_np.shape(x)}" for name, x in zip(names, inputs))
                raise ValueError(f"solve: the arguments cannot be broadcast to one shape: {shapes}") from None
            raise _located(ufunc, inputs, where, error) from None


def _located(ufunc, inputs, where, error):
    """The domain error of the first failing element in C order, with that element's index.

    Found by halving: the part before `lo` is known to pass and [lo, hi) to hold a failure,
    so each step solves only the half it looks at, about as many elements in all as the
    call had.
    """
    arrays = _np.broadcast_arrays(*[_np.asarray(x) for x in inputs], _np.asarray(where, dtype=bool))
    shape = arrays[0].shape
    if shape == ():
        return error
    chosen = _np.flatnonzero(arrays[-1].ravel())
    flat = [a.ravel() for a in arrays[:-1]]
    lo, hi = 0, len(chosen)
    last = error
    while hi - lo > 1:
        mid = (lo + hi) // 2
        try:
            ufunc(*[f[chosen[lo:mid]] for f in flat])
            lo = mid
        except ValueError as e:
            hi, last = mid, e
    try:
        ufunc(*[f[chosen[lo:hi]] for f in flat])
    except ValueError as e:
        last = e
    index = tuple(int(i) for i in _np.unravel_index(chosen[lo], shape))
    return ValueError(f"{last} (at index {index})")


def _blockwise(ufunc, workers, *blocks):
    with _limit(workers):
        return ufunc(*blocks)


def _solve_dask(ufunc, inputs, kwargs, workers):
    """Dask passes ufuncs of several outputs only to its own wrappers: the ufunc goes through apply_gufunc,
    block by block (each block on every core, as a numpy call would be)."""
    import dask.array as da

    if kwargs:
        raise TypeError(f"solve: {', '.join(sorted(kwargs))} cannot be given with Dask arrays")
    probe = [_np.zeros(1, getattr(x, "dtype", None) or _np.asarray(x).dtype) for x in inputs]
    # The dtype of the outputs, from a probe of zeros, which lie outside the domain: the window's reading,
    # its warning not the caller's.
    with _warnings.catch_warnings(), _core._notes_of_one_call("quorix.solve"):  # gathered apart from the call's
        _warnings.simplefilter("ignore")
        dtype = ufuncs.WINDOW[("complementary", len(inputs) == 7)](*probe)[0].dtype
    inputs = _frames.dask_blocks_in_line(inputs)
    signature = ",".join(["()"] * len(inputs)) + "->" + ",".join(["()"] * len(NAMES))
    call = ufunc if workers is None else _functools.partial(_blockwise, ufunc, workers)
    return da.apply_gufunc(call, signature, *inputs, output_dtypes=[dtype] * len(NAMES))


def _solve_masked(ufunc, inputs, kwargs):
    """Masked elements are not computed (the accurate arithmetic might refuse what lies under a mask);
    every output is masked where any input is."""
    mask = _np.logical_or.reduce(_np.broadcast_arrays(*[_np.ma.getmaskarray(x) for x in inputs]))
    where = ~mask & _np.asarray(kwargs.pop("where", True), dtype=bool)
    outputs = ufunc(*[_np.ma.getdata(x) for x in inputs], where=where, **kwargs)
    return tuple(_np.ma.MaskedArray(o, mask=mask | ~where) for o in outputs)


def sweep(start, stop, step, *, n=_D["n"], gamma=_D["gamma"], beta=None, alpha=_D["alpha"], fy=_D["fy"],
          uy=_D["uy"], mode=_D["mode"], accurate=False, outside_domain="raise"):
    """The rows of a sweep over Umax/Uy, as the window's results table holds them.

    U = step*i + start for i = 0 ... N, N = round((stop - start)/step) with ties to even (no
    rows when N < 0); each row is solve() of the case at u = U.

    Parameters
    ----------
    start, stop, step : float
        The range of u = Umax/Uy, dimensionless.
    n, gamma, beta, alpha, fy, uy, mode, accurate, outside_domain
        As for solve(), numbers only; 'raise' refuses the case and a negative start.

    Returns
    -------
    dict of numpy arrays
        UmaxOverUy, then the twelve outputs of solve() by name.

    Raises
    ------
    TypeError
        An argument that is not a real number, naming it.
    ValueError
        A sweep that cannot run (a zero step, N beyond the 32-bit range, an amplitude that
        overflows), with quorix-cli's reason.

    Examples
    --------
    >>> quorix.sweep(0.5, 2.0, 0.5)["UmaxOverUy"].tolist()
    [0.5, 1.0, 1.5, 2.0]
    """
    args = {name: _checks.real("sweep", name, v) for name, v in
            dict(start=start, stop=stop, step=step, n=n, gamma=gamma, alpha=alpha, fy=fy, uy=uy).items()}
    if beta is not None:
        args["beta"] = _checks.real("sweep", "beta", beta)
    return _core.sweep(args.pop("start"), args.pop("stop"), args.pop("step"), **args, mode=_mode("sweep", mode),
                       accurate=_checks.flag("sweep", "accurate", accurate),
                       outside_domain=_outside("sweep", outside_domain))


def loop(*, n=_D["n"], gamma=_D["gamma"], beta=None, alpha=_D["alpha"], fy=_D["fy"], uy=_D["uy"], u=_D["u"],
         mode=_D["mode"], accurate=False, points=_core._default_loop_points, outside_domain="raise"):
    """The closed hysteresis loop of one case.

    Loading from (-Umax, -Fa) to (Umax, Fa), then unloading back, the first point not repeated.

    Parameters
    ----------
    n, gamma, beta, alpha, fy, uy, u, mode, accurate, outside_domain
        As for solve(), numbers only.
    points : int
        Points on each branch, 3 ... 1000000.

    Returns
    -------
    (u, F, z) : three numpy arrays
        Displacement (length), force (force) and z (dimensionless); empty when the case
        has no cycle.

    Examples
    --------
    >>> u, F, z = quorix.loop(n=2, u=3, points=50)
    >>> len(u)
    98
    """
    args = {name: _checks.real("loop", name, v) for name, v in
            dict(n=n, gamma=gamma, alpha=alpha, fy=fy, uy=uy, u=u).items()}
    if beta is not None:
        args["beta"] = _checks.real("loop", "beta", beta)
    if isinstance(points, bool) or not isinstance(points, (int, _np.integer)):
        raise TypeError(f"loop: points must be an int, not {type(points).__name__}")
    return _core.loop(**args, mode=_mode("loop", mode), accurate=_checks.flag("loop", "accurate", accurate),
                      points=int(points), outside_domain=_outside("loop", outside_domain))


def _is_path(value):
    return isinstance(value, str) or hasattr(value, "__fspath__")


def response(u, *, n=_D["n"], gamma=_D["gamma"], alpha=_D["alpha"], fy=_D["fy"], uy=_D["uy"], z0=0.0,
             u_column=None):
    """The model's exact response along a displacement history, in closed form.

    The law dz/du = (1/Uy)(1 - gamma sign(du) |z|^(n-1) z - beta |z|^n), beta = 1 - gamma,
    from z = z0 at u[0]; any spacing, any reversals.

    Parameters
    ----------
    u : array_like or path
        The displacement history (length), one-dimensional, at least two samples; or a
        record's file, read as read_record reads it.
    n, gamma, alpha, fy, uy : float
        The case, as for solve().
    z0 : float
        z at u[0], -1 < z0 < 1.
    u_column : int or str, optional
        With a path, as for read_record.

    Returns
    -------
    dict
        'z' (dimensionless) and 'F' (force) at every sample; 'stretches': the stretches
        between reversals as arrays 'first', 'last' (sample indices from 0) and 'work', the
        hysteretic work (1 - alpha) fy times the integral of z du along each (energy).

    Examples
    --------
    >>> r = quorix.response([0.0, 0.5, -0.5, 0.5], uy=1.0)
    >>> r["stretches"]["first"].tolist()
    [0, 1, 2]
    """
    args = {name: _checks.real("response", name, v) for name, v in
            dict(n=n, gamma=gamma, alpha=alpha, fy=fy, uy=uy, z0=z0).items()}
    if _is_path(u):
        # A history of u alone is a record here, as quorix-cli response reads it.
        u = _core.read_record(u, u_column=u_column, _force_optional=True)["u"]
    elif u_column is not None:
        raise TypeError("response: u_column goes with a path, not with an array")
    return _core.response(_checks.real_array("response", "u", u), **args)


def read_record(path, u_column=None, F_column=None):
    """A measured record's file as quorix-cli reads it.

    Columns delimited by ';', TAB, ',' or blanks, an optional header of names and a units
    line after it, UTF-8 or UTF-16 with its byte-order mark, decimal commas with ';' or TAB.

    Parameters
    ----------
    path : str or os.PathLike
    u_column, F_column : int or str, optional
        A column's index (from 0, as the messages count them) or its header name; default: the
        columns whose names say displacement and force, else the first numeric ones.

    Returns
    -------
    dict
        u (length) and F (force) as numpy arrays; displacement and force ({column, name,
        unit}), columns, header, decimal_comma.

    Raises
    ------
    ValueError
        A record it cannot read; OSError for a file it cannot open.

    Examples
    --------
    >>> quorix.read_record("test.csv")["u"]  # doctest: +SKIP
    """
    return _core.read_record(path, u_column=u_column, F_column=F_column)


def cycles(u, F=None, *, dead_band=_core._default_dead_band, u_column=None, F_column=None):
    """The full cycles of a measured record, cut at displacement reversals.

    A reversal counts once u has moved back by dead_band times the whole range of u; the
    incomplete first and last cycles are dropped.

    Parameters
    ----------
    u : array_like or path
        Displacements (length), or a file's path read as read_record reads it.
    F : array_like
        Forces (force), with arrays.
    dead_band : float
        0 < dead_band < 1, a share of the displacement range.
    u_column, F_column : int or str, optional
        With a path, as for read_record.

    Returns
    -------
    dict
        One element per cycle: first, last (indices of its two ends), uPlus, uMinus (length),
        FPlus, FMinus (force), EDC (enclosed area, energy), Keff = (FPlus - FMinus)/(uPlus -
        uMinus), XiEff = EDC/(2 pi Keff d^2), steady; steady_means, counter_clockwise.
        For an isolator's prototype test, per cycle: D = (uPlus - uMinus)/2 (length), Qd
        (force: half the gap between the branches' forces where they cross u = 0), the
        equivalent bilinear loop's Kd = Keff - Qd/D and Dy = D - EDC/(4 Qd), NaN where it
        does not exist with the reason in bilinear_refusal; group (from 0: consecutive
        cycles whose D lies within 5 % of the group's first), Keff_ratio and EDC_ratio
        (over the group's means); groups: first_cycle, last_cycle, the means D, Keff, EDC,
        first_Keff_ratio, first_EDC_ratio.

    Examples
    --------
    >>> u, F, _ = quorix.loop(u=3)
    >>> len(quorix.cycles(np.tile(u, 3), np.tile(F, 3))["EDC"])
    2
    """
    dead_band = _checks.real("cycles", "dead_band", dead_band)
    if _is_path(u):
        return _core.cycles(u, F, dead_band=dead_band, u_column=u_column, F_column=F_column)
    u = _checks.real_vector("cycles", "u", u)
    if F is not None:
        F = _checks.real_vector("cycles", "F", F)
    return _core.cycles(u, F, dead_band=dead_band, u_column=u_column, F_column=F_column)


def fit(u, F=None, cycles=None, fix=None, *, start=None, dead_band=_core._default_dead_band, steady=False,
        samples=None, z0=0.0, fit_z0=False, u_column=None, F_column=None):
    """Fit n, gamma (beta = 1 - gamma), alpha, fy and uy to a measured record.

    Least squares on F at every measured sample against the model's exact response along
    the measured u from z = z0 at u[0] (fit_z0=True fits z0 too), or, steady=True, against
    the closed-form steady loop at each chosen cycle's amplitude and centre.

    Parameters
    ----------
    u, F : array_like
        Displacements (length) and forces (force); or u a record's file, read as
        read_record reads it, and no F.
    cycles : sequence of int, optional
        Rows of cycles() whose samples count.
    fix, start : dict {name: number}, optional
        Values held fixed, starting values.
    dead_band : float
        As for cycles().
    steady : bool
    samples : (int, int), optional
        First and last indices of the samples that count.
    z0 : float
    fit_z0 : bool
    u_column, F_column : int or str, optional
        With a path, as for read_record.

    Returns
    -------
    dict
        fit, parameters, errors, fixed, rms, rms_relative, iterations, cycles, half_range,
        measured_EDC, model_EDC, points, model_F, loops, materials, left_out_steady,
        left_out_wider, other_fits, starts, summary, warnings (each also given as a
        UserWarning). The searches start from several distinct points of a coarse scan
        (starts: how many); other_fits lists other parameter sets that fit as well (rms
        within 1 % of the fit's) and lie outside the fit's two standard errors, each a dict
        with parameters, rms, rms_relative and differs (the names of the parameters that
        differ): the record does not tell those parameters apart.

    Examples
    --------
    >>> u = np.linspace(0, 1, 101)
    >>> u = np.concatenate([u, 1 - u, -u, u - 1] * 3)
    >>> F = quorix.response(u, n=2.0, gamma=0.7, alpha=0.1, fy=5.0, uy=0.2)["F"]
    >>> round(quorix.fit(u, F)["parameters"]["n"], 6)
    2.0
    """
    if _is_path(u):
        if F is not None:
            raise TypeError("fit: with a path, the forces come from the file: give no F")
        record = read_record(u, u_column=u_column, F_column=F_column)
        u, F = record["u"], record["F"]
    elif F is None or u_column is not None or F_column is not None:
        raise TypeError("fit: give u and F as arrays, or a record's path (with u_column, F_column) alone")
    result = _core.fit(_checks.real_vector("fit", "u", u), _checks.real_vector("fit", "F", F), cycles,
                       {} if fix is None else fix, start={} if start is None else start,
                       dead_band=_checks.real("fit", "dead_band", dead_band),
                       steady=_checks.flag("fit", "steady", steady), samples=samples,
                       z0=_checks.real("fit", "z0", z0), fit_z0=_checks.flag("fit", "fit_z0", fit_z0))
    for warning in result["warnings"]:
        _warnings.warn(f"fit: {warning}", UserWarning, stacklevel=2)
    return result


class Verification:
    """What quorix.verify found: an analysis program's record against the model's exact response.

    Attributes
    ----------
    F, z : dict
        For the force (and z, None without it): 'largest' (max |program - model|), 'sample'
        (where it occurs, from 0), 'u' there, 'rms', 'scale' (the model's max |F|, or |z|) and
        'relative' (largest / scale). z is in the program's own units.
    relative : float
        The larger of F's and z's relative differences: what the verdict and the tolerance judge.
    verdict : str
        'agrees' (relative <= 1e-6), 'close' (<= 1e-3), 'differs'; with a tolerance 'within'
        or 'exceeds'. verdict_text says it in a line.
    passed : bool
        False only when the tolerance was exceeded.
    z0 : float
        z at the first sample where the model's response started (the program's units).
    cycles : dict
        Per cycle 'first', 'last' (samples from 0), 'program_EDC' and 'model_EDC'; cycles_note
        says why there is none.
    model_F, model_z : numpy.ndarray
        The model's exact response at every sample (z in the program's units).

    Examples
    --------
    >>> u = 0.3 * np.sin(np.linspace(0.0, 6.0 * np.pi, 301))
    >>> v = quorix.verify(u, quorix.response(u)["F"] * 1.01)
    >>> v.verdict, round(v.relative, 6)
    ('differs', 0.01)
    """

    def __init__(self, figures):
        for name, value in figures.items():
            setattr(self, name, value)
        self.passed = self.verdict != "exceeds"

    def __repr__(self):
        return f"<quorix.Verification: {self.verdict_text}>"


def verify(record, F=None, z=None, *, n=_D["n"], gamma=_D["gamma"], alpha=_D["alpha"], fy=_D["fy"], uy=_D["uy"],
           material=None, csi_wen=None, z0=None, tolerance=None, dead_band=_core._default_dead_band, u_column=None,
           F_column=None, z_column=None):
    """How far an analysis program's record lies from the model it was given.

    The model's exact response along the recorded u, from the same initial state, beside the
    recorded force (and z): the largest and RMS differences with where they occur, the
    energy per cycle by both, and a verdict. The relative difference is the largest one over
    the model's largest |F| (|z|) along the record.

    Parameters
    ----------
    record : path, array_like or dict
        A record's file (read as read_record reads it; z from the column z_column, or one
        named "z"), the displacements u with F (and z) given apart, or a dict with 'u', 'F'
        and perhaps 'z'.
    n, gamma, alpha, fy, uy : float
        The case, as for response(); or instead
    material : str or Material
        An OpenSees material line (its z in its own units: BoucWen's a length), or a
        quorix.Material (z as Quorix has it);
    csi_wen : str
        CSI's Wen link as "k=...,yield=...,ratio=...,exp=...".
    z0 : float, optional
        z at the first sample in the program's units; default the record's z there, else 0.
    tolerance : float, optional
        A relative difference: the verdict is then 'within' or 'exceeds'.
    dead_band : float
        For the cycles, as for cycles().
    u_column, F_column, z_column : int or str, optional
        With a path: a column's index (from 0) or name.

    Returns
    -------
    Verification

    Examples
    --------
    >>> u = 0.3 * np.sin(np.linspace(0.0, 6.0 * np.pi, 301))
    >>> v = quorix.verify({"u": u, "F": quorix.response(u)["F"]})
    >>> v.verdict, v.F["largest"] < 1e-12, len(v.cycles["model_EDC"])
    ('agrees', True, 2)
    """
    if material is not None and not isinstance(material, (str, Material)):
        raise TypeError("verify: material must be an OpenSees line (str) or a quorix.Material")
    if isinstance(material, Material):
        n, gamma, alpha, fy, uy, material = material.n, material.gamma, material.alpha, material.fy, material.uy, None
    args = {name: _checks.real("verify", name, v) for name, v in
            dict(n=n, gamma=gamma, alpha=alpha, fy=fy, uy=uy, dead_band=dead_band).items()}
    for name, value in (("z0", z0), ("tolerance", tolerance)):
        args[name] = None if value is None else _checks.real("verify", name, value)
    if _is_path(record):
        read = read_record(record, u_column=u_column, F_column=F_column)
        u, F = read["u"], read["F"]
        if z_column is not None or read["header"]:
            try:
                z = read_record(record, u_column=read["displacement"]["column"], F_column=z_column or "z")["F"]
            except ValueError as error:
                # The z column is read in the force's place: the message names it as the caller did.
                if z_column is not None:
                    raise ValueError(str(error).replace("the force column", "the z column (z_column=)", 1)) from None
    else:
        if u_column is not None or F_column is not None or z_column is not None:
            raise TypeError("verify: u_column, F_column and z_column choose the columns of a file")
        if isinstance(record, dict):
            u, F, z = record["u"], record["F"], record.get("z")
        else:
            u = record
        if F is None:
            raise TypeError("verify: F is needed beside the displacements u")
    u, F = _checks.real_vector("verify", "u", u), _checks.real_vector("verify", "F", F)
    z = None if z is None else _checks.real_vector("verify", "z", z)
    return Verification(_core.verify(u, F, z, material=material, csi_wen=csi_wen, **args))
