"""quorix.fit's other fits as good and its searches' count, as quorix-cli fit --json gives them, for both fits."""
import warnings

import numpy as np
import pytest

import quorix

TRUE = dict(n=2.0, gamma=0.7, alpha=0.1, fy=50.0, uy=2.0)


@pytest.fixture(scope="module")
def record(tmp_path_factory):
    """Three steady loops at each of 1.4, 3 and 8 (units of u), with noise of 0.02 (0.04 % of Fy) on F, and the same as a file."""
    loops = [quorix.loop(**TRUE, u=a / TRUE["uy"], points=300)[:2] for a in (1.4, 3.0, 8.0) for _ in range(3)]
    u, F = (np.concatenate(column) for column in zip(*loops))
    F = F + 0.02 * np.random.default_rng(20261210).standard_normal(F.size)
    path = tmp_path_factory.mktemp("record") / "record.csv"
    np.savetxt(path, np.c_[u, F], fmt="%.17g", delimiter=";", header="u;F", comments="")
    return u, F, path


@pytest.mark.parametrize("kwargs, options", [({"steady": True}, ["--steady"]), ({"fit_z0": True}, ["--fit-z0"])])
def test_other_fits_as_the_command_line_gives_them(cli, record, kwargs, options):
    u, F, path = record
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        got = quorix.fit(u, F, **kwargs)
    expected = cli.json("fit", *options, path)
    # The scan's distinct starting points: more than one search ran, the same count by both.
    assert got["starts"] == expected["starts"] > 1
    assert len(got["other_fits"]) == len(expected["other_fits"])
    for mine, theirs in zip(got["other_fits"], expected["other_fits"]):
        assert mine["differs"] == theirs["differs"] and mine["differs"]
        assert mine["rms"] <= 1.01 * got["rms"]
    # Each warning once, as a UserWarning too; the other fits' one only with other fits.
    texts = [str(w.message) for w in caught]
    assert texts == [f"fit: {w}" for w in got["warnings"]]
    assert sum("other fits as good" in w for w in got["warnings"]) == (1 if got["other_fits"] else 0)
