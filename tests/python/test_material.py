"""quorix.Material: analysis programs' materials in and out, the same case as quorix-cli maps (the mapping's
values and refusals are tests/material's, three of them in test_quorix.py), and the warning for a beta + gamma
that is not 1."""
import math
import warnings

import numpy as np
import pytest

import quorix
from conftest import bits

LINE = "uniaxialMaterial BoucWen 1 0.02 5e4 1.5 30 50 2 0 0 0"


def test_the_mapped_case_and_its_energy_are_the_command_lines(cli):
    m = quorix.Material.from_opensees(LINE)
    expected = cli.json("solve", "--material", LINE, "--umax", "0.03")
    assert bits([m.n, m.gamma, m.beta, m.alpha, m.fy, m.uy]) == bits(
        [expected["case"][k] for k in ("n", "gamma", "beta", "alpha", "fy", "uy")])
    assert bits(m.solve(umax=0.03).DE) == bits(expected["results"]["DE"])
    assert m.to_opensees() == expected["materials"]["opensees_boucwen"]
    # An array of amplitudes broadcasts like quorix.solve.
    assert bits(m.solve(umax=np.array([0.03, 0.03])).DE) == bits([expected["results"]["DE"]] * 2)


class _Ops:
    """Stands in for OpenSeesPy's module: records the call's arguments."""

    def uniaxialMaterial(self, *args):  # noqa: N802 (OpenSeesPy's own name)
        self.args = args


@pytest.mark.parametrize("A", [1.0, 0.5, 2.0])
def test_each_form_reads_back_to_the_case(A):
    m = quorix.Material.general(A=A, beta=1.0, gamma=2.0, n=0.7, alpha=0.3, fy=1e3, uy=2.5)
    want = [m.n, m.gamma, m.beta, m.alpha, m.fy, m.uy]
    ops = _Ops()
    eval(m.to_openseespy(), {"ops": ops})  # the call is Python OpenSeesPy can run
    assert ops.args[0] == "BoucWen" and ops.args[7] == A
    for text in (m.to_opensees(), m.to_openseespy(), m.to_opensees_original(), m.to_openseespy_original()):
        back = quorix.Material.from_opensees(text)
        got = [back.n, back.gamma, back.beta, back.alpha, back.fy, back.uy]
        for g, w in zip(got, want):
            assert abs(g - w) <= math.ulp(w), text


def test_the_wen_link_exists_only_for_half_and_half():
    link = quorix.Material.from_csi_wen(k=2e4, yield_strength=150.0, ratio=0.08, exp=1.5)
    assert (link.gamma, link.beta, link.uy) == (0.5, 0.5, 150.0 / 2e4)
    assert link.to_csi_wen() == {"k": 2e4, "yield": 150.0, "ratio": 0.08, "exp": 1.5}
    assert quorix.Material().to_csi_wen() is None


def test_a_sum_other_than_one_warns_once_per_call():
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        quorix.solve(beta=0.1, gamma=0.9)
        quorix.solve(gamma=np.linspace(0.1, 0.9, 50))
    for call in (lambda: quorix.solve(beta=0.6, gamma=0.6),
                 lambda: quorix.solve(beta=np.array([0.1, 0.6, 0.7]), gamma=0.6),
                 lambda: quorix.sweep(0.1, 0.3, 0.1, beta=0.6, gamma=0.6)):
        with pytest.warns(UserWarning, match="Material.general") as record:
            call()
        assert len(record) == 1


def test_fit_gives_the_fitted_case_as_materials():
    u = 0.3 * np.sin(np.linspace(0, 8 * np.pi, 1601))
    F = quorix.response(u, n=1.5, gamma=0.5, alpha=0.05, fy=3.0, uy=0.1)["F"]
    fit = quorix.fit(u, F, fix={"gamma": 0.5})
    back = quorix.Material.from_opensees(fit["materials"]["opensees_boucwen"])
    assert back.uy == pytest.approx(fit["parameters"]["uy"], rel=1e-15)
    assert fit["materials"]["csi_wen"]["k"] == pytest.approx(30.0, rel=1e-6)


def test_a_material_pickles_bit_for_bit_and_compares_by_its_case():
    import pickle

    m = quorix.Material.general(A=2.0, beta=0.3, gamma=0.5, n=2.5)  # a mapped case and an A of its own
    back = pickle.loads(pickle.dumps(m))
    assert (back == m, hash(back) == hash(m), back.to_opensees() == m.to_opensees()) == (True, True, True)
    assert [bits(getattr(back, k)) for k in "n gamma beta alpha fy uy".split()] == \
        [bits(getattr(m, k)) for k in "n gamma beta alpha fy uy".split()]
    assert quorix.Material(n=2.0) != quorix.Material(n=3.0)
    assert quorix.Material() != "quorix.Material()"


TERMS = ["uniaxialMaterial BoucWenOriginal 1 2e5 355 0.02 2000 3",
         "element elastomericBearingBoucWen 1 1 2 2e3 20 0.05 -0.02 0.5 1.5 0.8 0.6 -P 3 -Mz 4"]


@pytest.mark.parametrize("line, umax", [(TERMS[0], 0.005), (TERMS[1], 0.05)])
def test_an_elastic_term_gives_the_command_lines_forces(cli, line, umax):
    m = quorix.Material.from_opensees(line)
    expected = cli.json("solve", "--material", line, "--umax", str(umax))
    assert bits([m.k3, m.mu]) == bits([expected["elastic_term"]["k3"], expected["elastic_term"]["mu"]])
    got = m.solve(umax=umax)
    names = ("Fela", "Fa", "DE", "Za", "XiEq", "Ksec", "KsecOverK0")
    values = {**expected["results"], **expected["derived"]}
    assert bits([got[k] for k in names]) == bits([values[k] for k in names])
    # Arrays: the same values row by row, and at Umax = 0 the law's own results.
    rows = m.solve(umax=np.array([0.0, umax]))
    assert bits(rows.Fa[1]) == bits(got.Fa)
    assert bits(rows.XiEq[0]) == bits(quorix.solve(n=m.n, gamma=m.gamma, beta=m.beta, alpha=m.alpha, fy=m.fy,
                                                   uy=m.uy, u=0.0).XiEq)


class _OpsElement:
    def element(self, *args):
        self.args = args


def test_an_elastic_term_is_written_back_or_refused_by_name():
    m = quorix.Material.from_opensees(TERMS[0])
    tcl, call = m.to_opensees_element(tag=3)
    ops = _OpsElement()
    eval(call, {"ops": ops, "iNode": 1, "jNode": 2, "matTagP": 5, "matTagMz": 6})
    assert ops.args[:4] == ("elastomericBearingBoucWen", 3, 1, 2) and ops.args[-4:] == ("-P", 5, "-Mz", 6)
    for text in (tcl, m.to_opensees_original(), m.to_openseespy_original()):
        back = quorix.Material.from_opensees(text)
        for k in ("n", "gamma", "beta", "alpha", "fy", "uy", "k3"):
            assert abs(getattr(back, k) - getattr(m, k)) <= 4 * math.ulp(getattr(m, k)), (k, text)
        assert back.mu == m.mu
    for write in (m.to_opensees, m.to_openseespy, m.to_csi_wen):
        with pytest.raises(ValueError, match=r"has no nonlinear elastic term k3\*sgn\(u\)\*\|u\|\^mu \(k3 = 4e\+08"):
            write()
    # Pickled with its term; a material without one pickles as before and differs.
    import pickle

    assert pickle.loads(pickle.dumps(m)) == m
    assert bits(pickle.loads(pickle.dumps(m)).k3) == bits(m.k3)
    same_case = quorix.Material.from_opensees(m.to_opensees_original().replace(" 2000.0000000000002 3 ", " 0 3 "))
    assert same_case.k3 == 0.0 and same_case != m and len(same_case._m._state()) == 7
    assert "k3=400000000.0, mu=3.0" in repr(m) and "k3" not in repr(quorix.Material())
