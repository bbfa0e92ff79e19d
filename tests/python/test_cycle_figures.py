"""quorix.cycles' isolator figures (D, Qd, Kd, Dy, amplitude groups and ratios) on bilinear loops known in
closed form, and as quorix-cli gives them."""
import numpy as np
import pytest

import quorix
from conftest import bits

QD, KD, DY, D = 1.0, 0.1, 1.3, 10.0
FM = QD + KD * D


def bilinear_record(scales, elastic=False, per=7):
    """Clockwise bilinear loops at D, the k-th with forces times scales[k] (elastic: F = 0.2 u on the same
    path), each from its top down and back, `per` samples a straight piece; rest before, the last top and rest
    after, so that every loop is one cycle."""
    corners_u = [D, D - 2 * DY, -D, -D + 2 * DY, D]
    corners_F = [FM, -QD + KD * corners_u[1], -FM, QD + KD * corners_u[3], FM]
    t = np.arange(per) / per
    u, F = [0.0], [0.0]
    for s in scales:
        for k in range(4):
            piece_u = corners_u[k] + t * (corners_u[k + 1] - corners_u[k])
            piece_F = corners_F[k] + t * (corners_F[k + 1] - corners_F[k])
            u.extend(piece_u)
            F.extend(0.2 * piece_u if elastic else s * piece_F)
    u += [D, 0.0]
    F += [0.2 * D if elastic else FM, 0.0]
    return np.array(u), np.array(F)


def test_bilinear_loops_give_their_own_figures_and_ratios():
    scales = [1.0, 1.1, 1.0]
    got = quorix.cycles(*bilinear_record(scales))
    # A cycle runs to the next loop's top, whose force is the next scale's: the trapezoid into it adds
    # ½·FM·(s' − s)·Δ to the EDC of 4·s·Qd·(D − Dy), Δ the last step of u.
    step = (2 * D - 2 * DY) / 7
    following = scales[1:] + [1.0]
    edc = np.array([4 * s * QD * (D - DY) + 0.5 * FM * (n - s) * step for s, n in zip(scales, following)])
    s = np.array(scales)
    expected = {
        "D": np.full(3, D), "Qd": QD * s, "Kd": KD * s, "Dy": D - edc / (4 * QD * s),
        "Keff_ratio": s / s.mean(), "EDC_ratio": edc / edc.mean(), "EDC": edc,
    }
    for name, values in expected.items():
        np.testing.assert_allclose(got[name], values, rtol=1e-13, err_msg=name)
    assert got["group"].tolist() == [0, 0, 0]  # from 0, as every index Python gives
    assert got["bilinear_refusal"] == ["", "", ""]
    groups = got["groups"]
    assert (groups["first_cycle"].tolist(), groups["last_cycle"].tolist()) == ([0], [2])
    np.testing.assert_allclose([groups["Keff"][0], groups["EDC"][0], groups["first_Keff_ratio"][0],
                                groups["first_EDC_ratio"][0]],
                               [(QD / D + KD) * s.mean(), edc.mean(), 1 / s.mean(), edc[0] / edc.mean()], rtol=1e-13)


@pytest.mark.parametrize("record, reason", [
    (bilinear_record([1.0, 1.0], elastic=True), "Qd is not positive: both branches cross u = 0 at the same force"),
    # Counter-clockwise: the loop run backwards.
    ((lambda u, F: (u[::-1].copy(), F[::-1].copy()))(*bilinear_record([1.0, 1.0])), "Qd is negative"),
    # The whole loop at u > 0.
    ((lambda u, F: (u + 25.0, F))(*bilinear_record([1.0, 1.0])), "does not cross u = 0"),
])
def test_cycles_without_a_bilinear_loop_say_why(record, reason):
    got = quorix.cycles(*record)
    assert len(got["Kd"]) == 2
    assert np.isnan(got["Kd"]).all() and np.isnan(got["Dy"]).all()
    assert all(reason in r for r in got["bilinear_refusal"]), got["bilinear_refusal"]


def test_figures_are_those_of_the_command_line(cli, tmp_path):
    u, F = bilinear_record([1.0, 1.2, 1.0, 0.9])
    path = tmp_path / "loops.csv"
    np.savetxt(path, np.c_[u, F], fmt="%.17g", delimiter=";", header="u;F", comments="")
    got, expected = quorix.cycles(u, F), cli.json("cycles", path)
    for name in ["D", "Qd", "Kd", "Dy", "Keff_ratio", "EDC_ratio"]:
        assert bits(got[name]) == bits(expected[name]), name
    assert (got["group"] + 1).tolist() == expected["group"]  # counted from 1 on the command line
    assert got["bilinear_refusal"] == expected["bilinear_refusal"]
    assert set(got["groups"]) == set(expected["groups"])
    for name in ["D", "Keff", "EDC", "first_Keff_ratio", "first_EDC_ratio"]:
        assert bits(got["groups"][name]) == bits(expected["groups"][name]), name
    assert (got["groups"]["first_cycle"] + 1).tolist() == expected["groups"]["first_cycle"]
