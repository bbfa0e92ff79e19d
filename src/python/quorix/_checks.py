"""Arguments refused as numpy refuses them, and by name.

numpy's ufuncs take booleans, integers and reals and refuse text, None,
complex numbers and object arrays; so does every function of the package,
with a TypeError that names the function and the argument. A text that
looks like a number ('2.5') is refused too: numpy would read it only when
asked to cast, and then would read it differently from quorix-cli.
"""
import difflib
import numbers

import numpy as np

# bool, signed and unsigned integers, reals.
_REAL_KINDS = frozenset("biuf")


def _describe(value):
    if value is None:
        return "None"
    dtype = getattr(value, "dtype", None)
    if dtype is not None and np.ndim(value) > 0:
        return f"an array of dtype {dtype}"
    text = repr(value)
    return f"{type(value).__name__} {text if len(text) <= 40 else text[:37] + '...'}"


def _first_non_number(array):
    """Index and value of the first element of an object array that is not a real number."""
    for index, element in np.ndenumerate(array):
        if not (isinstance(element, (numbers.Real, np.bool_)) and not isinstance(element, np.ndarray)):
            return index, element
    return None


def real(function, name, value):
    """`value` as a float when it is a real number (numpy's real scalars and 0-d arrays too); else TypeError."""
    if type(value) is float or type(value) is int:
        return value
    if isinstance(value, (numbers.Real, np.bool_)):
        return float(value)
    if isinstance(value, np.ndarray) and value.ndim == 0 and value.dtype.kind in _REAL_KINDS:
        return float(value)
    raise TypeError(f"{function}: {name} must be a real number, not {_describe(value)}")


def flag(function, name, value):
    """True or False (numpy's bool too); TypeError for anything else, 1 and 'yes' included."""
    if isinstance(value, (bool, np.bool_)):
        return bool(value)
    raise TypeError(f"{function}: {name} must be True or False, not {_describe(value)}")


def real_array(function, name, value):
    """`value` unchanged when it is a number or an array-like of a real dtype (numpy, pandas, xarray and Dask
    arrays keep their type for the ufunc's dispatch); a list or tuple as the numpy array it makes. TypeError
    naming the argument for text, None, complex numbers and object arrays, whatever they hold."""
    if type(value) is float or type(value) is int:
        return value
    dtype = getattr(value, "dtype", None)
    if dtype is None:
        if value is None or isinstance(value, (str, bytes, complex)):
            raise TypeError(f"{function}: {name} must be a number or an array of numbers, not {_describe(value)}")
        if isinstance(value, numbers.Real):
            return value
        value = np.asarray(value)
        dtype = value.dtype
    if getattr(dtype, "kind", None) not in _REAL_KINDS:
        what = _describe(value)
        if isinstance(value, np.ndarray) and dtype.kind == "O":
            found = _first_non_number(value)
            if found is not None:
                what += f" holding {_describe(found[1])} at index {tuple(int(i) for i in found[0])}"
        raise TypeError(f"{function}: {name} must be a number or an array of numbers, not {what}")
    return value


def real_vector(function, name, value):
    """A one-dimensional sequence of real numbers as a float64 numpy array."""
    array = real_array(function, name, value)
    return np.asarray(array, dtype=np.float64)


def keywords(function, given, allowed, known):
    """TypeError naming `function` and the closest known keyword for a keyword it does not take: what Python
    says of a misspelt keyword, without the name of the internal function it would otherwise reach."""
    for key in given:
        if key not in allowed:
            names = list(known) + list(allowed)
            # The case first: the window writes "Uy" and "Fy", the keywords are uy and fy.
            close = [name for name in names if name.lower() == key.lower()]
            close = close or difflib.get_close_matches(key, names, n=1)
            hint = f"; did you mean {close[0]!r}?" if close else ""
            raise TypeError(f"{function}() got an unexpected keyword argument {key!r}{hint}")


def workers(function, value):
    """None, or a thread count from 1 as an int (numpy's integers too); TypeError or ValueError otherwise."""
    if value is None:
        return None
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{function}: workers must be an int from 1, not {_describe(value)}")
    if not 1 <= value <= 4096:
        raise ValueError(f"{function}: workers must lie from 1 to 4096, not {int(value)}")
    return int(value)
