"""quorix.fit's 95 % intervals ("interval95") as quorix-cli gives them, on a record along the model's own
response with noise on F and u. (Their coverage over hundreds of records integrated independently is
measured in C++: tests/measured/fit_intervals_test.cpp and bench/bench_coverage.cpp.)"""
import numpy as np
import pytest

import quorix
from conftest import bits

TRUE = dict(n=2.5, gamma=0.75, alpha=0.08, fy=3.1, uy=0.15)


@pytest.fixture(scope="module")
def record(tmp_path_factory):
    """Two triangles at each of 0.5, 1 and 2 Uy from rest, 100 samples a quarter, 1 % noise on F and 0.1 % on u
    (of their largest values), and the same as a file for quorix-cli."""
    u = [0.0]
    for a in (0.5, 1.0, 2.0):
        quarter = np.linspace(0.0, a * TRUE["uy"], 101)[1:]
        u += [*quarter, *quarter[::-1][1:], 0.0, *-quarter, *-quarter[::-1][1:], 0.0] * 2
    u = np.array(u)
    F = quorix.response(u, **TRUE)["F"]
    rng = np.random.default_rng(20261210)
    F = F + 0.01 * np.abs(F).max() * rng.standard_normal(u.size)
    u = u + 0.001 * np.abs(u).max() * rng.standard_normal(u.size)
    path = tmp_path_factory.mktemp("record") / "record.csv"
    np.savetxt(path, np.c_[u, F], fmt="%.17g", delimiter=";", header="u;F", comments="")
    return u, F, path


@pytest.mark.parametrize("kwargs, options", [({}, []), ({"fix": {"gamma": 0.75}}, ["--fix", "gamma=0.75"]),
                                             ({"fit_z0": True}, ["--fit-z0"])])
def test_intervals_are_those_of_the_command_line_and_hold_the_value(cli, record, kwargs, options):
    u, F, path = record
    got, expected = quorix.fit(u, F, **kwargs), cli.json("fit", path, *options)
    assert set(got["interval95"]) == set(got["parameters"]) - {"beta"} == set(expected["interval95"])
    for name, (low, high) in got["interval95"].items():
        value = got["parameters"][name]
        assert bits([low, high]) == bits(expected["interval95"][name]), name
        if got["fixed"][name]:
            assert low == high == value, name
        else:
            # Beside the standard error, not in its place: both are there, the value inside.
            assert low < value < high and got["errors"][name] > 0, name
            if name != "z0":
                assert low <= TRUE[name] <= high, (name, low, high)


def test_the_steady_fit_has_no_intervals(cli, tmp_path):
    # Steady loops laid end to end, the steady fit's own case: it gives standard errors alone.
    loops = [quorix.loop(**TRUE, u=a, points=200)[:2] for a in (0.5, 1.0, 2.0) for _ in range(2)]
    u, F = (np.concatenate(column) for column in zip(*loops))
    path = tmp_path / "steady.csv"
    np.savetxt(path, np.c_[u, F], fmt="%.17g", delimiter=";", header="u;F", comments="")
    got, expected = quorix.fit(u, F, steady=True), cli.json("fit", "--steady", path)
    assert "interval95" not in got and "interval95" not in expected
    assert set(got["errors"]) == set(expected["errors"]) == {"n", "gamma", "alpha", "fy", "uy"}
