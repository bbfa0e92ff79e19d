"""quorix.cycles, fit, response and read_record: what quorix-cli gives, to the bit, with positions counted from
0 (the command line's from 1) and keywords named where the command line names its options, and the refusals'
texts. (Their values, against closed forms and records of an independent time integration, are the C++ tests':
tests/measured and tests/support/synthetic.h.)"""
import re
import warnings

import numpy as np
import pytest

import quorix
from conftest import bits, same_as_cli, write_record

TRUE = dict(n=2.0, gamma=0.7, alpha=0.1, fy=50.0, uy=2.0)


@pytest.fixture(scope="module")
def record(tmp_path_factory):
    """Three steady loops at each of 1.4, 3 and 8 (units of u), with noise of 0.02 (0.04 % of Fy) on F, and the
    same as a file."""
    loops = [quorix.loop(**TRUE, u=a / TRUE["uy"], points=300)[:2] for a in (1.4, 3.0, 8.0) for _ in range(3)]
    u, F = (np.concatenate(column) for column in zip(*loops))
    F = F + 0.02 * np.random.default_rng(20261210).standard_normal(F.size)
    return u, F, write_record(tmp_path_factory.mktemp("record") / "record.csv", u, F)


def test_cycles_are_those_of_the_command_line(cli, record, tmp_path):
    u, F, path = record
    same_as_cli(quorix.cycles(u, F), cli.json("cycles", path),
                skip={"schema", "sample_count", "cycle", "displacement", "force", "decimal_comma", "table", "notes"})
    # The model's loops with the force's sign reversed: counter-clockwise, with a negative Keff and no
    # bilinear loop; the warnings name the cycles from 0 as the results do.
    loop_u, loop_F, _ = quorix.loop(u=3.0, points=60)
    u, F = np.tile(loop_u, 3), -np.tile(loop_F, 3)
    got, expected = quorix.cycles(u, F), cli.json("cycles", write_record(tmp_path / "falling.csv", u, F))
    assert got["warnings"][1].startswith("2 cycles (0, 1) have a negative Keff")
    assert expected["warnings"][1].startswith("2 cycles (1, 2) have a negative Keff")
    same_as_cli(got, expected, skip={"schema", "sample_count", "cycle", "displacement", "force", "decimal_comma",
                                     "table", "notes", "warnings"})
    assert all("Qd is negative" in reason for reason in got["bilinear_refusal"])


@pytest.mark.parametrize("kwargs, options", [
    ({"steady": True}, ["--steady"]),
    ({"steady": True, "cycles": [3, 4], "fix": {"n": 2.5, "beta": 0.3}},
     ["--steady", "--cycles", "4:5", "--fix", "n=2.5", "--fix", "beta=0.3"]),
    ({"fit_z0": True}, ["--fit-z0"]),
    ({"fix": {"gamma": 0.7}}, ["--fix", "gamma=0.7"])])
def test_fit_is_the_fit_of_the_command_line(cli, record, kwargs, options):
    u, F, path = record
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        got = quorix.fit(u, F, **kwargs)
    expected = cli.json("fit", *options, path)
    # One vocabulary: every key of the command line's JSON names the same thing in Python's result (apart from
    # its text report, which the page shows as the command line prints it), intervals and materials among them.
    same_as_cli(got, expected, skip={"schema", "point_count", "report", "summary", "warnings"})
    assert len(got["points"]) == expected["point_count"] and ("interval95" in got) == (not got["fit"] == "steady")
    # Each warning once, as a UserWarning too.
    assert [str(w.message) for w in caught] == [f"fit: {w}" for w in got["warnings"]]


def test_fit_names_what_it_fitted_and_warns_from_0(record):
    u, F, _ = record
    got = quorix.fit(u, F, steady=True, cycles=[0, 1])  # the two at the smallest amplitude; 1, 4, 7 are steady
    assert got["summary"] == "fitted: cycles 0-1, amplitude 1.4; left out: steady cycles 4, 7; wider cycles 2-7"
    assert len(got["warnings"]) == 1 and got["warnings"][0].endswith("the wider cycles 2-7 were left out")


@pytest.mark.parametrize("case", [{}, {"n": 3.5, "gamma": 0.4, "alpha": 0.05, "fy": 2.0, "uy": 0.08, "z0": -0.3}])
def test_response_is_that_of_the_command_line(cli, tmp_path, case):
    history = [0.0, 0.05, 0.2, 0.31, 0.1, -0.25, -0.25, -0.1, -0.3, 0.4, 0.12]
    path = tmp_path / "history.txt"
    path.write_text("\n".join(repr(u) for u in history) + "\n")
    expected = cli.json("response", path, *[o for name, v in case.items() for o in (f"--{name}", repr(float(v)))])
    got = quorix.response(np.array(history), **case)
    assert (bits(got["z"]), bits(got["F"])) == (bits(expected["z"]), bits(expected["F"]))
    same_as_cli(got["stretches"], {k: [int(i) for i in v] if k in ("first", "last") else v
                                   for k, v in expected["stretches"].items()})


def test_a_laboratory_file_reads_as_the_arrays_it_holds(cli, record, tmp_path):
    """UTF-16, a units line, decimal commas, the force before the displacement: read by every function."""
    u, F, _ = record
    path = tmp_path / "lab.csv"
    rows = "".join(f"{i};{f!r};{x!r}\n".replace(".", ",") for i, (x, f) in enumerate(zip(u, F)))
    path.write_bytes(("Time;Load;Stroke\ns;kN;mm\n" + rows).encode("utf-16"))
    r = quorix.read_record(path)
    assert (bits(r["u"]), bits(r["F"]), r["decimal_comma"]) == (bits(u), bits(F), True)
    assert (r["displacement"], r["force"]) == ({"column": 2, "name": "Stroke", "unit": "mm"},
                                               {"column": 1, "name": "Load", "unit": "kN"})
    assert cli.json("cycles", path)["displacement"] == {"column": 3, "name": "Stroke", "unit": "mm"}
    assert bits(quorix.cycles(str(path), u_column=2, F_column="load")["EDC"]) == bits(quorix.cycles(u, F)["EDC"])
    assert bits(quorix.response(path, **TRUE)["F"]) == bits(quorix.response(u, **TRUE)["F"])
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        from_path = quorix.fit(path, steady=True, cycles=[0, 1], u_column="Stroke")
        from_arrays = quorix.fit(u, F, steady=True, cycles=[0, 1])
    assert bits(list(from_path["parameters"].values())) == bits(list(from_arrays["parameters"].values()))
    with pytest.raises(TypeError, match="give no F"):
        quorix.fit(path, F)


@pytest.mark.parametrize("call, error, message", [
    (lambda u, F: quorix.fit(u, 4.0 * u), ValueError, "almost no area"),  # a purely elastic record
    (lambda u, F: quorix.fit(F, u), ValueError, "cannot fit: all .* cycles run counter-clockwise"),
    (lambda u, F: quorix.fit(u, F[:-1]), ValueError, "differ in number"),
    (lambda u, F: quorix.fit(u, F, fix={"k": 1.0}), ValueError, 'unknown parameter "k"'),
    (lambda u, F: quorix.fit(u, F, fix={"gamma": 0.5, "beta": 0.4}), ValueError, r"given twice, as 0\.5 and as 0\.6"),
    (lambda u, F: quorix.fit(u, F, cycles=[99]), ValueError, "cycle 99 does not exist: the record has cycles 0 to 7"),
    (lambda u, F: quorix.fit(u, F, cycles=[1.5]), TypeError, "cycles must be integers, not 1.5"),
    (lambda u, F: quorix.fit(u, F, cycles=3), TypeError, "cycles must be a sequence"),
    (lambda u, F: quorix.fit(u, F, fix={"n": "2"}), TypeError, "fix: the value of n must be a number, not '2'"),
    (lambda u, F: quorix.fit(u, F, start={"n": True}), TypeError, "start: the value of n must be a number"),
    (lambda u, F: quorix.fit(u, F, fix=[("n", 2)]), TypeError, "fix must be a dict"),
    (lambda u, F: quorix.fit(u, F, start={"alpha": 1.0}), ValueError, r"start: alpha=1: alpha must lie in \[0, 1\)"),
    (lambda u, F: quorix.fit(u, F, samples=(0, 10**6)), ValueError, "within the record's samples 0 to 5381"),
    (lambda u, F: quorix.fit(u, F, steady=True, fit_z0=True), ValueError, "not to steady=True"),
    (lambda u, F: quorix.fit(u, F, dead_band=0.9), ValueError, "dead_band must lie in"),
    (lambda u, F: quorix.cycles(np.zeros((3, 3)), np.zeros(9)), ValueError, "one-dimensional"),
    (lambda u, F: quorix.cycles(u, F, dead_band=float("nan")), ValueError, "dead_band"),
    (lambda u, F: quorix.cycles(u, F, dead_band=1.0), ValueError, "dead_band")])
def test_records_and_arguments_without_an_answer(record, call, error, message):
    with pytest.raises(error, match=message):
        call(*record[:2])


# Three columns, no header; the first (a time) never turns back, the others do.
PLAIN = "".join(f"{t};{u};{2 * u}\n" for t, u in enumerate([0.0, 1.0, 0.0, -1.0, 0.0, 1.0, 0.0, -1.0, 0.0]))


# The record reader's column messages, each through another function: columns counted from 0, as u_column,
# F_column and z_column count them, and the keywords named. quorix-cli's message must be the same sentence with
# every column number one higher and the options in place of the keywords: the two differ in nothing else.
@pytest.mark.parametrize("entry, text, keywords, message", [
    ("read_record", PLAIN, dict(u_column=3), "the displacement column 3: the record has columns 0 to 2"),
    ("cycles", PLAIN, dict(F_column="7"), "the force column 7: the record has columns 0 to 2"),
    ("fit", PLAIN, dict(u_column=1, F_column=1), "the displacement and the force are both column 1"),
    ("response", "x;1.5;y\nx;2.5;y\n", {}, "line 1: only column 1 holds a number; expected displacement and force"),
    ("verify", "Force A;Force B;u\n" + "".join(f"{f};{f};{f}\n" for f in [0.0, 1.0, 0.0, -1.0, 0.0]), {},
     'columns 0 ("Force A") and 1 ("Force B") both name the force: choose one (F_column=)'),
    ("fit", "".join(f"{t};{f}\n" for t, f in enumerate([0.0, 1.0, 0.0, -1.0, 0.0, 1.0, 0.0, -1.0])), {},
     "column 0, read as the displacement by its place, never turns back while column 1 does: "
     "is it a time column? Name the displacement's column (u_column=) and the force's (F_column=)"),
    ("verify", "u;F;z\n" + PLAIN, dict(z_column="zz"), 'the z column (z_column=) "zz": no column has that name'),
    ("verify", "u;F;z\n" + PLAIN, dict(z_column=5), "the z column (z_column=) 5: the record has columns 0 to 2")])
def test_column_messages_count_from_0_and_the_command_lines_from_1(cli, tmp_path, entry, text, keywords, message):
    path = tmp_path / "record.csv"
    path.write_text(text)
    with pytest.raises(ValueError) as caught:
        getattr(quorix, entry)(str(path), **keywords)
    assert message in str(caught.value) and "-column" not in str(caught.value)
    options = [o for name, value in keywords.items()
               for o in (f"--{name.replace('_', '-')}", int(value) + 1 if str(value).isdigit() else value)]
    shifted = re.sub(r"(columns?) (\d+)", lambda m: f"{m.group(1)} {int(m.group(2)) + 1}", message)
    shifted = re.sub(r"columns (\d+) to (\d+)", lambda m: f"columns {m.group(1)} to {int(m.group(2)) + 1}", shifted)
    shifted = re.sub(r"\) and (\d+) \(", lambda m: f") and {int(m.group(1)) + 1} (", shifted)
    shifted = re.sub(r"(\w)_column=", r"--\1-column", shifted)
    if "z_column" not in keywords:  # (verify's --z-column messages are the command line's own)
        result = cli.run(entry if entry in ("cycles", "fit", "verify") else "cycles", path, *options, check=False)
        assert result.returncode != 0 and shifted in result.stderr, (shifted, result.stderr)


def test_a_column_chosen_from_0_is_the_column_read(tmp_path):
    path = tmp_path / "record.csv"
    path.write_text(PLAIN)
    record = quorix.read_record(str(path), u_column=1, F_column="2")
    np.testing.assert_array_equal(record["F"], 2 * record["u"])
    assert (record["displacement"]["column"], record["force"]["column"]) == (1, 2)
