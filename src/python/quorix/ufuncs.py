"""The numpy ufuncs behind quorix.solve, one per mode, arithmetic and beta.

A ufunc's keywords are numpy's own and its loops are chosen by dtype, so the
mode, the arithmetic and whether beta is given each make a ufunc of their own:

    solve_{complementary|direct}[_accurate]                 (n, gamma, beta, alpha, fy, uy, u) -> 12 outputs
    solve_{complementary|direct}[_accurate]_beta_from_gamma (n, gamma, alpha, fy, uy, u)       -> 12 outputs

Those of the specified arithmetic raise ValueError for a case outside the model's
domain; the _window ones (solve_{mode}_window[_beta_from_gamma]) compute it as the
window does and warn.

The outputs are Za, Fha, Fela, Fa, Kcd, Kda, DEOverFyUy, DEOverFhUy, DE, XiEq,
Ksec, KsecOverK0 (quorix.NAMES). Loops: float32 (read exactly into doubles,
each output rounded once to float32) and float64. quorix.solve() is the
keyword interface to them and gives a quorix.Result; these are for
np.frompyfunc-style use: ``ufunc.types``, ``out=`` tuples, ``where=``.
Dask arrays need quorix.solve(): Dask hands ufuncs of several outputs only to
its own wrappers.

Examples
--------
>>> from quorix import ufuncs
>>> ufuncs.solve_direct.nin, ufuncs.solve_direct.nout
(7, 12)
>>> outputs = ufuncs.solve_direct_beta_from_gamma(2.0, 0.5, 0.05, 1.0, 1.0, np.array([1.0, 2.0]))
>>> len(outputs), outputs[8].shape
(12, (2,))
"""
from . import _core

_NAMES = [f"solve_{mode}{arithmetic}{beta}" for mode in ("complementary", "direct")
          for arithmetic in ("", "_accurate", "_window") for beta in ("", "_beta_from_gamma")]
globals().update({name: getattr(_core, name) for name in _NAMES})

# (mode, accurate, beta given) -> ufunc
BY_OPTIONS = {(mode, accurate, given): getattr(_core, f"solve_{mode}{'_accurate' if accurate else ''}"
                                                       f"{'' if given else '_beta_from_gamma'}")
              for mode in ("complementary", "direct") for accurate in (False, True) for given in (True, False)}

# (mode, beta given) -> the window's reading: any input computed, a warning outside the domain
WINDOW = {(mode, given): getattr(_core, f"solve_{mode}_window{'' if given else '_beta_from_gamma'}")
          for mode in ("complementary", "direct") for given in (True, False)}

__all__ = _NAMES
