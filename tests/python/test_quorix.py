"""quorix.solve, sweep, loop and special: their arguments reach the engine, whose results come back to the last
bit as quorix-cli gives them (the engine's values are the C++ tests' own)."""
import _thread
import math
import os
import signal
import subprocess
import sys
import threading
import time
import warnings

import numpy as np
import pytest

import quorix
from conftest import bits, case_options, loads

NAMES = ["Za", "Fha", "Fela", "Fa", "Kcd", "Kda", "DEOverFyUy", "DEOverFhUy", "DE", "XiEq", "Ksec", "KsecOverK0"]
BETA_FROM_GAMMA = {"n": 3, "gamma": 0.54, "u": 3.0}  # .46 and .44, not 1 - gamma: beta - gamma, Kcd and DE differ


# The window's initial values (quorix-cli's defaults), beta from gamma, a saturated case (Za = 1), and the amplitude
# itself, which both divide by uy.
@pytest.mark.parametrize("case, mode, accurate", [
    ({}, "complementary", False), (BETA_FROM_GAMMA, "direct", False), (BETA_FROM_GAMMA, "complementary", True),
    ({"n": 2, "gamma": 0.5, "beta": 0.45, "alpha": 0.05, "fy": 1, "uy": 0.02, "u": 40}, "direct", True),
    ({"umax": 0.3, "uy": 0.12}, "complementary", False)])
def test_solve_gives_the_results_of_the_command_line(cli, case, mode, accurate):
    expected = cli.json("solve", *case_options(case, mode, accurate))
    expected = {**expected["results"], **expected["derived"]}
    got = quorix.solve(**case, mode=mode, accurate=accurate).as_dict()
    assert [(k, bits(v)) for k, v in got.items()] == [(k, bits(expected[k])) for k in NAMES]


@pytest.mark.parametrize("call, message", [
        (lambda: quorix.solve(gama=0.3), r"^solve\(\) got an unexpected keyword argument 'gama'; did you mean 'gamma'\?$"),
        (lambda: quorix.solve(Uy=1.0), r"'Uy'; did you mean 'uy'\?$"),  # the window's names
        (lambda: quorix.solve(FY=1.0), r"'FY'; did you mean 'fy'\?$"),
        (lambda: quorix.solve(castng="no"), "did you mean 'casting'"),
        (lambda: quorix.solve(u=1.0, umax=1.0), "give u .* or umax .*, not both"),
        (lambda: quorix.solve(umax="0.3"), "umax must be a number")])
def test_keyword_mistakes_name_solve(call, message):
    with pytest.raises(TypeError, match=message):
        call()


# Outside the model: refused, or with outside_domain="warn" (quorix-cli --as-typed) answered as the window answers.
@pytest.mark.parametrize("case", [{"n": 0}, {"gamma": 2, "u": -1}])
def test_outside_the_domain_is_refused_or_computed_as_the_window_computes_it(cli, case):
    with pytest.raises(ValueError, match=r"must (be positive|not be negative|not exceed 1).*: -?\d"):
        quorix.solve(**case)
    assert cli.run("solve", *case_options(case), check=False).returncode == 2
    expected = cli.json("solve", *case_options(case), "--as-typed")
    expected = {**expected["results"], **expected["derived"]}
    with pytest.warns(UserWarning, match="outside the model's domain: .* computed as the window computes it"):
        got = quorix.solve(**case, outside_domain="warn").as_dict()
    assert [(k, bits(v)) for k, v in got.items()] == [(k, bits(expected[k])) for k in NAMES]


def test_arrays_broadcast_like_numpy_and_match_scalar_calls():
    n, u = np.array([[1.5], [2.0], [3.0]]), np.linspace(0.2, 8.0, 24)[::2]  # (3, 1) and a strided (12,)
    gamma = [0.9 - 0.02 * k for k in range(12)]
    r = quorix.solve(n=n, u=u, gamma=gamma, fy=np.array([3]), mode="direct")
    assert {f: getattr(r, f).shape for f in NAMES} == dict.fromkeys(NAMES, (3, 12))
    for i, j in np.ndindex(3, 12):
        one = quorix.solve(n=n[i, 0], u=u[j], gamma=gamma[j], fy=3, mode="direct")
        assert {f: bits(getattr(r, f)[i, j]) for f in NAMES} == {f: bits(getattr(one, f)) for f in NAMES}, (i, j)
    scalar = quorix.solve(n=np.int64(3), u=np.float32(2.0))  # numpy scalars: a numpy scalar, as from any ufunc
    assert (type(scalar.DE), bits(scalar.DE)) == (np.float64, bits(quorix.solve(n=3.0, u=2.0).DE))
    values = [math.inf, -math.inf, math.nan, -1.0]
    with warnings.catch_warnings():  # the window's reading computes anything, as the window does
        warnings.simplefilter("ignore")
        for name in ["n", "gamma", "beta", "alpha", "fy", "uy", "u"]:
            arrays = quorix.solve(**{name: values}, outside_domain="warn")
            assert {f: bits(getattr(arrays, f)) for f in NAMES} == {
                f: bits([getattr(quorix.solve(**{name: v}, outside_domain="warn"), f) for v in values]) for f in NAMES}, name


# Where the specified arithmetic loses its digits one warning a call counts the cases and names the first,
# with its exact value: for a nearly elastic loop XiEq = (1 - w)(1 - alpha) u^n / ((n + 2) pi), 1.90986e-08 here.
@pytest.mark.parametrize("call, message", [
        (lambda: quorix.solve(n=1, gamma=0.1, u=1e-6), r"1 of 1 case has results .* XiEq -0\.206818314 \(exactly 1\.90986e-08\)"),
        (lambda: quorix.solve(n=1, gamma=0.1, u=[2.0, 1e-6, 1e-6]), r"2 of 3 cases have .*the first: n=1, gamma=0\.1, .*u=1e-06"),
        (lambda: quorix.sweep(0.0001, 0.0005, 0.0001, n=3), r"quorix\.sweep: 5 of 5 cases .*u=1e-04: DEOverFyUy"),
        (lambda: quorix.solve(u=-1.0, outside_domain="warn"), r"outside the model's domain: Umax/Uy must not be negative"),
        # A beta + gamma other than 1, once a call too.
        (lambda: quorix.solve(beta=0.6, gamma=0.6), "Material.general"),
        (lambda: quorix.solve(beta=np.array([0.1, 0.6, 0.7]), gamma=0.6), "Material.general"),
        (lambda: quorix.sweep(0.1, 0.3, 0.1, beta=0.6, gamma=0.6), "Material.general"),
        # numpy hands a broadcast call to the loop in pieces: still one warning, of all 20000 cases.
        (lambda: quorix.solve(n=np.linspace(1.0, 1.2, 400)[:, None], u=np.linspace(0.1, 5.0, 50)),
         r"quorix\.solve: \d+ of 20000 cases have")])
def test_results_the_specified_arithmetic_cannot_vouch_for_are_warned_of(call, message):
    with pytest.warns(UserWarning, match=message) as record:
        call()
    assert len(record) == 1, [str(w.message) for w in record]


def test_results_inside_the_reach_of_the_specified_arithmetic_pass_without_a_word():
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        quorix.solve(u=np.linspace(0.5, 10.0, 200), n=[[1.5], [2.0], [3.0]])
        quorix.sweep(0.1, 10.0, 0.1)
        quorix.solve(n=1, gamma=0.1, u=1e-6, accurate=True)
        quorix.solve(beta=0.1, gamma=0.9)
        quorix.solve(gamma=np.linspace(0.1, 0.9, 50))


@pytest.mark.parametrize("call, message", [
        (lambda: quorix.solve(n=[1.0, 2.0], u=[1.0, 2.0, 3.0]), r"n \(2,\).*u \(3,\)"),
        (lambda: quorix.solve(mode="Direct"), "mode must be 'complementary' or 'direct'"),
        # The first failing element in index order, whichever thread met it first.
        (lambda: quorix.solve(u=[1.0] * 40 + [-1.0, -2.0] * 20, accurate=True),
         r"Umax/Uy must not be negative: -1 \(at index \(40,\)\)"),
        # A sweep that cannot start (a zero step); one of rows 1, 0.5, 0, -0.5, -1, whose fourth is outside the model.
        (lambda: quorix.sweep(0.0, 1.0, 0.0), "step count"),
        (lambda: quorix.sweep(1.0, -1.0, -0.5), r"^Umax/Uy must not be negative: -1$"),  # the last row's
        (lambda: quorix.loop(points=2), "points"),
        (lambda: quorix.special.hyp2f1(2.0, 0.5, 1.5, 0.5, accurate=True), r"F\(1, b; 1 \+ b; t\)"),
        # The response's refusals pass through (each held to its text in tests/response), with the module's own
        # for the shape of u; positions count from 0 (the command line's from 1).
        (lambda: quorix.response([[0.0, 1.0]]), "u must be a one-dimensional sequence"),
        (lambda: quorix.response([0.0, 0.5, 1.0, np.nan, 0.0]), r"^u at sample 3 is not a finite number: nan$"),
        (lambda: quorix.cycles([0.0, 1.0, np.inf, 0.0], [0.0, 1.0, 2.0, 0.0]), r"^point 2 is not finite$"),
        (lambda: quorix.fit([0.0, np.nan, 0.0], [0.0, 1.0, 0.0]), r"^point 1 is not finite$"),
        (lambda: quorix.Material.from_opensees("uniaxialMaterial BoucWen 1 0.1 k 2 8 73 1 0 0 0"), r'"k" \(ko\)'),
        (lambda: quorix.solve(outside_domain="ignore"), "outside_domain must be 'raise' or 'warn'")])
def test_refusals_name_the_input(call, message):
    with pytest.raises(ValueError, match=message):
        call()


@pytest.mark.parametrize("start, stop, step, case, mode, accurate", [
        (2.0, 0.5, -0.25, {"n": 3, "gamma": 0.8}, "direct", False),  # downwards
        (0.0, 1.0, 0.35, {"n": 1.5}, "complementary", True)])  # q = 2.86: the last row lies beyond stop
def test_sweep_rows_are_those_of_the_command_line(cli, start, stop, step, case, mode, accurate):
    # numpy's numbers are numbers here too, as for its ufuncs (these hold the same values).
    table = quorix.sweep(np.float32(start), np.array(stop), step, **case, mode=mode, accurate=accurate)
    options = case_options(case, mode, accurate) + ["--from", repr(start), "--to", repr(stop), "--step", repr(step)]
    rows = [loads(line) for line in cli.run("sweep", *options, "--jsonl").stdout.splitlines()]
    assert len(rows) > 1
    for name in ["UmaxOverUy"] + NAMES:
        assert bits(table[name]) == bits([row[name] for row in rows]), name


@pytest.mark.parametrize("case", [{"n": 3, "u": 40, "mode": "direct"}, {"n": 1.5, "u": 2, "accurate": True}])
def test_loop_is_the_loop_of_the_command_line(cli, case):
    mode, accurate = case.pop("mode", "complementary"), case.pop("accurate", False)
    got = quorix.loop(**case, mode=mode, accurate=accurate, points=50)
    expected = cli.json("loop", *case_options(case, mode, accurate), "--points", 50)
    for column, name in zip(got, "uFz"):
        assert (len(column), bits(column)) == (98, bits(expected[name])), name


def _long_fit():
    """A fit along 1.2·10^6 samples: some 8 s of work on this machine."""
    u = np.concatenate([np.sin(np.linspace(0.0, 80.0 * np.pi, 400000)) * a for a in (1.0, 2.0, 3.0)])
    F = quorix.response(u, n=2.0, gamma=0.7, alpha=0.1, fy=5.0, uy=0.2)["F"]
    return lambda: quorix.fit(u, F + 0.01 * np.random.default_rng(1).standard_normal(u.size))


@pytest.mark.parametrize("call, within", [
        (lambda: quorix.sweep(0.1, 300.0, 0.0001), 10.0),  # 3·10^6 rows: far longer than half a second
        # A broadcast call, which numpy hands the loop a row at a time: 2·10^4 new n, some 40 s of work.
        (lambda: quorix.solve(n=np.linspace(1.0, 3.0, 20000)[:, None], u=np.linspace(0.1, 5.0, 200)), 10.0),
        (_long_fit(), 5.0),
        # A response along 1.2·10^7 samples: some 10 s of work on this machine.
        (lambda: quorix.response(np.sin(np.linspace(0.0, 4000.0 * np.pi, 12_000_000))), 3.0)])
def test_ctrl_c_ends_a_long_call_and_leaves_no_thread_running(call, within):
    quorix.solve(u=np.linspace(0.1, 10.0, 100))  # the thread pool started, as any earlier array call starts it
    before = len(os.listdir("/proc/self/task"))
    # A process started in the background inherits SIGINT ignored: install Python's handler for interrupt_main.
    previous = signal.signal(signal.SIGINT, signal.default_int_handler)
    timer = threading.Timer(0.5, _thread.interrupt_main)  # Ctrl-C, as the terminal would send it
    timer.start()
    start = time.monotonic()
    try:
        with pytest.raises(KeyboardInterrupt):
            with warnings.catch_warnings():
                warnings.simplefilter("ignore")
                call()
    finally:
        timer.join()
        signal.signal(signal.SIGINT, previous)
    assert time.monotonic() - start < within  # the interrupt, not the end of the work, ended it
    assert len(os.listdir("/proc/self/task")) == before  # no thread added: the sweep ran on the pool's
    cpu = time.process_time()
    time.sleep(0.3)
    assert time.process_time() - cpu < 0.05


def test_a_forked_child_computes_on_threads_of_its_own():
    script = """if True:
        import os, sys, numpy as np, quorix
        u, table = np.linspace(0.1, 10.0, 2000), lambda: quorix.sweep(0.1, 100.0, 0.01)["DE"].tobytes()
        want = quorix.solve(u=u).DE.tobytes(), table()  # the thread pool started in the parent
        if os.fork() == 0:  # none of its threads is here; at a normal exit the child joins its own pool's
            same = (quorix.solve(u=u).DE.tobytes(), table()) == want
            alone = os.cpu_count() > 1 and len(os.listdir("/proc/self/task")) < 2
            sys.exit(3 if not same else 4 if alone else 0)  # 3: other results, 4: no threads of its own
        sys.exit(os.waitstatus_to_exitcode(os.wait()[1]))"""
    assert subprocess.run([sys.executable, "-c", script], timeout=120).returncode == 0

