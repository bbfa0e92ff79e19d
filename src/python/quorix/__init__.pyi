# Types of the package quorix, for type checkers and editors.
import os
from typing import Any, Literal, Mapping, Sequence

import numpy as np
import numpy.typing as npt

from . import special as special
from . import ufuncs as ufuncs
from .material import Material as Material

__version__: str
NAMES: tuple[str, ...]

_Real = float | int | np.floating[Any] | np.integer[Any] | np.bool_
_Input = _Real | npt.ArrayLike
_Mode = Literal["complementary", "direct"]

class Result(dict[str, Any]):
    @property
    def Za(self) -> Any: ...
    @property
    def Fha(self) -> Any: ...
    @property
    def Fela(self) -> Any: ...
    @property
    def Fa(self) -> Any: ...
    @property
    def Kcd(self) -> Any: ...
    @property
    def Kda(self) -> Any: ...
    @property
    def DEOverFyUy(self) -> Any: ...
    @property
    def DEOverFhUy(self) -> Any: ...
    @property
    def DE(self) -> Any: ...
    @property
    def XiEq(self) -> Any: ...
    @property
    def Ksec(self) -> Any: ...
    @property
    def KsecOverK0(self) -> Any: ...
    @property
    def mode(self) -> _Mode: ...
    @property
    def accurate(self) -> bool: ...
    @property
    def shape(self) -> tuple[int, ...]: ...
    def __init__(self, values: Sequence[Any], mode: _Mode, accurate: bool) -> None: ...
    def as_dict(self) -> dict[str, Any]: ...
    def to_frame(self) -> Any: ...

def solve(*, n: _Input = ..., gamma: _Input = ..., beta: _Input | None = ..., alpha: _Input = ...,
          fy: _Input = ..., uy: _Input = ..., u: _Input | None = ..., umax: _Input | None = ...,
          mode: _Mode = ..., accurate: bool = ...,
          outside_domain: Literal["raise", "warn"] = ...,
          out: tuple[np.ndarray, ...] | None = ..., where: npt.ArrayLike = ..., workers: int | None = ...,
          **ufunc_kwargs: Any) -> Result: ...
def sweep(start: _Real, stop: _Real, step: _Real, *, n: _Real = ..., gamma: _Real = ..., beta: _Real | None = ...,
          alpha: _Real = ..., fy: _Real = ..., uy: _Real = ..., mode: _Mode = ...,
          accurate: bool = ..., outside_domain: Literal["raise", "warn"] = ...) -> dict[str, np.ndarray]: ...
def loop(*, n: _Real = ..., gamma: _Real = ..., beta: _Real | None = ..., alpha: _Real = ..., fy: _Real = ...,
         uy: _Real = ..., u: _Real = ..., mode: _Mode = ..., accurate: bool = ...,
         points: int = ..., outside_domain: Literal["raise", "warn"] = ...) -> tuple[np.ndarray, np.ndarray, np.ndarray]: ...
def response(u: npt.ArrayLike | str | os.PathLike[str], *, n: _Real = ..., gamma: _Real = ..., alpha: _Real = ...,
             fy: _Real = ..., uy: _Real = ..., z0: _Real = ..., u_column: int | str | None = ...) -> dict[str, Any]: ...
def read_record(path: str | os.PathLike[str], u_column: int | str | None = ...,
                F_column: int | str | None = ...) -> dict[str, Any]: ...
def cycles(u: npt.ArrayLike | str | os.PathLike[str], F: npt.ArrayLike | None = ..., *, dead_band: _Real = ...,
           u_column: int | str | None = ..., F_column: int | str | None = ...) -> dict[str, Any]: ...
def fit(u: npt.ArrayLike | str | os.PathLike[str], F: npt.ArrayLike | None = ..., cycles: Sequence[int] | None = ...,
        fix: Mapping[str, _Real] | None = ..., *, start: Mapping[str, _Real] | None = ...,
        dead_band: _Real = ..., steady: bool = ..., samples: tuple[int, int] | None = ..., z0: _Real = ...,
        fit_z0: bool = ..., u_column: int | str | None = ..., F_column: int | str | None = ...) -> dict[str, Any]: ...

class Verification:
    F: dict[str, Any]
    z: dict[str, Any] | None
    relative: float
    tolerance: float | None
    verdict: Literal["agrees", "close", "differs", "within", "exceeds"]
    verdict_text: str
    passed: bool
    z0: float
    cycles: dict[str, np.ndarray]
    cycles_note: str
    model_F: np.ndarray
    model_z: np.ndarray

def verify(record: npt.ArrayLike | Mapping[str, Any] | str | os.PathLike[str], F: npt.ArrayLike | None = ...,
           z: npt.ArrayLike | None = ..., *, n: _Real = ..., gamma: _Real = ..., alpha: _Real = ..., fy: _Real = ...,
           uy: _Real = ..., material: str | Material | None = ..., csi_wen: str | None = ..., z0: _Real | None = ...,
           tolerance: _Real | None = ..., dead_band: _Real = ..., u_column: int | str | None = ...,
           F_column: int | str | None = ..., z_column: int | str | None = ...) -> Verification: ...

ISOLATION_NAMES: tuple[str, ...]

class IsolationResult(dict[str, Any]):
    D: Any
    Keff: Any
    F: Any
    EDC: Any
    betaEff: Any
    Qd: Any
    Za: Any
    z0: Any
    Kd: Any
    Dy: Any
    Ku: Any
    @property
    def shape(self) -> tuple[int, ...]: ...
    def __init__(self, values: Sequence[Any]) -> None: ...

def isolation_at(D: _Input, *, n: _Input = ..., gamma: _Input = ..., alpha: _Input = ..., fy: _Input = ...,
                 uy: _Input = ..., bearings: _Input = ..., workers: int | None = ...) -> IsolationResult: ...
