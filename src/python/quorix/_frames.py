"""Labelled arguments of quorix.solve: pandas Series and DataFrames, xarray DataArrays (numpy- or Dask-backed).

They are aligned as their own arithmetic aligns them, computed as plain (or Dask) arrays and given back as
the same kind, one object per output, named after it.

Why not leave them to numpy's __array_ufunc__ protocol, as one Series alone could be: pandas 1.5 refuses a
ufunc call that holds two pandas objects beside anything of another type ("mixed DataFrame and Series
inputs"), and solve() always passes the Python floats of its defaults beside them; xarray hands a Dask-backed
array's blocks to the ufunc as Dask arrays, whose own __array_ufunc__ declines a ufunc of twelve outputs.
Neither is the ufunc's to mend: the alignment is done here, once, before the ufunc sees plain arrays.

Neither pandas nor xarray is imported here: an argument of theirs means the caller has imported them.
"""
import sys

import numpy as np


def _pandas_objects(inputs):
    pd = sys.modules.get("pandas")
    if pd is None:
        return None, []
    return pd, [x for x in inputs if isinstance(x, (pd.Series, pd.DataFrame))]


def _template(pd, framed):
    """The axes pandas' own arithmetic gives these objects: the sum of zero-valued copies of them (so that
    their values, NaN and infinities, play no part). Series with Series: the union of their indexes; frames:
    the union of rows and of columns; a Series beside a frame aligns with its columns, as in frame + series."""
    template = None
    for x in framed:
        if isinstance(x, pd.Series):
            zero = pd.Series(0.0, index=x.index)
        else:
            zero = pd.DataFrame(0.0, index=x.index, columns=x.columns)
        template = zero if template is None else template + zero
    return template


def _aligned(pd, x, axis, columns=None):
    """x's values along the template's axes as a numpy array, and where it has a label there (None: at every
    place); pandas' own extension types (Float64 and its NA) as float64 with NaN."""
    present = None
    if isinstance(x, pd.Series):
        if not x.index.equals(axis):
            present = pd.Series(True, index=x.index).reindex(axis, fill_value=False).to_numpy()
            x = x.reindex(axis)
    elif not (x.index.equals(axis) and x.columns.equals(columns)):
        present = pd.DataFrame(True, index=x.index, columns=x.columns).reindex(
            index=axis, columns=columns, fill_value=False).to_numpy()
        x = x.reindex(index=axis, columns=columns)
    dtypes = [x.dtype] if isinstance(x, pd.Series) else list(x.dtypes)
    if all(isinstance(t, np.dtype) for t in dtypes):
        return x.to_numpy(), present
    return x.to_numpy(dtype=np.float64, na_value=np.nan), present


def with_pandas(inputs, compute, names):
    """compute(arrays, present) -> outputs, for inputs of which some are pandas objects; None when none is.

    present: where every pandas input has a label (None when all have every label): elsewhere the outputs
    are NaN, as in pandas' arithmetic, and nothing is computed there. Each output comes back as a Series (or
    a DataFrame, for frames) on the aligned axes, the Series named after `names`, when it has their shape;
    otherwise (an array beside them that broadcasts wider) as the arrays numpy gives, as pandas does."""
    pd, framed = _pandas_objects(inputs)
    if not framed:
        return None
    template = _template(pd, framed)
    arrays, present = [], np.ones(template.shape, dtype=bool)
    for x in inputs:
        if isinstance(x, pd.Series):
            x, has = _aligned(pd, x, template.index if template.ndim == 1 else template.columns)
        elif isinstance(x, pd.DataFrame):
            x, has = _aligned(pd, x, template.index, template.columns)
        else:
            has = None
        arrays.append(x)
        if has is not None:
            present &= has  # a Series beside a frame broadcasts along its rows, as its values do
    outputs = compute(arrays, None if present.all() else present)
    if any(np.shape(o) != template.shape for o in outputs):
        return outputs
    if template.ndim == 1:
        return tuple(pd.Series(o, index=template.index, name=name, copy=False) for o, name in zip(outputs, names))
    return tuple(pd.DataFrame(o, index=template.index, columns=template.columns, copy=False) for o in outputs)


def with_xarray(inputs, compute, names):
    """compute(arrays) -> outputs for inputs of which some are xarray objects; None when none is.

    Through xarray.apply_ufunc, which aligns them by their coordinates with the join xarray's arithmetic
    uses (the option arithmetic_join, 'inner' unless set) and broadcasts them by dimension name; the blocks
    of a Dask-backed array reach compute() as Dask arrays (computed lazily, block by block). Each output
    is named after `names`; the inputs' attributes (their units) are not the outputs', and are dropped."""
    xr = sys.modules.get("xarray")
    if xr is None or not any(isinstance(x, (xr.DataArray, xr.Dataset, xr.Variable)) for x in inputs):
        return None
    outputs = xr.apply_ufunc(lambda *arrays: tuple(compute(list(arrays), None)), *inputs,
                             output_core_dims=[[]] * len(names), dask="allowed",
                             join=xr.get_options()["arithmetic_join"], keep_attrs="drop")
    return tuple(o.rename(name) if isinstance(o, xr.DataArray) else o for o, name in zip(outputs, names))


def dask_blocks_in_line(inputs):
    """The inputs with every array of more than zero dimensions cut into common Dask blocks, dimensions
    aligned from the right as in broadcasting: apply_gufunc wants the arrays' blocks to line up, and a numpy
    array beside a Dask one (as xarray passes them) is one block."""
    import dask.array as da

    ndim = max(np.ndim(x) for x in inputs)
    placed = [i for i, x in enumerate(inputs) if np.ndim(x) > 0]
    if len(placed) <= 1:
        return inputs
    pairs = []
    for i in placed:
        pairs += [da.asarray(inputs[i]), tuple(range(ndim - np.ndim(inputs[i]), ndim))]
    inputs = list(inputs)
    for i, array in zip(placed, da.core.unify_chunks(*pairs)[1]):
        inputs[i] = array
    return inputs
