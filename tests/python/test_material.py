"""quorix.Material: analysis programs' materials in and out, the same case as quorix-cli maps (the mapping's
values and refusals are tests/material's; the warning for a beta + gamma that is not 1: test_quorix.py)."""
import math
import pickle

import numpy as np
import pytest

import quorix
from conftest import bits

CASE = ("n", "gamma", "beta", "alpha", "fy", "uy")
LINES = ["uniaxialMaterial BoucWen 1 0.02 5e4 1.5 30 50 2 0 0 0",
         # With an elastic term k3 sgn(u) |u|^mu beside the law:
         "uniaxialMaterial BoucWenOriginal 1 2e5 355 0.02 2000 3",
         "element elastomericBearingBoucWen 1 1 2 2e3 20 0.05 -0.02 0.5 1.5 0.8 0.6 -P 3 -Mz 4"]


class _Ops:
    """Stands in for OpenSeesPy's module: records the call's arguments."""

    def uniaxialMaterial(self, *args):  # noqa: N802 (OpenSeesPy's own names)
        self.args = args

    def element(self, *args):
        self.args = args


@pytest.mark.parametrize("line, umax", [(LINES[0], 0.03), (LINES[1], 0.005), (LINES[2], 0.05)])
def test_the_mapped_case_and_its_forces_are_the_command_lines(cli, line, umax):
    m = quorix.Material.from_opensees(line)
    expected = cli.json("solve", "--material", line, "--umax", str(umax))
    assert bits([getattr(m, k) for k in CASE]) == bits([expected["case"][k] for k in CASE])
    term = expected.get("elastic_term", {"k3": 0.0})
    assert bits([m.k3, m.mu if "mu" in term else 0.0]) == bits([term["k3"], term.get("mu", 0.0)])
    names = ("Fela", "Fa", "DE", "Za", "XiEq", "Ksec", "KsecOverK0")
    values = {**expected["results"], **expected["derived"]}
    assert bits([m.solve(umax=umax)[k] for k in names]) == bits([values[k] for k in names])
    rows = m.solve(umax=np.array([umax, 0.0]))  # arrays row by row; at Umax = 0 the law's own results
    assert bits(rows.Fa[0]) == bits(values["Fa"])
    assert bits(rows.XiEq[1]) == bits(quorix.solve(**{k: getattr(m, k) for k in CASE}, u=0.0).XiEq)
    if line == LINES[0]:
        assert m.to_opensees() == expected["materials"]["opensees_boucwen"]


def test_each_form_reads_back_to_the_case():
    m = quorix.Material.general(A=2.0, beta=1.0, gamma=2.0, n=0.7, alpha=0.3, fy=1e3, uy=2.5)
    ops = _Ops()
    eval(m.to_openseespy(), {"ops": ops})  # the call is Python OpenSeesPy can run
    assert ops.args[0] == "BoucWen" and ops.args[7] == 2.0
    for text in (m.to_opensees(), m.to_openseespy(), m.to_opensees_original(), m.to_openseespy_original()):
        back = quorix.Material.from_opensees(text)
        assert all(abs(getattr(back, k) - getattr(m, k)) <= math.ulp(getattr(m, k)) for k in CASE), text
    link = quorix.Material.from_csi_wen(k=2e4, yield_strength=150.0, ratio=0.08, exp=1.5)
    assert (link.gamma, link.beta, link.uy) == (0.5, 0.5, 150.0 / 2e4)
    assert link.to_csi_wen() == {"k": 2e4, "yield": 150.0, "ratio": 0.08, "exp": 1.5}
    assert quorix.Material().to_csi_wen() is None  # only for half and half


def test_an_elastic_term_is_written_back_or_refused_by_name():
    m = quorix.Material.from_opensees(LINES[1])
    tcl, call = m.to_opensees_element(tag=3)
    ops = _Ops()
    eval(call, {"ops": ops, "iNode": 1, "jNode": 2, "matTagP": 5, "matTagMz": 6})
    assert ops.args[:4] == ("elastomericBearingBoucWen", 3, 1, 2) and ops.args[-4:] == ("-P", 5, "-Mz", 6)
    for text in (tcl, m.to_opensees_original(), m.to_openseespy_original()):
        back = quorix.Material.from_opensees(text)
        for k in (*CASE, "k3"):
            assert abs(getattr(back, k) - getattr(m, k)) <= 4 * math.ulp(getattr(m, k)), (k, text)
        assert back.mu == m.mu
    for write in (m.to_opensees, m.to_openseespy, m.to_csi_wen):
        with pytest.raises(ValueError, match=r"has no nonlinear elastic term k3\*sgn\(u\)\*\|u\|\^mu \(k3 = 4e\+08"):
            write()
    assert "k3=400000000.0, mu=3.0" in repr(m) and "k3" not in repr(quorix.Material())


def test_a_material_pickles_bit_for_bit_and_compares_by_its_case():
    m = quorix.Material.general(A=2.0, beta=0.3, gamma=0.5, n=2.5)  # a mapped case and an A of its own
    back = pickle.loads(pickle.dumps(m))
    assert (back == m, hash(back) == hash(m), back.to_opensees() == m.to_opensees()) == (True, True, True)
    assert [bits(getattr(back, k)) for k in CASE] == [bits(getattr(m, k)) for k in CASE]
    assert quorix.Material(n=2.0) != quorix.Material(n=3.0)
    assert quorix.Material() != "quorix.Material()"
    # Pickled with its elastic term; a material without one pickles as before and differs.
    term = quorix.Material.from_opensees(LINES[1])
    assert pickle.loads(pickle.dumps(term)) == term and bits(pickle.loads(pickle.dumps(term)).k3) == bits(term.k3)
    same_case = quorix.Material.from_opensees(term.to_opensees_original().replace(" 2000.0000000000002 3 ", " 0 3 "))
    assert same_case.k3 == 0.0 and same_case != term and len(same_case._m._state()) == 7

