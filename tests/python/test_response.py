"""quorix.response: the response along a displacement history, to the last bit
as quorix-cli response gives it, and its refusals."""
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


# The engine's refusals pass through as ValueError (each message is held to its text in tests/response), and
# the module's own for the shape of u.
@pytest.mark.parametrize("u, case, message", [
    ([0.0], {}, "at least two samples"),
    ([0.0, 1.0], {"z0": 1.5}, "z0 must lie between -1 and 1"),
    ([[0.0, 1.0]], {}, "u must be a one-dimensional sequence"),
])
def test_refusals_name_what_is_wrong(u, case, message):
    with pytest.raises(ValueError, match=message):
        quorix.response(u, **case)


def test_fit_along_the_record_is_that_of_the_command_line_and_inverts_the_response(cli, tmp_path):
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
    for name, value in true.items():
        assert bits(got["parameters"][name]) == bits(expected["parameters"][name]), name
        assert got["parameters"][name] == pytest.approx(value, rel=1e-9), name
    assert got["points"].tolist() == list(range(len(u)))


def _falling_record():
    """Three loops of the model with the force's sign reversed: two full cycles, each counter-clockwise
    with a negative Keff."""
    u, F, _ = quorix.loop(u=3.0, points=60)
    return np.tile(u, 3), -np.tile(F, 3)


# Positions count from 0 in Python's messages (the command line's count from 1: tests/response, tests/measured).
@pytest.mark.parametrize("call, message", [
    (lambda: quorix.response([0.0, 0.5, 1.0, np.nan, 0.0]), r"^u at sample 3 is not a finite number: nan$"),
    (lambda: quorix.cycles([0.0, 1.0, np.inf, 0.0], [0.0, 1.0, 2.0, 0.0]), r"^point 2 is not finite$"),
    (lambda: quorix.fit([0.0, np.nan, 0.0], [0.0, 1.0, 0.0]), r"^point 1 is not finite$"),
])
def test_messages_count_positions_from_0(call, message):
    with pytest.raises(ValueError, match=message):
        call()


def test_warnings_name_cycles_from_0_as_the_results_do(cli, tmp_path):
    u, F = _falling_record()
    got = quorix.cycles(u, F)
    assert len(got["Keff"]) == 2 and (got["Keff"] < 0).all()
    assert any(w.startswith("2 cycles (0, 1) have a negative Keff") for w in got["warnings"]), got["warnings"]
    path = tmp_path / "falling.csv"
    np.savetxt(path, np.c_[u, F], fmt="%.17g", delimiter=";", header="u;F", comments="")
    printed = cli.run("cycles", path).stderr
    assert "2 cycles (1, 2) have a negative Keff" in printed, printed  # the command line's, from 1
