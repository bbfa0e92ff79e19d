"""quorix.isolation_at: an isolation system's properties at a displacement D, on the exact steady loop."""
import contextlib
import functools
import math
import warnings

import numpy as np

from . import _checks, _core, _frames

ISOLATION_NAMES = ("D", "Keff", "F", "EDC", "betaEff", "Qd", "Za", "z0", "Kd", "Dy", "Ku")
_D = _core._window_defaults()
_ARGUMENTS = ("n", "gamma", "alpha", "fy", "uy", "D", "bearings")


class IsolationResult(dict):
    """The properties at D by name (``ISOLATION_NAMES``), also as attributes; read-only.

    D, Keff, F, EDC, betaEff, Qd, Za, z0 of the loop and Kd, Dy, Ku of its equivalent
    bilinear loop (Qd its characteristic strength), for the N bearings side by side, as
    ``quorix-cli isolation at --json`` gives them under "system". A one-dimensional
    result is a frame: ``pandas.DataFrame(result)``.

    Examples
    --------
    >>> r = quorix.isolation_at(2.0, n=2, gamma=0.5, alpha=0.1)
    >>> r.Keff == r["Keff"], r.shape
    (True, ())
    """

    __slots__ = ()

    def __init__(self, values):
        values = tuple(values)
        for value in values:
            if isinstance(value, np.ndarray):
                value.flags.writeable = False
        dict.__init__(self, zip(ISOLATION_NAMES, values))

    def __getattr__(self, name):
        try:
            return dict.__getitem__(self, name)
        except KeyError:
            raise AttributeError(f"an IsolationResult has no {name!r}") from None

    @property
    def shape(self):
        """The broadcast shape of the call, () for one case."""
        return np.shape(dict.__getitem__(self, "Keff"))

    def __repr__(self):
        if self.shape == () and not hasattr(self["Keff"], "dims"):
            return "quorix.IsolationResult(" + ", ".join(f"{k}={v!r}" for k, v in self.items()) + ")"
        return f"quorix.IsolationResult(shape={self.shape}, type={type(self['Keff']).__name__})"

    def __reduce__(self):
        return (IsolationResult, (tuple(self.values()),))

    def _read_only(self, *args, **kwargs):
        raise TypeError("a quorix.IsolationResult cannot be changed; dict(result) gives a dict that can")

    __setitem__ = __delitem__ = clear = pop = popitem = setdefault = update = __ior__ = _read_only


def _first_missing(outputs, inputs, present):
    """(index, reason, count) of the first element in C order whose outputs hold NaN, or None."""
    missing = np.isnan(np.asarray(outputs[8]))  # Kd: NaN wherever anything is missing
    if present is not None:
        missing &= present
    count = int(np.count_nonzero(missing))
    if count == 0:
        return None
    index = tuple(int(i) for i in np.unravel_index(int(np.argmax(missing.ravel())), missing.shape))
    element = [float(np.broadcast_to(np.asarray(x), missing.shape)[index]) for x in inputs]
    return index, _core._isolation_reason(*element), count


def _is_dask(value):
    return hasattr(value, "__dask_graph__") and type(value).__module__.startswith("dask.array")


def _blockwise(workers, *blocks):
    with _core._workers(workers):
        return _core.isolation_at(*blocks)


def _with_dask(inputs, workers):
    """The eleven outputs as Dask arrays, computed block by block when asked (each block on every core, as a
    numpy call would be). Dask hands a ufunc of several outputs only to its own wrappers: apply_gufunc, the
    arrays first cut into common blocks (dimensions aligned from the right, as in broadcasting), since it
    wants their blocks to line up and a numpy array beside a Dask one (as xarray passes them) is one block."""
    import dask.array as da

    inputs = _frames.dask_blocks_in_line(inputs)
    signature = ",".join(["()"] * len(_ARGUMENTS)) + "->" + ",".join(["()"] * len(ISOLATION_NAMES))
    call = _core.isolation_at if workers is None else functools.partial(_blockwise, workers)
    return tuple(da.apply_gufunc(call, signature, *inputs, output_dtypes=[np.float64] * len(ISOLATION_NAMES)))


def isolation_at(D, *, n=_D["n"], gamma=_D["gamma"], alpha=_D["alpha"], fy=_D["fy"], uy=_D["uy"], bearings=1,
                 workers=None):
    """The properties of the exact steady loop at the displacement amplitude D, and its equivalent bilinear loop.

    Keff = F/D, EDC (the energy of one cycle), betaEff = EDC/(2 pi Keff D^2), Qd (the force at
    u = 0), Za, z0, and the bilinear loop of the same Keff, EDC and Qd: Kd = Keff - Qd/D,
    Dy = D - EDC/(4 Qd), Ku = (Qd + Kd Dy)/Dy; forces, stiffnesses and energies are those of
    ``bearings`` bearings side by side. beta is 1 - gamma as the window shows it. The
    values are those of ``quorix-cli isolation at --json`` ("system"), to the bit.

    Every argument broadcasts as numpy broadcasts (a numpy ufunc of seven inputs and eleven
    outputs), computed on every core the process may use (or ``workers`` threads);
    pandas Series and DataFrames are aligned as pandas aligns them and come back as Series
    (DataFrames) named after each output; xarray DataArrays (numpy- or Dask-backed) as
    DataArrays, aligned by their coordinates as xarray's arithmetic aligns them (dimensions
    in the order of the arguments n, gamma, alpha, fy, uy, D, bearings); Dask arrays as
    Dask arrays, computed when asked.

    Where a property does not exist for an element, its outputs are NaN: all of them for a
    case outside the model's domain, a D not positive and finite or a bearing count that is
    not a whole number from 1; Kd, Dy and Ku where the bilinear loop does not exist (Qd not
    positive, or Dy outside (0, D)). One UserWarning a call then names the first such element
    in C order, its index and the reason (not for Dask arrays, whose values exist only once
    computed: look for NaN there). A call of plain numbers raises ValueError for a case
    outside the domain, as quorix.solve does, and warns for a missing bilinear loop.

    Parameters
    ----------
    D : float or array_like
        The displacement amplitude (length, the unit of uy).
    n, gamma, alpha, fy, uy : float or array_like
        The case, as for quorix.solve; the window's initial values by default.
    bearings : int or array_like
        N, the number of bearings alike.
    workers : int, optional
        At most this many threads for the call; the results do not depend on it.

    Returns
    -------
    IsolationResult
        D, Keff, F, EDC, betaEff, Qd, Za, z0, Kd, Dy, Ku: Python floats for Python numbers,
        float64 arrays (Series, DataArrays) of the broadcast shape otherwise.

    Examples
    --------
    >>> r = quorix.isolation_at(np.array([0.5, 2.0, 8.0]), n=2, gamma=0.5, alpha=0.1, fy=100, uy=1)
    >>> r.betaEff.shape
    (3,)
    """
    workers = _checks.workers("isolation_at", workers)
    values = (n, gamma, alpha, fy, uy, D, bearings)
    if all(type(v) is float or type(v) is int for v in values):
        outputs = tuple(float(o) for o in _core.isolation_at(*values))
        if math.isnan(outputs[8]):
            reason = _core._isolation_reason(*map(float, values))
            if math.isnan(outputs[1]):
                raise ValueError(f"isolation_at: {reason}")
            warnings.warn(f"isolation_at: {reason}", UserWarning, stacklevel=2)
        return IsolationResult(outputs)
    found = []

    def compute(arrays, present=None):
        inputs = [_checks.real_array("isolation_at", name, value) for name, value in zip(_ARGUMENTS, arrays)]
        if any(_is_dask(x) for x in inputs):
            return _with_dask(inputs, workers)
        kwargs = {} if present is None else {"where": present}
        with contextlib.nullcontext() if workers is None else _core._workers(workers):
            try:
                outputs = _core.isolation_at(*inputs, **kwargs)
            except ValueError as error:
                if "broadcast" not in str(error):
                    raise
                shapes = " ".join(f"{name} {np.shape(x)}" for name, x in zip(_ARGUMENTS, inputs))
                raise ValueError(f"isolation_at: the arguments cannot be broadcast to one shape: {shapes}") from None
        if present is not None:  # no label there: not computed, NaN as in pandas' arithmetic
            for output in outputs:
                np.copyto(output, np.nan, where=~present)
        if not found:
            found.append(_first_missing(outputs, inputs, present))
        return outputs

    outputs = _frames.with_pandas(values, compute, ISOLATION_NAMES)
    if outputs is None:
        outputs = _frames.with_xarray(values, compute, ISOLATION_NAMES)
    if outputs is None:
        outputs = compute(values)
    if found and found[0] is not None:
        index, reason, count = found[0]
        warnings.warn(f"isolation_at: {count} element(s) have NaN where a property does not exist; the first, "
                      f"at index {index}: {reason}", UserWarning, stacklevel=2)
    return IsolationResult(outputs)
