"""The Result of quorix.solve: the twelve outputs by name."""
import numpy as np

NAMES = ("Za", "Fha", "Fela", "Fa", "Kcd", "Kda", "DEOverFyUy", "DEOverFhUy", "DE", "XiEq", "Ksec", "KsecOverK0")

# Each output's meaning, unit and an example, for its attribute's docstring.
_MEANINGS = {
    "Za": ("The peak hysteretic value z at the amplitude Umax, 0 <= Za <= 1 (1: saturated).", "dimensionless"),
    "Fha": ("The hysteretic force at the amplitude, (1 - alpha) Fy Za.", "force (the unit of fy)"),
    "Fela": ("The elastic force at the amplitude, alpha (Fy/Uy) Umax.", "force (the unit of fy)"),
    "Fa": ("The total force at the amplitude, Fha + Fela.", "force (the unit of fy)"),
    "Kcd": ("The loop integral of the unloading branch (Kcd* in 'complementary' mode).", "dimensionless"),
    "Kda": ("The loop integral of the loading branch (Kda* in 'complementary' mode).", "dimensionless"),
    "DEOverFyUy": ("The dissipated energy over Fy Uy.", "dimensionless"),
    "DEOverFhUy": ("The dissipated energy over Fh Uy, Fh = (1 - alpha) Fy.", "dimensionless"),
    "DE": ("The energy dissipated in one symmetric cycle, the area of the loop.",
           "energy (the unit of fy times the unit of uy)"),
    "XiEq": ("The equivalent viscous damping ratio DE/(2 pi Fa Umax).", "dimensionless"),
    "Ksec": ("The secant stiffness Fa/Umax.", "force over displacement (fy/uy)"),
    "KsecOverK0": ("The secant stiffness over the initial stiffness Fy/Uy: Fa/(Fy u).", "dimensionless"),
}


def _attribute(name):
    meaning, unit = _MEANINGS[name]

    def get(self):
        return dict.__getitem__(self, name)

    get.__doc__ = f"""{meaning}

    Unit: {unit}. A number for one case; an array of the broadcast shape (or the
    type the inputs dispatched to: pandas Series, xarray DataArray, masked or Dask
    array) for an array call.

    Examples
    --------
    >>> r = quorix.solve(n=2, u=[1.0, 2.5])
    >>> r.{name}.shape, r.{name}[1] == quorix.solve(n=2, u=2.5).{name}
    ((2,), True)
    """
    return property(get, doc=get.__doc__)


def _same(a, b):
    if type(a) is not type(b) and not (np.isscalar(a) and np.isscalar(b)):
        return False
    if np.shape(a) != np.shape(b):
        return False
    a, b = np.asarray(a), np.asarray(b)
    return a.dtype == b.dtype and bool(np.array_equal(a, b, equal_nan=True))


class Result(dict):
    """The nine results and the three derived quantities of one case or of a grid of cases.

    A read-only mapping from the twelve names (Za, Fha, Fela, Fa, Kcd, Kda, DEOverFyUy,
    DEOverFhUy, DE, XiEq, Ksec, KsecOverK0) to their values, which are also its attributes;
    ``mode`` and ``accurate`` say how they were computed. Being a mapping of equal-length
    columns, a one-dimensional result is a frame: ``pandas.DataFrame(result)``;
    ``to_frame()`` works for every shape.

    Two results are equal when their mode, arithmetic, shapes, dtypes and values are
    (NaN equal to NaN: the same case gives the same NaN). Results pickle.

    Examples
    --------
    >>> r = quorix.solve(n=3, gamma=0.8, u=2.5)
    >>> r.DE == r["DE"], r.mode
    (True, 'complementary')
    >>> quorix.solve(u=np.linspace(0.1, 10, 100))  # doctest: +ELLIPSIS
    quorix.Result(shape=(100,), dtype=float64, mode='complementary', accurate=False, type=ndarray, names=Za, ...)
    """

    __slots__ = ("_mode", "_accurate")

    def __init__(self, values, mode, accurate, *, frozen=True):
        values = tuple(values)
        if len(values) != len(NAMES):
            raise ValueError(f"a Result holds {len(NAMES)} values, not {len(values)}")
        # Its arrays are read-only as the mapping is, unless they are the caller's own (ufunc's out=).
        for value in values:
            if frozen and isinstance(value, np.ndarray):
                value.flags.writeable = False
        dict.__init__(self, zip(NAMES, values))
        self._mode = mode
        self._accurate = accurate

    mode = property(lambda self: self._mode, doc="""'complementary' or 'direct': the set of loop integrals.

    Examples
    --------
    >>> quorix.solve(mode="direct").mode
    'direct'
    """)
    accurate = property(lambda self: self._accurate, doc="""True for the exact mathematics, False for the specified arithmetic.

    Examples
    --------
    >>> quorix.solve(accurate=True).accurate
    True
    """)

    @property
    def shape(self):
        """The broadcast shape of the call, () for one case.

        Examples
        --------
        >>> quorix.solve(u=[1.0, 2.0]).shape
        (2,)
        """
        return np.shape(dict.__getitem__(self, "DE"))

    def as_dict(self):
        """The twelve values by name, in the order of the attributes, as a plain dict.

        Examples
        --------
        >>> list(quorix.solve().as_dict())[:3]
        ['Za', 'Fha', 'Fela']
        """
        return dict(self)

    def to_frame(self):
        """The results as a pandas DataFrame, one column per name and one row per case.

        A Series result keeps its index; an N-dimensional grid is flattened in C order
        with a MultiIndex of its axes' positions; one case is one row.

        Examples
        --------
        >>> quorix.solve(u=np.linspace(0.5, 2, 4)).to_frame().shape
        (4, 12)
        """
        import pandas

        first = dict.__getitem__(self, "DE")
        if isinstance(first, pandas.Series):
            return pandas.DataFrame(dict(self))
        shape = np.shape(first)
        columns = {name: np.ravel(np.asarray(value)) for name, value in self.items()}
        if len(shape) <= 1:
            return pandas.DataFrame(columns)
        index = pandas.MultiIndex.from_product([range(length) for length in shape])
        return pandas.DataFrame(columns, index=index)

    def __repr__(self):
        head = f"mode={self._mode!r}, accurate={self._accurate}"
        first = dict.__getitem__(self, "DE")
        if np.ndim(first) == 0 and not hasattr(first, "dims"):
            return f"quorix.Result({head}, " + ", ".join(f"{k}={v!r}" for k, v in self.items()) + ")"
        dtype = getattr(first, "dtype", None)
        return (f"quorix.Result(shape={np.shape(first)}, dtype={dtype}, {head}, type={type(first).__name__}, "
                f"names={', '.join(NAMES)})")

    def __eq__(self, other):
        if not isinstance(other, Result):
            return NotImplemented
        return (self._mode, self._accurate) == (other._mode, other._accurate) and all(
            _same(dict.__getitem__(self, k), dict.__getitem__(other, k)) for k in NAMES)

    def __ne__(self, other):
        equal = self.__eq__(other)
        return equal if equal is NotImplemented else not equal

    __hash__ = None

    def __reduce__(self):
        return (Result, (tuple(self.values()), self._mode, self._accurate))

    def _read_only(self, *args, **kwargs):
        raise TypeError("a quorix.Result cannot be changed; as_dict() gives a dict that can")

    __setitem__ = __delitem__ = clear = pop = popitem = setdefault = update = __ior__ = _read_only

    def copy(self):
        """The result itself: it cannot change."""
        return self


for _name in NAMES:
    setattr(Result, _name, _attribute(_name))
del _name
