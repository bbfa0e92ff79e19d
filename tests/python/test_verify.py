"""quorix.verify on a record of OpenSees's documented BoucWen update (tests/verify/make_program_record.py): the
command line's figures with samples from 0, a planted error found (the step's effect: tests/verify)."""
import os
import sys

import numpy as np
import pytest

import quorix

# The record maker lives beside the C++ tests; a run of the installed package copies only these tests and
# names the source tree in QUORIX_SOURCE.
_top = os.environ.get("QUORIX_SOURCE") or os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
sys.path.insert(0, os.path.join(_top, "tests", "verify"))
import make_program_record as program  # noqa: E402


def test_the_command_lines_figures(cli, tmp_path):
    u = program.sine(96)
    F, z = program.backward_euler_record(u)
    path = tmp_path / "r.txt"
    path.write_text("u F z\n" + "".join(f"{a!r} {b!r} {c!r}\n" for a, b, c in zip(u, F, z)))
    v, j = quorix.verify(path, material=program.TCL), cli.json("verify", path, "--material", program.TCL)
    for key in ("F", "z"):
        assert getattr(v, key)["sample"] == j[key]["sample"] - 1
        assert [getattr(v, key)[k] for k in ("largest", "rms", "relative")] == [j[key][k] for k in
                                                                              ("largest", "rms", "relative")]
    assert v.cycles["model_EDC"].tolist() == j["cycles"]["model_EDC"]
    assert np.array_equal(v.model_z, j["model_z"]) and v.relative == j["relative"]


def test_planted_error_found_at_its_sample():
    u = 0.4 * np.sin(np.linspace(0.0, 4.0 * np.pi, 201))
    F = quorix.response(u, n=1.5, gamma=0.6, alpha=0.05, fy=3.0, uy=0.1)["F"]
    F[57] += 1e-3 * np.abs(F).max()
    v = quorix.verify(u, F, n=1.5, gamma=0.6, alpha=0.05, fy=3.0, uy=0.1, tolerance=5e-4)
    assert (v.F["sample"], v.F["u"], v.verdict, v.passed) == (57, u[57], "exceeds", False)
    material = quorix.Material(n=1.5, gamma=0.6, alpha=0.05, fy=3.0, uy=0.1)
    assert quorix.verify({"u": u, "F": F}, material=material, tolerance=2e-3).verdict == "within"


@pytest.mark.parametrize("call, error, message", [
    (lambda u: quorix.verify(u), TypeError, "F is needed beside the displacements u"),
    (lambda u: quorix.verify(u, u, z_column=2), TypeError, "choose the columns of a file"),
    (lambda u: quorix.verify(u, u[:-1]), ValueError, "differ in length: u 4, F 3"),
    (lambda u: quorix.verify(u, u, material=3), TypeError, "material must be an OpenSees line"),
    (lambda u: quorix.verify(u, u, tolerance=-1), ValueError, "tolerance must be a finite number >= 0: -1"),
])
def test_refusals(call, error, message):
    with pytest.raises(error, match=message):
        call(np.array([0.0, 1.0, -1.0, 1.0]))
