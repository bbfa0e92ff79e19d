"""quorix.Material: a case as analysis programs write it, mapped exactly onto the normalised case."""
from . import _checks, _core

_D = _core._window_defaults()


class Material:
    """A case as analysis programs write it, mapped exactly onto Quorix's normalised case.

    Quorix's law, in Wen's labelling (gamma on the |du/dt| term)::

        dz/dt = (A du/dt - gamma |du/dt| |z|^(n-1) z - beta du/dt |z|^n) / Uy
        F = alpha (Fy/Uy) u + (1 - alpha) Fy z

    normalised when A = 1 and beta + gamma = 1, the case the closed forms take. Make one
    with ``Material(n=..., gamma=..., ...)`` for a normalised case, ``Material.general``,
    ``Material.from_opensees`` or ``Material.from_csi_wen``; its attributes n, gamma, beta,
    alpha, fy, uy are the mapped case's, ``solve()`` solves it and the ``to_*`` methods write
    it in each program's form.

    Parameters
    ----------
    n : float
        The exponent, dimensionless, > 0.
    gamma, beta : float
        The coefficients of the |du/dt| and du/dt terms (beta defaults to 1 - gamma; a sum
        other than 1 is normalised, as ``general`` does with A = 1).
    alpha : float
        The elastic share of the yield force, dimensionless.
    fy : float
        The yield force (force).
    uy : float
        The yield displacement (length).

    Examples
    --------
    >>> m = quorix.Material(n=2, gamma=0.7, fy=50.0, uy=2.0)
    >>> m.beta
    0.30000000000000004
    """

    __slots__ = ("_m",)

    def __init__(self, *, n=_D["n"], gamma=_D["gamma"], beta=None, alpha=_D["alpha"], fy=_D["fy"], uy=_D["uy"]):
        args = {k: _checks.real("Material", k, v) for k, v in
                dict(n=n, gamma=gamma, alpha=alpha, fy=fy, uy=uy).items()}
        if beta is not None:
            args["beta"] = _checks.real("Material", "beta", beta)
        self._m = _core.Material(**args)

    def __eq__(self, other):
        """Equal when the mapped cases and their A are, bit for bit."""
        return self._m == other._m if isinstance(other, Material) else NotImplemented

    def __hash__(self):
        return hash(self._m._state())

    def __reduce__(self):
        return (_restored, (self._m,))

    @classmethod
    def _of(cls, core):
        material = cls.__new__(cls)
        material._m = core
        return material

    @classmethod
    def general(cls, *, A, beta, gamma, n=_D["n"], alpha=_D["alpha"], fy=_D["fy"], uy=_D["uy"]):
        """Wen's general law with any A > 0 and beta + gamma > 0 (gamma on |du/dt|).

        Mapped with z = z_u w, z_u = (A/(beta + gamma))^(1/n), s = beta + gamma: gamma' = gamma/s,
        beta' = beta/s, Uy' = Uy z_u/A, alpha' = alpha/(alpha + (1 - alpha) A),
        Fy' = (Fy/Uy)(alpha + (1 - alpha) A) Uy'.

        Parameters
        ----------
        A, beta, gamma, n, alpha : float
            The law's coefficients, dimensionless.
        fy : float
            The yield force (force).
        uy : float
            The yield displacement (length).

        Returns
        -------
        Material

        Examples
        --------
        >>> quorix.Material.general(A=1.0, beta=0.25, gamma=0.25, n=2).gamma
        0.5
        """
        args = {k: _checks.real("Material.general", k, v) for k, v in
                dict(A=A, beta=beta, gamma=gamma, n=n, alpha=alpha, fy=fy, uy=uy).items()}
        return cls._of(_core.Material.general(**args))

    @classmethod
    def from_opensees(cls, text):
        """An OpenSees material without degradation, from its Tcl line or OpenSeesPy call text.

        Parameters
        ----------
        text : str
            'uniaxialMaterial BoucWen tag alpha ko n gamma beta Ao 0 0 0', 'uniaxialMaterial
            BoucWenOriginal tag E fy alphaL ...', "ops.uniaxialMaterial('BoucWen', 1, ...)" or
            'element elastomericBearingBoucWen tag iNode jNode kInit qd alpha1 alpha2 mu ...'.

        Returns
        -------
        Material

        Raises
        ------
        ValueError
            Naming the word at fault; degradation is refused, since no closed form holds for it.
            BoucWenOriginal's alphaNL and the elastomericBearingBoucWen element's alpha2 give the
            nonlinear elastic term k3*sgn(u)*|u|^mu (``k3``, ``mu``): it dissipates nothing, so
            ``solve()`` keeps the energy and adds its force to Fela and Fa.

        Examples
        --------
        >>> quorix.Material.from_opensees("uniaxialMaterial BoucWen 1 0.02 5e4 1.5 30 50 2 0 0 0").n
        1.5
        """
        if not isinstance(text, str):
            raise TypeError(f"Material.from_opensees: text must be a str, not {type(text).__name__}")
        return cls._of(_core.Material.from_opensees(text))

    @classmethod
    def from_csi_wen(cls, *, k, yield_strength, ratio, exp):
        """CSI's Plastic (Wen) link: gamma = beta = 0.5, Uy = yield/k, Fy = yield, alpha = ratio, n = exp.

        Parameters
        ----------
        k : float
            The elastic stiffness (force over length).
        yield_strength : float
            The yield strength (force).
        ratio, exp : float
            The post-yield stiffness ratio and the yielding exponent, dimensionless.

        Returns
        -------
        Material

        Examples
        --------
        >>> quorix.Material.from_csi_wen(k=100.0, yield_strength=2.0, ratio=0.1, exp=2.0).uy
        0.02
        """
        args = {name: _checks.real("Material.from_csi_wen", name, v) for name, v in
                dict(k=k, yield_strength=yield_strength, ratio=ratio, exp=exp).items()}
        return cls._of(_core.Material.from_csi_wen(**args))

    n = property(lambda self: self._m.n, doc="The exponent n of the mapped case, dimensionless.\n\n"
                 "Examples\n--------\n>>> quorix.Material(n=2).n\n2.0\n")
    gamma = property(lambda self: self._m.gamma, doc="gamma, on the |du/dt| term, dimensionless.\n\n"
                     "Examples\n--------\n>>> quorix.Material(gamma=0.5).gamma\n0.5\n")
    beta = property(lambda self: self._m.beta, doc="beta, on the du/dt term, dimensionless.\n\n"
                    "Examples\n--------\n>>> quorix.Material(gamma=0.5).beta\n0.5\n")
    alpha = property(lambda self: self._m.alpha, doc="alpha, the elastic share of the yield force.\n\n"
                     "Examples\n--------\n>>> quorix.Material(alpha=0.1).alpha\n0.1\n")
    fy = property(lambda self: self._m.fy, doc="The yield force Fy (force).\n\n"
                  "Examples\n--------\n>>> quorix.Material(fy=50.0).fy\n50.0\n")
    uy = property(lambda self: self._m.uy, doc="The yield displacement Uy (length).\n\n"
                  "Examples\n--------\n>>> quorix.Material(uy=2.0).uy\n2.0\n")

    k3 = property(lambda self: self._m.k3, doc="The elastic term's k3 (force over length^mu); 0.0 without one.\n\n"
                  "Examples\n--------\n>>> quorix.Material().k3\n0.0\n")
    mu = property(lambda self: self._m.mu, doc="The elastic term's exponent mu (2.0, unused, without one).\n\n"
                  "Examples\n--------\n>>> quorix.Material.from_opensees("
                  "'uniaxialMaterial BoucWenOriginal 1 2e5 355 0.02 2000 3').mu\n3.0\n")

    def solve(self, *, umax=None, u=None, mode=_D["mode"], accurate=False):
        """quorix.solve() of the mapped case at the amplitude umax, or at u = Umax/Uy.

        Parameters
        ----------
        umax : float or array_like, optional
            The amplitude (length); arrays broadcast as in quorix.solve.
        u : float or array_like, optional
            The amplitude over the mapped uy, dimensionless. Give one of umax and u.
        mode : {'complementary', 'direct'}
        accurate : bool

        Returns
        -------
        Result

        Examples
        --------
        >>> m = quorix.Material(fy=50.0, uy=2.0)
        >>> m.solve(umax=3.0) == m.solve(u=1.5)
        True
        """
        from . import solve

        if (umax is None) == (u is None):
            raise TypeError("Material.solve() takes one of umax= and u=")
        if umax is not None:
            u = _checks.real_array("Material.solve", "umax", umax) / self._m.uy
        c = self._m
        result = solve(n=c.n, gamma=c.gamma, beta=c.beta, alpha=c.alpha, fy=c.fy, uy=c.uy, u=u, mode=mode,
                       accurate=accurate)
        return result if c.k3 == 0.0 else _with_elastic_term(result, c, u)

    def to_opensees(self, *, A=None, tag=1):
        """The Tcl line of OpenSees's BoucWen material (z in displacement units), Ao = A.

        Parameters
        ----------
        A : float, optional
            Default: the general law's A, else 1.
        tag : int

        Examples
        --------
        >>> quorix.Material().to_opensees().split()[:3]
        ['uniaxialMaterial', 'BoucWen', '1']
        """
        return self._m.to_opensees(A=None if A is None else _checks.real("to_opensees", "A", A), tag=tag)

    def to_openseespy(self, *, A=None, tag=1):
        """The same as OpenSeesPy's call.

        Examples
        --------
        >>> quorix.Material().to_openseespy().startswith("ops.uniaxialMaterial('BoucWen', 1,")
        True
        """
        return self._m.to_openseespy(A=None if A is None else _checks.real("to_openseespy", "A", A), tag=tag)

    def to_opensees_original(self, *, tag=1):
        """The Tcl line of OpenSees's BoucWenOriginal material.

        Examples
        --------
        >>> quorix.Material().to_opensees_original().split()[1]
        'BoucWenOriginal'
        """
        return self._m.to_opensees_original(tag=tag)

    def to_openseespy_original(self, *, tag=1):
        """The same as OpenSeesPy's call.

        Examples
        --------
        >>> "BoucWenOriginal" in quorix.Material().to_openseespy_original()
        True
        """
        return self._m.to_openseespy_original(tag=tag)

    def to_opensees_element(self, *, tag=1):
        """The elastomericBearingBoucWen element: its Tcl line and its OpenSeesPy call, a pair.

        The nodes and the other directions' materials are variables to fill in.

        Examples
        --------
        >>> quorix.Material().to_opensees_element()[0].split()[:3]
        ['element', 'elastomericBearingBoucWen', '1']
        """
        return self._m.to_opensees_element(tag=tag)

    def to_csi_wen(self):
        """CSI's Plastic (Wen) link as a dict (k, yield, ratio, exp), or None when gamma != beta.

        Examples
        --------
        >>> quorix.Material(gamma=0.5).to_csi_wen()["exp"]
        2.0
        """
        return self._m.to_csi_wen()

    def __repr__(self):
        return repr(self._m)


def _with_elastic_term(result, c, u):
    """The result with the elastic term's force at Umax in Fela and Fa, and XiEq, Ksec, KsecOverK0
    formed again from that Fa; the energies unchanged (the term's work over a cycle is zero)."""
    import numpy as np

    from ._result import Result

    u = np.asarray(u, dtype=float)
    umax = u * c.uy
    force = c.k3 * np.sign(umax) * np.abs(umax) ** c.mu
    values = dict(result)
    fa = values["Fa"] + force
    with np.errstate(divide="ignore", invalid="ignore"):
        derived = {"XiEq": values["DE"] / (2.0 * np.pi * fa * umax), "Ksec": fa / umax, "KsecOverK0": fa / (c.fy * u)}
    moved = force != 0.0  # at Umax = 0 nothing moves: the results stay the law's own
    values["Fela"] = values["Fela"] + force
    values["Fa"] = fa
    for name, value in derived.items():
        values[name] = np.where(moved, value, values[name])
    scalar = not isinstance(result["DE"], np.ndarray)  # a case's floats stay floats
    out = {name: float(value) if scalar else value for name, value in values.items()}
    return Result([out[name] for name in result], result.mode, result.accurate)


def _restored(core):
    """A Material from its pickled core."""
    return Material._of(core)
