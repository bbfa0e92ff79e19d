"""quorix.response and the record fit along a history, to the last bit as quorix-cli gives them, and cycles'
warnings counted from 0 (the refusals: test_quorix.py)."""
import numpy as np
import pytest

import quorix
from conftest import bits

HISTORY = [0.0, 0.05, 0.2, 0.31, 0.1, -0.25, -0.25, -0.1, -0.3, 0.4, 0.12]


@pytest.mark.parametrize("case", [{}, {"n": 3.5, "gamma": 0.4, "alpha": 0.05, "fy": 2.0, "uy": 0.08, "z0": -0.3}])
def test_response_is_that_of_the_command_line(cli, tmp_path, case):
    path = tmp_path / "history.txt"
    path.write_text("\n".join(repr(u) for u in HISTORY) + "\n")
    options = [o for name, v in case.items() for o in (f"--{name}", repr(float(v)))]
    expected = cli.json("response", path, *options)
    got = quorix.response(np.array(HISTORY), **case)
    assert bits(got["z"]) == bits(expected["z"])
    assert bits(got["F"]) == bits(expected["F"])
    assert got["stretches"]["first"].tolist() == [int(i) - 1 for i in expected["stretches"]["first"]]
    assert got["stretches"]["last"].tolist() == [int(i) - 1 for i in expected["stretches"]["last"]]
    assert bits(got["stretches"]["work"]) == bits(expected["stretches"]["work"])


def test_fit_along_the_record_is_that_of_the_command_line(cli, tmp_path):
    true = {"n": 2.5, "gamma": 0.75, "alpha": 0.08, "fy": 3.1, "uy": 0.15}
    # Two cycles 0 -> +a -> -a -> 0 at each of 0.3, 0.6, 1 and 1.5 Uy, from rest.
    quarter = np.linspace(0.0, 1.0, 101)[1:]
    cycle = np.concatenate([quarter, 1.0 - quarter, -quarter, quarter - 1.0])
    u = np.concatenate([[0.0]] + [a * true["uy"] * cycle for a in (0.3, 0.6, 1.0, 1.5) for _ in range(2)])
    F = quorix.response(u, **true)["F"]
    path = tmp_path / "record.csv"
    np.savetxt(path, np.c_[u, F], fmt="%.17g", delimiter=";", header="u;F", comments="")
    got, expected = quorix.fit(u, F), cli.json("fit", path)
    assert (got["fit"], expected["fit"]) == ("record", "record")
    for name in true:
        assert bits(got["parameters"][name]) == bits(expected["parameters"][name]), name
    assert got["points"].tolist() == list(range(len(u)))


def _falling_record():
    """Three loops of the model with the force's sign reversed: two full cycles, each counter-clockwise
    with a negative Keff."""
    u, F, _ = quorix.loop(u=3.0, points=60)
    return np.tile(u, 3), -np.tile(F, 3)


def test_warnings_name_cycles_from_0_as_the_results_do(cli, tmp_path):
    u, F = _falling_record()
    got = quorix.cycles(u, F)
    assert len(got["Keff"]) == 2 and (got["Keff"] < 0).all()
    assert any(w.startswith("2 cycles (0, 1) have a negative Keff") for w in got["warnings"]), got["warnings"]
    path = tmp_path / "falling.csv"
    np.savetxt(path, np.c_[u, F], fmt="%.17g", delimiter=";", header="u;F", comments="")
    printed = cli.run("cycles", path).stderr
    assert "2 cycles (1, 2) have a negative Keff" in printed, printed  # the command line's, from 1
