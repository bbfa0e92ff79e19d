#!/usr/bin/python3
"""A record as an analysis program writes it, for `quorix-cli verify`'s example and the Python tests.

OpenSees's uniaxialMaterial BoucWen without degradation, as its documentation gives the update:
z in displacement units, its beta on the |du| term,
    dz = du (Ao - |z|^n (gamma + beta sgn(du z))),   F = alpha ko u + (1 - alpha) ko z,
advanced sample by sample by backward Euler, the step's equation
    R(z) = z - z_k - du (Ao - |z|^n (gamma + beta sgn(du z))) = 0
solved by Newton's method from the committed z_k, until the correction is below tol or after
max_iter iterations (an unconverged z is kept). tests/support/opensees_boucwen_steps.h is the
same in C++.

    make_program_record.py PER_CYCLE > FILE    u, F, z of 3 cycles of u = 3 sin(2 pi t)
"""
import math
import sys

LAW = dict(alpha=0.1, ko=20.0, n=2.0, gamma=0.3, beta=0.6, Ao=1.5)
TCL = "uniaxialMaterial BoucWen 1 0.1 20 2 0.3 0.6 1.5 0 0 0"


def rate(z, du, law):
    s = (du * z > 0) - (du * z < 0)
    return law["Ao"] - abs(z) ** law["n"] * (law["gamma"] + law["beta"] * s)


def backward_euler_record(u, law=LAW, tol=1e-8, max_iter=20):
    """(F, z) at every sample of u, from z = 0."""
    z, F, zs = 0.0, [], []
    for k, uk in enumerate(u):
        if k > 0:
            du, zk = uk - u[k - 1], z
            for _ in range(max_iter):
                s = (du * z > 0) - (du * z < 0)
                residual = z - zk - du * rate(z, du, law)
                slope = 1.0 + du * law["n"] * abs(z) ** (law["n"] - 1.0) * (-1.0 if z < 0 else 1.0) * (
                    law["gamma"] + law["beta"] * s)
                step = residual / slope
                z -= step
                if abs(step) < tol:
                    break
        zs.append(z)
        F.append(law["alpha"] * law["ko"] * uk + (1.0 - law["alpha"]) * law["ko"] * z)
    return F, zs


def sine(per_cycle, cycles=3, amplitude=3.0):
    return [amplitude * math.sin(2.0 * math.pi * k / per_cycle) for k in range(int(cycles * per_cycle) + 1)]


def main():
    per_cycle = int(sys.argv[1])
    u = sine(per_cycle)
    F, z = backward_euler_record(u)
    print(f"# {TCL}, backward Euler at {per_cycle} steps a cycle")
    print("u F z")
    for row in zip(u, F, z):
        print(" ".join(f"{v:.10g}" for v in row))


if __name__ == "__main__":
    main()
