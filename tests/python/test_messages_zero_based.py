"""The record reader's column messages in Python: columns counted from 0, as u_column and F_column count
them, and the keywords named where the command line names its options.

Each case is also read by quorix-cli, whose message must be the same sentence with every column number
one higher and the options in place of the keywords: the two differ in nothing else."""
import re

import numpy as np
import pytest

import quorix

# Three columns, no header; the first (a time) never turns back, the others do.
PLAIN = "".join(f"{t};{u};{2 * u}\n" for t, u in enumerate([0.0, 1.0, 0.0, -1.0, 0.0, 1.0, 0.0, -1.0, 0.0]))
TWO_FORCES = "Force A;Force B;u\n" + "".join(f"{f};{f};{f}\n" for f in [0.0, 1.0, 0.0, -1.0, 0.0])
TIME_FIRST = "".join(f"{t};{f}\n" for t, f in enumerate([0.0, 1.0, 0.0, -1.0, 0.0, 1.0, 0.0, -1.0]))

CASES = [
    # record, keywords, the message in Python
    (PLAIN, dict(u_column=3), "the displacement column 3: the record has columns 0 to 2"),
    (PLAIN, dict(F_column="7"), "the force column 7: the record has columns 0 to 2"),
    (PLAIN, dict(u_column=1, F_column=1), "the displacement and the force are both column 1"),
    ("x;1.5;y\nx;2.5;y\n", {}, "line 1: only column 1 holds a number; expected displacement and force"),
    (TWO_FORCES, {}, 'columns 0 ("Force A") and 1 ("Force B") both name the force: choose one (F_column=)'),
    (TIME_FIRST, {}, "column 0, read as the displacement by its place, never turns back while column 1 does: "
                     "is it a time column? Name the displacement's column (u_column=) and the force's (F_column=)"),
]


ENTRIES = ["read_record", "cycles", "fit", "response", "verify"]


@pytest.mark.parametrize("entry", ENTRIES)
@pytest.mark.parametrize("text, keywords, message", CASES)
def test_every_reading_entry_counts_from_0_and_names_keywords(tmp_path, entry, text, keywords, message):
    if entry == "response" and "F_column" in keywords:
        pytest.skip("response takes u_column only")
    path = tmp_path / "record.csv"
    path.write_text(text)
    with pytest.raises(ValueError) as caught:
        getattr(quorix, entry)(str(path), **keywords)
    assert message in str(caught.value)
    assert "--u-column" not in str(caught.value) and "--F-column" not in str(caught.value)


def shifted(message):
    """The Python sentence as the command line says it: each column number one higher, the options."""
    message = re.sub(r"(columns?) (\d+)", lambda m: f"{m.group(1)} {int(m.group(2)) + 1}", message)
    message = re.sub(r"columns (\d+) to (\d+)", lambda m: f"columns {m.group(1)} to {int(m.group(2)) + 1}", message)
    message = re.sub(r"\) and (\d+) \(", lambda m: f") and {int(m.group(1)) + 1} (", message)
    return message.replace("u_column=", "--u-column").replace("F_column=", "--F-column")


@pytest.mark.parametrize("text, keywords, message", CASES)
def test_the_command_line_says_the_same_from_1(cli, tmp_path, text, keywords, message):
    path = tmp_path / "record.csv"
    path.write_text(text)
    # The command line's numbers count from 1.
    options = [o for name, value in keywords.items() for o in (f"--{name.replace('_', '-')}", int(value) + 1)]
    result = cli.run("cycles", str(path), *options, check=False)
    assert result.returncode != 0
    assert shifted(message) in result.stderr, (shifted(message), result.stderr)


def test_a_column_chosen_from_0_is_the_column_read(tmp_path):
    path = tmp_path / "record.csv"
    path.write_text(PLAIN)
    record = quorix.read_record(str(path), u_column=1, F_column="2")
    np.testing.assert_array_equal(record["F"], 2 * record["u"])
    assert (record["displacement"]["column"], record["force"]["column"]) == (1, 2)


@pytest.mark.parametrize("call, keyword, meant", [
    (lambda: quorix.solve(Uy=1.0), "Uy", "uy"),
    (lambda: quorix.solve(FY=1.0), "FY", "fy"),
    (lambda: quorix.solve(gama=0.5), "gama", "gamma"),
])
def test_a_keyword_in_the_window_s_case_is_told_its_python_name(call, keyword, meant):
    with pytest.raises(TypeError, match=rf"unexpected keyword argument '{keyword}'; did you mean '{meant}'\?$"):
        call()


@pytest.mark.parametrize("z_column, message", [
    ("zz", 'the z column (z_column=) "zz": no column has that name'),
    (5, "the z column (z_column=) 5: the record has columns 0 to 2"),
])
def test_verify_names_the_z_column_as_given(tmp_path, z_column, message):
    path = tmp_path / "record.csv"
    path.write_text("u;F;z\n" + PLAIN)
    with pytest.raises(ValueError) as caught:
        quorix.verify(str(path), z_column=z_column)
    assert str(caught.value).startswith(message), str(caught.value)
