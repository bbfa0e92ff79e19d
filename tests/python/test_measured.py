"""quorix.cycles and quorix.fit as quorix-cli gives them, on a record of the model's own steady loops.
(Closed forms and records from an independent time integration are the C++ tests' own, tests/measured and tests/support/synthetic.h.)"""
import warnings

import numpy as np
import pytest

import quorix
from conftest import bits

TRUE = dict(n=2.0, gamma=0.7, alpha=0.1, fy=50.0, uy=2.0)


@pytest.fixture(scope="module")
def record(tmp_path_factory):
    """Three steady loops at each of three amplitudes, and the same as a file for quorix-cli."""
    loops = [quorix.loop(**TRUE, u=a / TRUE["uy"], points=300)[:2] for a in (1.4, 3.0, 8.0) for _ in range(3)]
    u, F = (np.concatenate(column) for column in zip(*loops))
    path = tmp_path_factory.mktemp("record") / "record.csv"
    np.savetxt(path, np.c_[u, F], fmt="%.17g", delimiter=";", header="u;F", comments="")
    return u, F, path


def test_cycles_are_those_of_the_command_line(cli, record):
    u, F, path = record
    got, expected = quorix.cycles(u, F), cli.json("cycles", path)
    assert (got["first"] + 1).tolist() == expected["first"]  # counted from 1 on the command line
    assert (got["steady_cycles"] + 1).tolist() == expected["steady_cycles"] == (np.flatnonzero(got["steady"]) + 1).tolist()
    for name in ["uPlus", "FMinus", "EDC", "Keff", "XiEff"]:
        assert bits(got[name]) == bits(expected[name]), name
    assert bits(got["steady_means"]["EDC"]) == bits(expected["steady_means"]["EDC"])
    assert got["counter_clockwise"] == expected["counter_clockwise"] == 0


@pytest.mark.parametrize("kwargs, options", [({}, []), ({"cycles": [3, 4], "fix": {"n": 2.5, "beta": 0.3}},
                                                       ["--cycles", "4:5", "--fix", "n=2.5", "--fix", "beta=0.3"])])
def test_fit_is_the_fit_of_the_command_line(cli, record, kwargs, options):
    # The record's loops are steady ones laid end to end: the steady fit's case.
    u, F, path = record
    got, expected = quorix.fit(u, F, steady=True, **kwargs), cli.json("fit", "--steady", path, *options)
    for name in [*TRUE, "beta"]:  # one vocabulary: the same keys in both
        assert bits(got["parameters"][name]) == bits(expected["parameters"][name]), name
        assert name == "beta" or got["fixed"][name] == expected["fixed"][name]
    assert (got["cycles"] + 1).tolist() == expected["cycles"]  # counted from 1 on the command line
    assert (bits(got["rms"]), got["model_EDC"].tolist()) == (bits(expected["rms"]), expected["model_EDC"])
    assert len(got["points"]) == expected["point_count"]
    # One vocabulary: every key of the command line's JSON names the same thing in Python's result
    # (apart from its text report, which the page shows as the command line prints it).
    assert set(expected) - {"schema", "point_count", "report"} <= set(got), set(expected) - set(got)
    if not kwargs:  # the record is the model's: its forces and loops come back
        np.testing.assert_allclose(got["model_F"], F[got["points"]], atol=1e-9 * 85.0)
        loop_u, loop_F = got["loops"][-1]
        assert (loop_u.max(), loop_F.max()) == (pytest.approx(8.0), pytest.approx(F.max(), rel=1e-9))


def test_fit_and_response_read_a_path_as_cycles_does_and_fit_warns_of_what_it_lists(record):
    u, F, path = record
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        from_arrays = quorix.fit(u, F, steady=True, cycles=[0, 1])  # the smallest amplitude alone: warned of
    assert from_arrays["warnings"] and [str(w.message) for w in caught] == [f"fit: {w}" for w in from_arrays["warnings"]]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        from_path = quorix.fit(path, steady=True, cycles=[0, 1], u_column="u")
    assert [bits(from_path["parameters"][k]) for k in TRUE] == [bits(from_arrays["parameters"][k]) for k in TRUE]
    assert bits(quorix.response(path, **TRUE)["F"]) == bits(quorix.response(u, **TRUE)["F"])
    with pytest.raises(TypeError, match="give no F"):
        quorix.fit(path, F)


@pytest.mark.parametrize("call, message", [
        (lambda u, F: quorix.fit(u, 4.0 * u), "almost no area"),  # a purely elastic record
        (lambda u, F: quorix.fit(u, F[:-1]), "differ in number"),
        (lambda u, F: quorix.fit(u, F, fix={"k": 1.0}), 'unknown parameter "k"'),
        (lambda u, F: quorix.fit(u, F, fix={"gamma": 0.5, "beta": 0.4}), r"gamma is given twice, as 0\.5 and as 0\.6"),
        (lambda u, F: quorix.fit(u, F, cycles=[99]), "cycle 99 does not exist: the record has cycles 0 to 7"),
        (lambda u, F: quorix.cycles(np.zeros((3, 3)), np.zeros(9)), "one-dimensional"),
        *[(lambda u, F, band=band: quorix.cycles(u, F, dead_band=band), "dead_band") for band in (float("nan"), 1.0)]])
def test_records_and_arguments_without_an_answer(record, call, message):
    with pytest.raises(ValueError, match=message):
        call(*record[:2])


@pytest.mark.parametrize("kwargs, error, message", [
        ({"cycles": [1.5]}, TypeError, "cycles must be integers, not 1.5"),
        ({"cycles": 3}, TypeError, "cycles must be a sequence"),
        ({"fix": {"n": "2"}}, TypeError, "fix: the value of n must be a number, not '2'"),
        ({"start": {"n": True}}, TypeError, "start: the value of n must be a number"),
        ({"fix": [("n", 2)]}, TypeError, "fix must be a dict"),
        ({"start": {"alpha": 1.0}}, ValueError, r"start: alpha=1: alpha must lie in \[0, 1\)"),
        ({"samples": (0, 10**6)}, ValueError, "within the record's samples 0 to 5381"),
        ({"steady": True, "fit_z0": True}, ValueError, "not to steady=True"),
        ({"dead_band": 0.9}, ValueError, "dead_band must lie in")])
def test_fit_arguments_are_checked_as_the_command_line_checks_them(record, kwargs, error, message):
    with pytest.raises(error, match=message):
        quorix.fit(*record[:2], **kwargs)


def test_fit_names_what_it_fitted_and_warns_from_0(record):
    u, F, _ = record
    got = quorix.fit(u, F, steady=True, cycles=[0, 1])  # the two at the smallest amplitude; 1, 4, 7 are steady
    assert got["summary"] == "fitted: cycles 0-1, amplitude 1.4; left out: steady cycles 4, 7; wider cycles 2-7"
    assert (got["left_out_steady"].tolist(), got["left_out_wider"].tolist()) == ([4, 7], list(range(2, 8)))
    assert len(got["warnings"]) == 1 and got["warnings"][0].endswith("the wider cycles 2-7 were left out")
    assert quorix.fit(u, F, steady=True)["warnings"] == []


def test_a_laboratory_file_reads_as_the_arrays_it_holds(cli, record, tmp_path):
    """UTF-16, a units line, decimal commas, the force before the displacement."""
    u, F, _ = record
    path = tmp_path / "lab.csv"
    rows = "".join(f"{i};{f!r};{x!r}\n".replace(".", ",") for i, (x, f) in enumerate(zip(u, F)))
    path.write_bytes(("Time;Load;Stroke\ns;kN;mm\n" + rows).encode("utf-16"))
    r = quorix.read_record(path)
    assert (bits(r["u"]), bits(r["F"]), r["decimal_comma"]) == (bits(u), bits(F), True)
    assert (r["displacement"], r["force"]) == ({"column": 2, "name": "Stroke", "unit": "mm"},
                                               {"column": 1, "name": "Load", "unit": "kN"})
    got, expected = quorix.cycles(str(path), u_column=2, F_column="load"), quorix.cycles(u, F)
    assert (bits(got["EDC"]), got["counter_clockwise"]) == (bits(expected["EDC"]), 0)
    swapped = quorix.cycles(path, u_column="Load", F_column=2)
    assert swapped["counter_clockwise"] == len(expected["EDC"])
    assert [w.split(":")[0] for w in swapped["warnings"]] == [
        f"all {len(expected['EDC'])} cycles run counter-clockwise (negative EDC)"]
    with pytest.raises(ValueError, match="cannot fit: all .* cycles run counter-clockwise"):
        quorix.fit(F, u)
    assert cli.json("cycles", path)["displacement"] == {"column": 3, "name": "Stroke", "unit": "mm"}
