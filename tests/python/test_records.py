"""quorix.cycles, fit, response, read_record and verify: what quorix-cli gives, to the bit, with positions
counted from 0 (the command line's from 1) and keywords named where the command line names its options, and
the refusals' texts. (Their values, against closed forms and records of an independent time integration, are
the C++ tests': tests/measured, tests/verify and tests/support/synthetic.h.)"""
import os
import re
import sys
import warnings

import numpy as np
import pytest

import quorix
from conftest import bits, same_as_cli, write_record

# The maker of a record of OpenSees's documented BoucWen update lives beside the C++ tests; a run of the
# installed package copies only these tests and names the source tree in QUORIX_SOURCE.
sys.path.insert(0, os.path.join(os.environ.get("QUORIX_SOURCE") or os.path.join(os.path.dirname(__file__), "..", ".."),
                                "tests", "verify"))
import make_program_record as program  # noqa: E402

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
    skip = {"schema", "sample_count", "cycle", "displacement", "force", "decimal_comma", "table", "notes"}
    same_as_cli(quorix.cycles(u, F), cli.json("cycles", path), skip)
    # The model's loops with the force's sign reversed: counter-clockwise, with a negative Keff and no
    # bilinear loop; the warnings name the cycles from 0 as the results do.
    loop_u, loop_F, _ = quorix.loop(u=3.0, points=60)
    u, F = np.tile(loop_u, 3), -np.tile(loop_F, 3)
    got, expected = quorix.cycles(u, F), cli.json("cycles", write_record(tmp_path / "falling.csv", u, F))
    assert got["warnings"][1].startswith("2 cycles (0, 1) have a negative Keff")
    assert expected["warnings"][1].startswith("2 cycles (1, 2) have a negative Keff")
    same_as_cli(got, expected, skip | {"warnings"})
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
    assert len(got["points"]) == expected["point_count"] and ("interval95" in got) == (got["fit"] != "steady")
    # Each warning once, as a UserWarning too; the summary and the warnings count from 0, as the results do.
    assert [str(w.message) for w in caught] == [f"fit: {w}" for w in got["warnings"]]
    if "cycles" in kwargs:  # two of the three at 3; the steady ones are 1, 4 and 7
        assert got["summary"] == "fitted: cycles 3-4, amplitude 3; left out: steady cycles 1, 7; wider cycles 5-7"
        assert len(got["warnings"]) == 1 and got["warnings"][0].endswith("the wider cycles 5-7 were left out")


@pytest.mark.parametrize("case", [{}, {"n": 3.5, "gamma": 0.4, "alpha": 0.05, "fy": 2.0, "uy": 0.08, "z0": -0.3}])
def test_response_is_that_of_the_command_line(cli, tmp_path, case):
    history = [0.0, 0.05, 0.2, 0.31, 0.1, -0.25, -0.25, -0.1, -0.3, 0.4, 0.12]
    path = tmp_path / "history.txt"
    path.write_text("\n".join(repr(u) for u in history) + "\n")
    expected = cli.json("response", path, *[o for name, v in case.items() for o in (f"--{name}", repr(float(v)))])
    got = quorix.response(np.array(history), **case)
    assert (bits(got["z"]), bits(got["F"])) == (bits(expected["z"]), bits(expected["F"]))
    same_as_cli(got["stretches"], expected["stretches"])


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
    # A history of u alone, as quorix-cli response reads it.
    alone = tmp_path / "stroke.txt"
    alone.write_text("".join(f"{x!r}\n" for x in u))
    assert bits(quorix.response(alone, **TRUE)["F"]) == bits(quorix.response(u, **TRUE)["F"])
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # the narrow fit's: tested above
        fits = [quorix.fit(*source, steady=True, cycles=[0, 1], **kw)["parameters"].values()
                for source, kw in [((path,), {"u_column": "Stroke"}), ((u, F), {})]]
    assert bits(list(fits[0])) == bits(list(fits[1]))
    with pytest.raises(TypeError, match="give no F"):
        quorix.fit(path, F)


# The engine's refusals pass through (each held to its text in tests/measured), with the module's own.
@pytest.mark.parametrize("call, error, message", [
    (lambda u, F: quorix.fit(F, u), ValueError, "cannot fit: all .* cycles run counter-clockwise"),
    (lambda u, F: quorix.fit(u, F, fix={"k": 1.0}), ValueError, 'unknown parameter "k"'),
    (lambda u, F: quorix.fit(u, F, cycles=[99]), ValueError, "cycle 99 does not exist: the record has cycles 0 to 7"),
    (lambda u, F: quorix.fit(u, F, cycles=[1.5]), TypeError, "cycles must be integers, not 1.5"),
    (lambda u, F: quorix.fit(u, F, cycles=3), TypeError, "cycles must be a sequence"),
    (lambda u, F: quorix.fit(u, F, fix={"n": "2"}), TypeError, "fix: the value of n must be a number, not '2'"),
    (lambda u, F: quorix.fit(u, F, start={"n": True}), TypeError, "start: the value of n must be a number"),
    (lambda u, F: quorix.fit(u, F, fix=[("n", 2)]), TypeError, "fix must be a dict"),
    (lambda u, F: quorix.fit(u, F, samples=(0, 10**6)), ValueError, "within the record's samples 0 to 5381"),
    (lambda u, F: quorix.fit(u, F, steady=True, fit_z0=True), ValueError, "not to steady=True"),
    (lambda u, F: quorix.fit(u, F, dead_band=0.9), ValueError, "dead_band must lie in"),
    (lambda u, F: quorix.cycles(np.zeros((3, 3)), np.zeros(9)), ValueError, "one-dimensional"),
    (lambda u, F: quorix.cycles(u, F, dead_band=float("nan")), ValueError, "dead_band"),
    (lambda u, F: quorix.cycles(u, F, dead_band=1.0), ValueError, "dead_band"),
    (lambda u, F: quorix.verify(u), TypeError, "F is needed beside the displacements u"),
    (lambda u, F: quorix.verify(u, F, z_column=2), TypeError, "choose the columns of a file"),
    (lambda u, F: quorix.verify(u, F[:-1]), ValueError, "differ in length: u 5382, F 5381"),
    (lambda u, F: quorix.verify(u, F, material=3), TypeError, "material must be an OpenSees line"),
    (lambda u, F: quorix.verify(u, F, tolerance=-1), ValueError, "tolerance must be a finite number >= 0: -1")])
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
    ("read_record", "x;1.5;y\nx;2.5;y\n", {}, "line 1: only column 1 holds a number; expected displacement and force"),
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


def test_verify_gives_the_command_lines_figures(cli, tmp_path):
    u = program.sine(96)
    F, z = program.backward_euler_record(u)
    path = tmp_path / "r.txt"
    path.write_text("u F z\n" + "".join(f"{a!r} {b!r} {c!r}\n" for a, b, c in zip(u, F, z)))
    v, j = quorix.verify(path, material=program.TCL), cli.json("verify", path, "--material", program.TCL)
    same_as_cli(vars(v), j, skip={"schema", "report", "sample_count", "u", "program_F", "program_z", "verdict_text"})
    sample = v.F["sample"]  # counted from 0 in the verdict's text too
    assert v.verdict_text.replace(f"at sample {sample} ", f"at sample {sample + 1} ") == j["verdict_text"]


def test_verify_finds_a_planted_error_at_its_sample():
    u = 0.4 * np.sin(np.linspace(0.0, 4.0 * np.pi, 201))
    F = quorix.response(u, n=1.5, gamma=0.6, alpha=0.05, fy=3.0, uy=0.1)["F"]
    F[57] += 1e-3 * np.abs(F).max()
    v = quorix.verify(u, F, n=1.5, gamma=0.6, alpha=0.05, fy=3.0, uy=0.1, tolerance=5e-4)
    assert (v.F["sample"], v.F["u"], v.verdict, v.passed) == (57, u[57], "exceeds", False)
    material = quorix.Material(n=1.5, gamma=0.6, alpha=0.05, fy=3.0, uy=0.1)
    assert quorix.verify({"u": u, "F": F}, material=material, tolerance=2e-3).verdict == "within"
